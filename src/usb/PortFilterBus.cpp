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

// The bus part: a Linux bus number, or on Windows the host controller's PCI location in 4 hex
// digits ("1400-4.1").
bool busPart(const std::string& text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos])) != 0) {
        ++pos;
    }
    return pos > start && pos - start <= 4;
}

// Hex digits of a Windows bus part may be typed in either case.
bool samePort(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

} // namespace

PortFilterBus::PortFilterBus(std::shared_ptr<UsbBus> inner, std::string port, SkipListener skipped)
    : m_inner(std::move(inner))
    , m_port(std::move(port))
    , m_skipped(std::move(skipped)) {}

bool PortFilterBus::isPortPath(const std::string& text) {
    std::size_t pos = 0;
    if (!busPart(text, pos) || pos >= text.size() || text[pos] != '-') {
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
        if (samePort(device->portPath(), m_port)) {
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
