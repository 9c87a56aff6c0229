// Main of the tests under USB emulation: runs the tests with the umockdev preload library,
// starting this program again with it when it was started without.
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "adapter_emu_usb/usb_testbed.h"

int main(int argc, char** argv) {
    if (!adapter_emu::usb::InMockEnvironment()) {
        const char* old = std::getenv("LD_PRELOAD");
        std::string preload = adapter_emu::usb::kPreloadLibrary;
        if (old != nullptr && *old != '\0') preload += std::string(":") + old;
        ::setenv("LD_PRELOAD", preload.c_str(), 1);
        ::execv("/proc/self/exe", argv);
        std::perror("execv");
        return 1;
    }
    // The preload sleeps after every emulated ioctl; the sleeps stay as short as asked for.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
