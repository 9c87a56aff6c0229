// The libusb driver without adapters: the id list and the empty case.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver/driver.h"
#include "fake_driver/driver_override.h"
#include "driver/usb_driver.h"
#include "platform/registry_file.h"
#include "varda_api.h"

namespace tamsen::driver {
namespace {

TEST(UsbDriverTest, ParsesTheIdList) {
    using Ids = std::vector<std::pair<uint16_t, uint16_t>>;
    const std::pair<const char*, Ids> cases[] = {
        {"1a2b:0001", {{0x1A2B, 0x0001}}},
        {"1a2b:0001,FFFF:abcd", {{0x1A2B, 0x0001}, {0xFFFF, 0xABCD}}},
        {" 1a2b : 0001 , 0403:6001", {{0x1A2B, 0x0001}, {0x0403, 0x6001}}},
        {"1a2b", {}},
        {"xyz:0001,0403:6001", {{0x0403, 0x6001}}},
        {"12345:0001", {}},
        {"0403:6001junk", {}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseUsbIds(text), expected) << text;
    EXPECT_TRUE(ParseUsbIds(nullptr).empty());
}

TEST(UsbDriverTest, IdsFromTheEnvironmentElseFromTheRegistry) {
    const std::string reg = ::testing::TempDir() + "usb_ids_registry.reg";
    ASSERT_TRUE(platform::RegWriteString(reg, "SOFTWARE\\BRAMWELL\\VARDA\\101", "UsbIds", "0403:6001"));
    const char* oldReg = std::getenv("VARDA_REGISTRY");
    const std::string savedReg = oldReg ? oldReg : "";
    const char* oldIds = std::getenv("TAMSEN_USB_IDS");
    const std::string savedIds = oldIds ? oldIds : "";
    ::setenv("VARDA_REGISTRY", reg.c_str(), 1);
    ::unsetenv("TAMSEN_USB_IDS");
    EXPECT_EQ(AdapterUsbIds(), "0403:6001");
    ::setenv("TAMSEN_USB_IDS", "1a2b:0001", 1);
    EXPECT_EQ(AdapterUsbIds(), "1a2b:0001");
    ::unsetenv("TAMSEN_USB_IDS");
    ::setenv("VARDA_REGISTRY", (reg + ".missing").c_str(), 1);
    EXPECT_EQ(AdapterUsbIds(), "");
    if (oldReg) ::setenv("VARDA_REGISTRY", savedReg.c_str(), 1);
    else ::unsetenv("VARDA_REGISTRY");
    if (oldIds) ::setenv("TAMSEN_USB_IDS", savedIds.c_str(), 1);
    std::remove(reg.c_str());
}

TEST(UsbDriverTest, NoListedAdapterMeansNoSuchDevice) {
    ::unsetenv("TAMSEN_DEVICE_DIR");
    SetDriverOverride(nullptr);
    // An id that no device carries, and no id at all.
    for (const char* ids : {"fffe:fffd", ""}) {
        ::setenv("TAMSEN_USB_IDS", ids, 1);
        EXPECT_TRUE(ActiveDriver()->PresentDevices().empty()) << ids;
        EXPECT_EQ(VARDA_Open(101, 0, 0), VARDA_ERR_NO_DEVICE) << ids;
    }
    ::unsetenv("TAMSEN_USB_IDS");
    // Only listed adapters are ever opened, whatever path is asked for.
    EXPECT_EQ(ActiveDriver()->OpenPipe("/dev/bus/usb/001/001/PIPE01"), nullptr);
    EXPECT_EQ(ActiveDriver()->OpenPipe("not a pipe"), nullptr);
}

}  // namespace
}  // namespace tamsen::driver
