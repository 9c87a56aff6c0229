// Main of the tests under USB emulation: runs the tests with the umockdev preload library,
// starting this program again with it when it was started without.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include "adapter_emu_usb/usb_testbed.h"

int main(int argc, char** argv) {
    adapter_emu::usb::EnsureMockEnvironment(argv);
    // The preload sleeps after every emulated ioctl; the sleeps stay as short as asked for.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
