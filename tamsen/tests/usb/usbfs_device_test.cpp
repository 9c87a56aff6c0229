// The emulated adapter as libusb sees it, without libtamsen.so: descriptors, claiming, bulk
// transfers handed to the firmware, endpoint halts and their clearing, cancelled reads.
#include <gtest/gtest.h>
#include <libusb.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "adapter_emu/emulator.h"
#include "adapter_emu/packet.h"
#include "adapter_emu_usb/usb_testbed.h"
#include "platform/byte_order.h"
#include "varda_api.h"

namespace {

constexpr uint8_t kCmd = 0x02, kAck = 0x81;  // pipes 01 and 00

class UsbfsDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        adapter_emu::EmulatorOptions options;
        options.dir = std::filesystem::path("/tmp") / ("tusbfs" + std::to_string(::getpid()));
        options.fast = true;
        emulator_ = std::make_unique<adapter_emu::Emulator>(options);
        emulator_->Start();
        testbed_ = std::make_unique<adapter_emu::usb::UsbTestbed>();
        adapter_emu::Adapter& adapter = emulator_->GetAdapter(0);
        testbed_->AddAdapter({0x1a2b, 0x0002}, adapter.Folder(), [&adapter](int pipe) { adapter.StallPipe(pipe); });
        ASSERT_EQ(libusb_init(&context_), 0);
        handle_ = libusb_open_device_with_vid_pid(context_, 0x1a2b, 0x0002);
        ASSERT_NE(handle_, nullptr);
        ASSERT_EQ(libusb_claim_interface(handle_, 0), 0);
    }

    void TearDown() override {
        if (handle_ != nullptr) {
            libusb_release_interface(handle_, 0);
            libusb_close(handle_);
        }
        if (context_ != nullptr) libusb_exit(context_);
        testbed_.reset();
        emulator_->Stop();
    }

    // One command out on pipe 01; its acknowledge (first transfer) in on pipe 00.
    int Send(uint8_t code, std::vector<uint8_t> payload) {
        std::vector<uint8_t> first = adapter_emu::FirstTransfer(adapter_emu::BuildPacket(code, payload));
        int n = 0;
        return libusb_bulk_transfer(handle_, kCmd, first.data(), static_cast<int>(first.size()), &n, 1000);
    }
    int Receive(std::vector<uint8_t>& ack, unsigned timeoutMs = 1000) {
        ack.assign(64, 0);
        int n = 0;
        const int r = libusb_bulk_transfer(handle_, kAck, ack.data(), 64, &n, timeoutMs);
        ack.resize(static_cast<std::size_t>(n));
        return r;
    }
    int Halted(uint8_t endpoint) {
        uint8_t status[2] = {0xFF, 0xFF};
        const int r = libusb_control_transfer(handle_, 0x82, LIBUSB_REQUEST_GET_STATUS, 0, endpoint, status, 2, 1000);
        return r == 2 ? status[0] : -1;
    }

    std::unique_ptr<adapter_emu::Emulator> emulator_;
    std::unique_ptr<adapter_emu::usb::UsbTestbed> testbed_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
};

TEST_F(UsbfsDeviceTest, InterfaceZeroHasTheTenPipesAsEndpoints) {
    libusb_device_descriptor device{};
    ASSERT_EQ(libusb_get_device_descriptor(libusb_get_device(handle_), &device), 0);
    EXPECT_EQ(device.idVendor, 0x1a2b);
    EXPECT_EQ(device.idProduct, 0x0002);
    libusb_config_descriptor* config = nullptr;
    ASSERT_EQ(libusb_get_active_config_descriptor(libusb_get_device(handle_), &config), 0);
    ASSERT_EQ(config->bNumInterfaces, 1);
    const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
    std::vector<uint8_t> addresses;
    for (int i = 0; i < alt.bNumEndpoints; ++i) {
        addresses.push_back(alt.endpoint[i].bEndpointAddress);
        EXPECT_EQ(alt.endpoint[i].bmAttributes & 3, LIBUSB_TRANSFER_TYPE_BULK);
    }
    libusb_free_config_descriptor(config);
    EXPECT_EQ(addresses, (std::vector<uint8_t>{0x81, 0x02, 0x83, 0x04, 0x85, 0x06, 0x87, 0x08, 0x89, 0x0A}));
    EXPECT_EQ(libusb_get_bus_number(libusb_get_device(handle_)), 1);
    EXPECT_EQ(libusb_get_device_address(libusb_get_device(handle_)), 2);
}

TEST_F(UsbfsDeviceTest, CommandsReachTheFirmwareAndAcknowledgesComeBack) {
    ASSERT_EQ(Send(adapter_emu::cmd::kOpen, {0}), 0);
    std::vector<uint8_t> ack;
    ASSERT_EQ(Receive(ack), 0);
    ASSERT_GE(ack.size(), 8u);
    EXPECT_EQ(ack[0], adapter_emu::kStartByte);
    EXPECT_EQ(ack[1], adapter_emu::cmd::kOpen);
    // Before Init the channel refuses GetNodeStatus with 55.
    ASSERT_EQ(Send(adapter_emu::cmd::kGetNodeStatus, {1, 1}), 0);
    ASSERT_EQ(Receive(ack), 0);
    ASSERT_GE(ack.size(), 11u);
    EXPECT_EQ(platform::GetU32LE(ack, 7), VARDA_ERR_CHANNEL_NOT_OPEN);
    // Nothing more to read: the read times out (its URB is discarded).
    EXPECT_EQ(Receive(ack, 100), LIBUSB_ERROR_TIMEOUT);
}

TEST_F(UsbfsDeviceTest, AcknowledgeOfACancelledReadNeverAnswersTheNextCommand) {
    adapter_emu::AckFault delay;
    delay.kind = adapter_emu::AckFaultKind::Delay;
    delay.value = 300;
    emulator_->GetAdapter(0).InjectAckFault(delay);
    ASSERT_EQ(Send(adapter_emu::cmd::kGetInfo, {}), 0);
    std::vector<uint8_t> ack;
    EXPECT_EQ(Receive(ack, 50), LIBUSB_ERROR_TIMEOUT);
    ::usleep(400000);  // the late acknowledge would be there by now
    ASSERT_EQ(Send(adapter_emu::cmd::kOpen, {0}), 0);
    ASSERT_EQ(Receive(ack), 0);
    ASSERT_GE(ack.size(), 2u);
    EXPECT_EQ(ack[1], adapter_emu::cmd::kOpen);
}

TEST_F(UsbfsDeviceTest, EndpointHaltsAreSeenSetAndCleared) {
    EXPECT_EQ(Halted(kAck), 0);
    emulator_->GetAdapter(0).StallPipe(0);
    EXPECT_EQ(Halted(kAck), 1);
    std::vector<uint8_t> ack;
    EXPECT_EQ(Receive(ack), LIBUSB_ERROR_PIPE);
    EXPECT_EQ(libusb_clear_halt(handle_, kAck), 0);
    EXPECT_EQ(Halted(kAck), 0);

    // SET_FEATURE ENDPOINT_HALT from the host halts an OUT pipe; writes then stall.
    EXPECT_EQ(libusb_control_transfer(handle_, 0x02, LIBUSB_REQUEST_SET_FEATURE, 0, kCmd, nullptr, 0, 1000), 0);
    EXPECT_EQ(Halted(kCmd), 1);
    EXPECT_EQ(Send(adapter_emu::cmd::kOpen, {0}), LIBUSB_ERROR_PIPE);
    EXPECT_EQ(libusb_control_transfer(handle_, 0x02, LIBUSB_REQUEST_CLEAR_FEATURE, 0, kCmd, nullptr, 0, 1000), 0);
    EXPECT_EQ(Halted(kCmd), 0);
    EXPECT_EQ(Send(adapter_emu::cmd::kOpen, {0}), 0);
    EXPECT_EQ(Receive(ack), 0);

    // Requests the adapter does not know stall; endpoints it lacks are refused.
    uint8_t buffer[8];
    EXPECT_EQ(libusb_control_transfer(handle_, 0xC0, 0x55, 0, 0, buffer, sizeof buffer, 1000), LIBUSB_ERROR_PIPE);
    int n = 0;
    EXPECT_NE(libusb_bulk_transfer(handle_, 0x8B, buffer, sizeof buffer, &n, 100), 0);
}

TEST_F(UsbfsDeviceTest, InterfaceIsClaimedByOneOpenFileAtATime) {
    libusb_device_handle* second = nullptr;
    ASSERT_EQ(libusb_open(libusb_get_device(handle_), &second), 0);
    EXPECT_EQ(libusb_claim_interface(second, 0), LIBUSB_ERROR_BUSY);
    EXPECT_EQ(libusb_claim_interface(second, 1), LIBUSB_ERROR_NOT_FOUND);
    libusb_close(second);
    // The first one still works.
    ASSERT_EQ(Send(adapter_emu::cmd::kOpen, {0}), 0);
    std::vector<uint8_t> ack;
    EXPECT_EQ(Receive(ack), 0);
}

}  // namespace
