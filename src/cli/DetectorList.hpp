#pragma once
// The `list` command: every attached detector with its port, release, product and state.

#include "usb/DetectorSurvey.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

class DetectorList {
public:
    // What a user does about a device this user may not open.
    static constexpr const char* kPermissionFix =
        "install the udev rule: sudo cp packaging/udev/70-detector-updater.rules "
        "/etc/udev/rules.d/ && sudo udevadm control --reload && sudo udevadm trigger, then plug "
        "the detector in again";

    // Surveys the USB bus and prints a table to `out`, or a JSON array to `jsonOut` when
    // `json`. The exit status: 0 with detectors, 3 with none, 1 when USB cannot be used.
    static int run(bool json, std::FILE* out, std::FILE* jsonOut);

    // One line per detector under a heading; a "fix:" line under a device not permitted.
    static std::string table(const std::vector<usb::SurveyedDetector>& detectors);
    static nlohmann::json json(const std::vector<usb::SurveyedDetector>& detectors);
};
