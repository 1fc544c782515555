#pragma once
// --no-pauses: every fixed pause returns at once, and reports a stop like the sleeping pacer.

#include "app/Pacer.hpp"

#include <stop_token>

class InstantPacer final : public Pacer {
public:
    explicit InstantPacer(std::stop_token token)
        : m_token(std::move(token)) {}

    // False once stop was requested, so the sequences end as promptly as with real pauses.
    bool pause(double /*seconds*/) override { return !m_token.stop_requested(); }

private:
    std::stop_token m_token;
};
