// detector-usb-probe: waits for the detector, opens it, sends TEST UNIT READY and INQUIRY and
// prints what came back, or why the device could not be used.
#include "install/BuildVersion.hpp"
#include "usb/CommandWrapper.hpp"
#include "usb/MassStorageController.hpp"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

void explain(const std::string& reason) {
    std::printf("\nThe detector is present but cannot be used: %s\n", reason.c_str());
    if (reason.find("ACCESS") != std::string::npos) {
        std::printf("Fix: you lack permission to open it. Install the udev rule shipped in\n"
                    "packaging/udev/70-detector-updater.rules into /etc/udev/rules.d/, run\n"
                    "'sudo udevadm control --reload && sudo udevadm trigger', then unplug and\n"
                    "plug the detector in again.\n");
    } else if (reason.find("BUSY") != std::string::npos) {
        std::printf(
            "Fix: another program or driver holds the detector. Close other updaters\n"
            "or disk tools using it, unmount it if the desktop mounted it, and try again.\n");
    }
}

bool exchange(MassStorageController& link, const usb::CommandWrapperBytes& wrapper, bool dataIn,
              const char* name) {
    using namespace std::chrono_literals;
    std::array<std::uint8_t, 4096> status{};
    std::array<std::uint8_t, 1024> data{};
    usb::CommandTransaction transaction;
    transaction.commandBlock = usb::commandBlockOf(wrapper);
    transaction.direction = dataIn ? usb::DataDirection::In : usb::DataDirection::None;
    transaction.in = data;
    transaction.announcedLength = usb::announcedLength(wrapper);
    transaction.timeout = 10000ms;
    const auto carried = link.transact(transaction, status);
    if (!carried) {
        std::printf("%s: the detector is no longer open\n", name);
        return false;
    }
    const auto& result = *carried;
    if (!result.ok()) {
        const char* phase = !result.failedPhase ? "the transaction"
                            : *result.failedPhase == usb::TransactionPhase::Command
                                ? "sending the wrapper"
                            : *result.failedPhase == usb::TransactionPhase::Status ? "status phase"
                                                                                   : "data phase";
        std::printf("%s: %s failed: %s\n", name, phase, result.error->message.c_str());
        return false;
    }
    if (dataIn) {
        std::printf("%s: %zu bytes:", name, result.transferred);
        for (std::size_t i = 0; i < result.transferred && i < 36; ++i) {
            std::printf(" %02X", data[i]);
        }
        if (result.transferred >= 32) {
            std::printf("\n%s: product text \"%.*s\"", name, 24,
                        reinterpret_cast<const char*>(data.data() + 8));
        }
        std::printf("\n");
    }
    std::printf("%s: status %s\n", name,
                result.status ? (*result.status == 0 ? "passed" : "reported failure")
                              : "malformed");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--version") {
        std::printf("detector-usb-probe %s\n%s\n", BuildVersion::text(), BuildVersion::notice());
        return 0;
    }
    if (first == "-h" || first == "--help") {
        std::printf(
            "usage: detector-usb-probe [SECONDS]\n"
            "       detector-usb-probe --version\n"
            "  waits up to SECONDS (default 30) for the detector, opens and identifies it\n");
        return 0;
    }
    int seconds = 30;
    if (argc > 1) {
        const auto [end, ec] = std::from_chars(first.data(), first.data() + first.size(), seconds);
        if (ec != std::errc{} || end != first.data() + first.size() || seconds < 0 || argc > 2) {
            std::fprintf(stderr,
                         "detector-usb-probe: expected SECONDS, got '%s'\n"
                         "Try 'detector-usb-probe --help'.\n",
                         argc > 2 ? argv[2] : argv[1]);
            return 2;
        }
    }
    std::printf("Waiting up to %d s for the detector (USB 0483:5720, release 0200); Ctrl-C ends.\n",
                seconds);
    std::fflush(stdout);
    MassStorageController link;
    std::stop_source stop;
    std::jthread watcher([&](const std::stop_token& done) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        std::string shown;
        while (!done.stop_requested() && std::chrono::steady_clock::now() < until) {
            const auto reason = usb::lastSkipReason();
            if (reason && *reason != shown) {
                shown = *reason;
                explain(shown);
                std::fflush(stdout);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        stop.request_stop();
    });
    link.MassStorageControllerInit(stop.get_token());
    watcher.request_stop();
    watcher.join();
    if (!link.Check_UsbConnection()) {
        std::printf("\nNo usable detector found.\n");
        if (const auto reason = usb::lastSkipReason()) {
            explain(*reason);
        }
        return 1;
    }
    std::printf("\nOpened the detector.\n");
    const bool ok = exchange(link, usb::kTestUnitReadyTemplate, false, "TEST UNIT READY") &&
                    exchange(link, usb::kInquiryTemplate, true, "INQUIRY");
    usb::releaseOpenInterface();
    return ok ? 0 : 2;
}
