#include "usb/PortFilterBus.hpp"

#include <cctype>

namespace usb {
namespace {

// A run of 1 to 3 digits from `pos`; moves `pos` past it.
bool number(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) != 0) {
        ++pos;
    }
    return pos > start && pos - start <= 3;
}

} // namespace

PortFilterBus::PortFilterBus(std::shared_ptr<UsbBus> inner, std::string port, SkipListener skipped)
    : m_inner(std::move(inner))
    , m_port(std::move(port))
    , m_skipped(std::move(skipped)) {}

bool PortFilterBus::isPortPath(const std::string& text) {
    std::size_t pos = 0;
    if (!number(text, pos) || pos >= text.size() || text[pos] != '-') {
        return false;
    }
    ++pos;
    for (int tier = 1; tier <= 7; ++tier) {
        if (!number(text, pos)) {
            return false;
        }
        if (pos == text.size()) {
            return true;
        }
        if (text[pos] != '.') {
            return false;
        }
        ++pos;
    }
    return false;
}

std::vector<std::unique_ptr<UsbDevice>> PortFilterBus::takeMatched() {
    auto devices = m_inner->takeMatched();
    std::vector<std::unique_ptr<UsbDevice>> chosen;
    for (auto& device : devices) {
        if (device->portPath() == m_port) {
            chosen.push_back(std::move(device));
        } else if (m_skipped) {
            m_skipped(*device, kNotChosenPort);
        }
    }
    return chosen;
}

void PortFilterBus::waitForArrival(std::chrono::milliseconds timeout) {
    m_inner->waitForArrival(timeout);
}

void PortFilterBus::wake() { m_inner->wake(); }

} // namespace usb
