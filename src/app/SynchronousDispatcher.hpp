#pragma once
// A UiDispatcher for tests and the terminal front end: the caller's thread is the UI thread.

#include "app/UiDispatcher.hpp"

#include <functional>

// Runs each function inline. Callers that use it from several threads must keep the window
// they touch to one thread at a time themselves (the update sequences never overlap).
class SynchronousDispatcher final : public UiDispatcher {
public:
    void runAndWait(std::function<void()> fn) override;
};
