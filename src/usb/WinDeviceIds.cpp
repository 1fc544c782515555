#include "usb/WinDeviceIds.hpp"

#include <cctype>
#include <vector>

namespace usb {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// Four hex digits after `key`, ended by '&', '\' or the end of the text.
std::optional<std::uint16_t> field(const std::string& id, std::string_view key) {
    const auto at = id.find(key);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t start = at + key.size();
    if (start + 4 > id.size() ||
        (start + 4 < id.size() && id[start + 4] != '&' && id[start + 4] != '\\')) {
        return std::nullopt;
    }
    std::uint16_t value = 0;
    for (std::size_t i = start; i < start + 4; ++i) {
        const char c = id[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) {
            return std::nullopt;
        }
        value = static_cast<std::uint16_t>((value << 4U) | static_cast<unsigned>(digit));
    }
    return value;
}

// The text inside "NAME(...)" when the element is of that kind.
std::optional<std::string_view> inside(std::string_view element, std::string_view kind) {
    if (element.size() < kind.size() + 2 || element.substr(0, kind.size()) != kind ||
        element[kind.size()] != '(' || element.back() != ')') {
        return std::nullopt;
    }
    return element.substr(kind.size() + 1, element.size() - kind.size() - 2);
}

bool allDigits(std::string_view text, bool hex) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0
                  : std::isdigit(static_cast<unsigned char>(c)) != 0)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<DeviceIdentity> identityFromHardwareId(std::string_view hardwareId) {
    const std::string id = upper(hardwareId);
    if (id.rfind("USB\\", 0) != 0) {
        return std::nullopt;
    }
    const auto vendor = field(id, "VID_");
    const auto product = field(id, "PID_");
    const auto release = field(id, "REV_");
    if (!vendor || !product || !release) {
        return std::nullopt;
    }
    return DeviceIdentity{*vendor, *product, *release};
}

std::optional<std::string> portPathFromLocation(std::string_view locationPath) {
    const std::string path = upper(locationPath);
    std::vector<std::string_view> elements;
    std::string_view rest(path);
    while (!rest.empty()) {
        const auto cut = rest.find('#');
        elements.push_back(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
    }
    std::string controller;
    std::string ports;
    bool rooted = false;
    for (const auto element : elements) {
        if (!rooted) {
            if (const auto pci = inside(element, "PCI"); pci && allDigits(*pci, true)) {
                controller = std::string(*pci); // the last PCI element is the controller
            } else if (inside(element, "USBROOT")) {
                rooted = true;
            }
            continue;
        }
        const auto port = inside(element, "USB");
        if (!port || !allDigits(*port, false)) {
            return std::nullopt;
        }
        // Appended piece by piece: GCC 12 at -O3 misreads a concatenated temporary (restrict).
        if (!ports.empty()) {
            ports += '.';
        }
        ports.append(*port);
    }
    if (!rooted || ports.empty() || controller.empty()) {
        return std::nullopt;
    }
    controller += '-';
    controller += ports;
    return controller;
}

} // namespace usb
