#include "cli/DetectorList.hpp"

#include "cli/JsonText.hpp"
#include "usb/SystemBus.hpp"

#include <chrono>

namespace {

constexpr std::uint16_t kReleaseUpdated = 0x0200;
constexpr std::chrono::milliseconds kTransferTimeout{2000};

std::string hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string stateText(const usb::SurveyedDetector& d) {
    std::string text = usb::DetectorSurvey::stateName(d.state);
    if (d.state == usb::SurveyState::Busy) {
        text += " (held by another program or updater)";
    } else if (d.state == usb::SurveyState::KernelDriver) {
        text += " (held by a kernel driver such as usb-storage; left to it)";
    } else if (d.state == usb::SurveyState::Unreadable) {
        text += " (" + d.reason + ")";
    }
    if (d.identity.release != kReleaseUpdated) {
        text += ", not updated: release " + hex4(d.identity.release) + " is not " +
                hex4(kReleaseUpdated);
    }
    return text;
}

} // namespace

std::string DetectorList::table(const std::vector<usb::SurveyedDetector>& detectors) {
    if (detectors.empty()) {
        return "No detector is attached.\n";
    }
    char line[256];
    std::snprintf(line, sizeof line, "%-12s %-7s %-24s %s\n", "PORT", "RELEASE", "PRODUCT",
                  "STATE");
    std::string text = line;
    for (const auto& d : detectors) {
        std::snprintf(line, sizeof line, "%-12s %-7s %-24s ",
                      d.port.empty() ? d.name.c_str() : d.port.c_str(),
                      hex4(d.identity.release).c_str(),
                      d.product.empty() ? "-" : d.product.c_str());
        text += line + stateText(d) + "\n";
        if (d.state == usb::SurveyState::NotPermitted) {
            text += std::string("  fix: ") + kPermissionFix + "\n";
        }
    }
    return text;
}

nlohmann::json DetectorList::json(const std::vector<usb::SurveyedDetector>& detectors) {
    auto list = nlohmann::json::array();
    for (const auto& d : detectors) {
        nlohmann::json entry = {{"port", d.port},
                                {"device", d.name},
                                {"release", hex4(d.identity.release)},
                                {"supported", d.identity.release == kReleaseUpdated},
                                {"product", d.product},
                                {"state", usb::DetectorSurvey::stateName(d.state)},
                                {"reason", d.reason}};
        if (d.state == usb::SurveyState::NotPermitted) {
            entry["fix"] = kPermissionFix;
        }
        list.push_back(std::move(entry));
    }
    return list;
}

int DetectorList::run(bool json, std::FILE* out, std::FILE* jsonOut) {
    // Polling lists what is present now, without waiting for hotplug events.
    auto created = usb::openSystemBus(0x0483, 0x5720, true);
    if (auto* error = std::get_if<usb::UsbError>(&created)) {
        std::fprintf(out, "USB cannot be used: %s\n", error->message.c_str());
        if (json) {
            std::fprintf(jsonOut, "[]\n");
        }
        return 1;
    }
    auto bus = std::get<std::shared_ptr<usb::UsbBus>>(std::move(created));
    const auto detectors = usb::DetectorSurvey::survey(*bus, kTransferTimeout, kReleaseUpdated);
    if (json) {
        std::fprintf(jsonOut, "%s\n", jsonText(DetectorList::json(detectors), 2).c_str());
    } else {
        std::fprintf(out, "%s", table(detectors).c_str());
    }
    std::fflush(out);
    std::fflush(jsonOut);
    return detectors.empty() ? 3 : 0;
}
