#pragma once
// Hands a window change from a worker thread to the UI thread and waits until it has run.

#include <functional>

class UiDispatcher {
public:
    UiDispatcher() = default;
    UiDispatcher(const UiDispatcher&) = delete;
    UiDispatcher& operator=(const UiDispatcher&) = delete;
    UiDispatcher(UiDispatcher&&) = delete;
    UiDispatcher& operator=(UiDispatcher&&) = delete;
    virtual ~UiDispatcher() = default;

    // Runs fn on the UI thread and returns once it has finished, so window changes are applied
    // in the order they were requested. Called on the UI thread itself, fn runs at once.
    // fn must not throw; nothing is reported back.
    virtual void runAndWait(std::function<void()> fn) = 0;
};
