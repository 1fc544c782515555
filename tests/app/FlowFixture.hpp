#pragma once
// A ViewController wired to a recorded window, a recording pacer, a virtual detector and a
// simulated update server on loopback.

#include "app/MainWindowModel.hpp"
#include "app/RecordingPacer.hpp"
#include "app/SynchronousDispatcher.hpp"
#include "app/TableLocalizer.hpp"
#include "app/ViewController.hpp"
#include "server/ServerFixture.hpp"
#include "sim/DeviceProfile.hpp"
#include "sim/UpdateCatalog.hpp"
#include "sim/VirtualDetector.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace flow_testing {

// Each key maps to a text that names it, so a test can tell every localised text apart.
inline const TableLocalizer& texts() {
    static const TableLocalizer localizer({
        {"str_ready_upper", "Ready"},
        {"str_ready_under", "Plug in"},
        {"str_searching_device", "Searching"},
        {"str_empty", "(empty)"},
        {"str_connect_server", "Connecting"},
        {"str_check_internet", "Check internet"},
        {"str_clickDownload", "Click download"},
        {"str_FW_downloading_coment_RD", "Writing RD"},
        {"str_FW_downloading_coment_GPS", "Writing GPS"},
        {"str_FW_downloading_coment_DB", "Writing DB"},
        {"str_download_success", "Done"},
        {"str_finish_coment", "Unplug"},
        {"str_download_fail", "Failed"},
        {"str_device_not_permitted", "Not permitted: install the udev rule"},
        {"str_device_busy", "Busy: close the other program"},
    });
    return localizer;
}

// Answers the dialog from a script; without one it leaves the dialog unanswered.
class ScriptedPresenter final : public SelectionPresenter {
public:
    std::function<void(SelectionDBViewController&)> script;
    std::shared_ptr<SelectionDBViewController> dialog;
    int presented = 0;

    void present(std::shared_ptr<SelectionDBViewController> shown) override {
        ++presented;
        dialog = std::move(shown);
        if (script) {
            script(*dialog);
        }
    }
};

// A Pacer that records and lets a test act at the n-th pause (1-based).
class HookPacer final : public Pacer {
public:
    std::vector<double> pauses;
    std::size_t actAt = 0;
    std::function<void()> action;

    bool pause(double seconds) override {
        pauses.push_back(seconds);
        if (action && pauses.size() == actAt) {
            action();
        }
        return true;
    }
};

// The device-information fields of the layout the tests use: GPS application 0x08004000 to
// gpsEnd (page 0x100), RD 0x08003000 to rdEnd (page 0x400), database at 0x4 (page 0x1000).
std::vector<std::string> layoutInfo(std::uint32_t gpsEnd, std::uint32_t rdEnd,
                                    const std::string& updateType = "ORIGINAL");

// Bytes for device addresses 0x08000000 up to `end`: 0xFF before `start`, a pattern after
// it, and a version block ("<marker>$:<key><tag><version>") 0x400 bytes into the application
// when `version` is given.
std::vector<std::uint8_t> firmwareImage(std::uint32_t start, std::uint32_t end,
                                        const std::string& key, const std::string& tag,
                                        const std::optional<std::string>& version,
                                        std::uint8_t seed);

// A small catalog for the model "5810_SIGNATUREE" (the keyword of profiles/signature-5810e.json):
// GPS 1606011200, RD 1605101000, four countries.
sim::UpdateCatalog smallCatalog(const std::string& updateType = "ORIGINAL",
                                bool gpsVersionBlock = true,
                                const std::string& keyword = "5810_SIGNATUREE",
                                const std::string& key = "5810");

sim::DeviceProfile profile(const std::string& file);

struct FlowRig {
    explicit FlowRig(sim::UpdateCatalog catalog, sim::DeviceProfile deviceProfile,
                     Pacer* pacer = nullptr);
    ~FlowRig();
    FlowRig(const FlowRig&) = delete;
    FlowRig& operator=(const FlowRig&) = delete;

    // Connect button, then waits for the sequence's end.
    void connect();
    // Download button with the presenter's script, then waits for the writing's end.
    void download();

    // The values the progress bar took, in order.
    [[nodiscard]] std::vector<int> progress() const;
    // The texts the lower status line took, in order.
    [[nodiscard]] std::vector<std::string> lowerTexts() const;
    [[nodiscard]] const ElementState& state(Element element) const { return window.state(element); }
    // The device's write transactions, as "sel=S addr=0xA len=L".
    [[nodiscard]] std::vector<std::string> writes() const;
    [[nodiscard]] std::size_t writeCount() const;
    [[nodiscard]] std::vector<std::string> finishRequests();
    // Makes a new controller from the server settings as they are now (e.g. another probe).
    void rebuild();

    server_testing::SimServer server;
    std::shared_ptr<sim::VirtualDetector> detector;
    MainWindowModel window{"layout"};
    std::vector<ElementChange> changes;
    SynchronousDispatcher dispatcher;
    RecordingPacer recordingPacer;
    ScriptedPresenter presenter;
    std::vector<std::string> logLines;
    std::vector<std::pair<bool, ViewController::Outcome>> ended;
    Pacer* pacerInUse = nullptr;
    // The link of the next rebuild(); empty: an in-process link to `detector`.
    std::function<std::unique_ptr<MassStorageController>()> makeLink;
    std::unique_ptr<ViewController> controller;
};

std::string describeWrite(std::uint8_t selector, std::uint32_t address, std::uint32_t length);

} // namespace flow_testing
