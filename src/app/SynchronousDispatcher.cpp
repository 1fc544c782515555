#include "app/SynchronousDispatcher.hpp"

void SynchronousDispatcher::runAndWait(std::function<void()> fn) {
    if (fn) {
        fn();
    }
}
