#pragma once
// Carries every fixed pause of the update sequences, so tests can run them without waiting.

class Pacer {
public:
    Pacer() = default;
    Pacer(const Pacer&) = delete;
    Pacer& operator=(const Pacer&) = delete;
    Pacer(Pacer&&) = delete;
    Pacer& operator=(Pacer&&) = delete;
    virtual ~Pacer() = default;

    // Pauses for the given number of seconds. Returns true when the whole pause elapsed (or was
    // only recorded), false when it ended early because the application is stopping; callers
    // that must end quickly then stop their work. A pause that is not a positive number
    // returns true at once.
    virtual bool pause(double seconds) = 0;
};
