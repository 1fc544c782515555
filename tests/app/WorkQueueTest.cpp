#include "app/WorkQueue.hpp"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

TEST(WorkQueue, WorkersWaitAndChangesRunInOrderOnTheRunningThread) {
    WorkQueue queue;
    std::vector<int> ran;
    const auto runner = std::this_thread::get_id();
    bool onRunner = true;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(queue.runAndWait([&, i] {
                onRunner = onRunner && std::this_thread::get_id() == runner;
                ran.push_back(i);
            }));
            // Applied before runAndWait returned.
            EXPECT_EQ(ran.size(), static_cast<std::size_t>(i + 1));
        }
    });
    while (ran.size() < 3) {
        queue.runNext(Clock::now() + std::chrono::seconds(10));
    }
    worker.join();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(onRunner);
}

TEST(WorkQueue, CloseReleasesAWaitingWorkerWithoutRunningItsChange) {
    WorkQueue queue;
    std::atomic<bool> queued{false};
    bool ran = false;
    bool result = true;
    std::thread worker(
        [&] { result = queue.runAndWait([&] { ran = true; }, [&] { queued = true; }); });
    while (!queued) {
        std::this_thread::yield();
    }
    queue.close();
    worker.join(); // would hang if the worker still waited
    queue.runAll();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(result);
    EXPECT_FALSE(queue.runAndWait([&] { ran = true; }));
    EXPECT_FALSE(ran);
}

TEST(WorkQueue, AChangeRunningWhenTheQueueClosesIsWaitedFor) {
    WorkQueue queue;
    bool result = false;
    std::thread worker([&] { result = queue.runAndWait([&] { queue.close(); }); });
    while (!queue.runNext(Clock::now() + std::chrono::seconds(10))) {
    }
    worker.join();
    EXPECT_TRUE(result) << "the change ran, so the worker must see it as done";
}

TEST(WorkQueue, RunNextGivesUpWhenNothingCame) {
    WorkQueue queue;
    EXPECT_FALSE(queue.runNext(Clock::now()));
    int posted = 0;
    queue.post([&] { ++posted; });
    queue.post([&] { ++posted; });
    queue.runAll();
    EXPECT_EQ(posted, 2);
}

} // namespace
