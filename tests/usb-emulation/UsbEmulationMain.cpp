// The emulation tests run under umockdev's preload library.
#include "usb-emulation/UsbEmulation.hpp"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing_support::UsbEmulation::reExecUnderPreload(argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
