// Re-runs the test program under umockdev's preload library, which the emulation needs in this
// very process (it fakes /sys, /dev and udev for libusb).
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

constexpr const char* kPreload = "libumockdev-preload.so.0";

void reExecUnderPreload(char** argv) {
    const char* current = std::getenv("LD_PRELOAD");
    if (current != nullptr && std::strstr(current, "libumockdev-preload") != nullptr) {
        return;
    }
    std::string preload = kPreload;
    if (current != nullptr && *current != '\0') {
        preload += std::string(":") + current;
    }
    setenv("LD_PRELOAD", preload.c_str(), 1);
    // AddressSanitizer insists on being first in the library list; the preload comes first.
    std::string asan = std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
    asan += asan.empty() ? "verify_asan_link_order=0" : ":verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    execv("/proc/self/exe", argv);
    // Falls through only when exec failed; the tests then report the missing emulation.
}

} // namespace

int main(int argc, char** argv) {
    reExecUnderPreload(argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
