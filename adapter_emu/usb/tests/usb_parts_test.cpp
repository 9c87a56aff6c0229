// The pieces of the USB stand-in that need no emulation: USB ids, the adapter's descriptors and
// pipe/endpoint mapping, the environment of an emulated program.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "adapter_emu_usb/adapter_descriptors.h"
#include "adapter_emu_usb/emulated_program.h"
#include "adapter_emu_usb/usb_id.h"

namespace adapter_emu::usb {
namespace {

TEST(UsbIdTest, ParsesHexPairsOnly) {
    struct Case {
        const char* text;
        std::optional<UsbId> id;
    };
    const Case cases[] = {
        {"1a2b:0001", UsbId{0x1a2b, 0x0001}},
        {"1A2B:FFFF", UsbId{0x1a2b, 0xffff}},
        {"1:2", UsbId{1, 2}},
        {"", std::nullopt},
        {"1a2b", std::nullopt},
        {"1a2b:", std::nullopt},
        {":0001", std::nullopt},
        {"12345:1", std::nullopt},
        {"1a2b:0001:2", std::nullopt},
        {"1a2b:00g1", std::nullopt},
        {" 1a2b:0001", std::nullopt},
        {"-1:1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseUsbId(c.text), c.id) << c.text;
    EXPECT_EQ(ToString(UsbId{0x1a2b, 0x1}), "1a2b:0001");
}

TEST(AdapterDescriptorsTest, PipeNIsTheNthEndpointOfInterface0) {
    const std::vector<uint8_t> d = AdapterDescriptors(UsbId{0x1a2b, 0x0001});
    ASSERT_EQ(d.size(), 18u + 9u + 9u + 10u * 7u);
    // Device: USB 2.0, EP0 64 bytes, 1a2b:0001, release 1.00, one configuration.
    const std::vector<uint8_t> device = {18,   1,    0x00, 0x02, 0,    0, 0, 64, 0x2b,
                                         0x1a, 0x01, 0x00, 0x00, 0x01, 0, 0, 0,  1};
    EXPECT_EQ(std::vector<uint8_t>(d.begin(), d.begin() + 18), device);
    // Configuration 1 of 88 bytes with one interface; interface 0 with ten endpoints.
    const std::vector<uint8_t> config = {9, 2, 88, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 10, 0xFF, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(d.begin() + 18, d.begin() + 36), config);
    const uint8_t endpoints[10] = {0x81, 0x02, 0x83, 0x04, 0x85, 0x06, 0x87, 0x08, 0x89, 0x0A};
    for (int pipe = 0; pipe < kPipeCount; ++pipe) {
        const std::size_t o = 36 + static_cast<std::size_t>(pipe) * 7;
        const std::vector<uint8_t> expected = {7, 5, endpoints[pipe], 2, 0x00, 0x02, 0};
        EXPECT_EQ(std::vector<uint8_t>(d.begin() + o, d.begin() + o + 7), expected) << pipe;
        EXPECT_EQ(EndpointOfPipe(pipe), endpoints[pipe]);
        EXPECT_EQ(PipeOfEndpoint(endpoints[pipe]), pipe);
        EXPECT_EQ(IsInPipe(pipe), (endpoints[pipe] & 0x80) != 0);
    }
    // Addresses the adapter lacks, or with the wrong direction.
    for (uint8_t address : {0x00, 0x80, 0x01, 0x82, 0x0B, 0x8B, 0x8F, 0x91}) {
        EXPECT_EQ(PipeOfEndpoint(address), std::nullopt) << int(address);
    }
}

TEST(EmulatedEnvironmentTest, PreloadFirstTestbedAndIdsSetSocketDriverOff) {
    const std::vector<std::string> before = {
        "PATH=/usr/bin",         "LD_PRELOAD=libother.so",   "TAMSEN_DEVICE_DIR=/tmp/dev",
        "UMOCKDEV_DIR=/tmp/old", "TAMSEN_USB_IDS=ffff:ffff", "TAMSEN_DEVICE_DIRECTORY=kept"};
    const std::vector<std::string> after = EmulatedEnvironment(before, "/tmp/umockdev.x", UsbId{0x1a2b, 1});
    const std::vector<std::string> expected = {"PATH=/usr/bin", "TAMSEN_DEVICE_DIRECTORY=kept",
                                               "LD_PRELOAD=libumockdev-preload.so.0:libother.so",
                                               "UMOCKDEV_DIR=/tmp/umockdev.x", "TAMSEN_USB_IDS=1a2b:0001"};
    EXPECT_EQ(after, expected);
    // Run again under the emulation: the preload is not listed twice.
    const std::vector<std::string> again = EmulatedEnvironment(after, "/tmp/umockdev.y", UsbId{0x1a2b, 1});
    EXPECT_EQ(again[2], "LD_PRELOAD=libumockdev-preload.so.0:libother.so");
}

}  // namespace
}  // namespace adapter_emu::usb
