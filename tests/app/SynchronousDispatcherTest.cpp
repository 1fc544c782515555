#include "app/SynchronousDispatcher.hpp"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(SynchronousDispatcherTest, RunsEachFunctionInlineAndInOrder) {
    SynchronousDispatcher dispatcher;
    UiDispatcher& ui = dispatcher;
    std::vector<int> ran;
    std::thread::id where;
    ui.runAndWait([&] {
        ran.push_back(1);
        where = std::this_thread::get_id();
    });
    // Applied before runAndWait returned.
    EXPECT_EQ(ran, (std::vector<int>{1}));
    ui.runAndWait([&] { ran.push_back(2); });
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_EQ(where, std::this_thread::get_id());
}

TEST(SynchronousDispatcherTest, EmptyFunctionIsNothingToRun) {
    SynchronousDispatcher dispatcher;
    // Calling an empty std::function would throw std::bad_function_call.
    EXPECT_NO_THROW(dispatcher.runAndWait({}));
}

} // namespace
