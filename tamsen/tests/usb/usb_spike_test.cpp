#include <gtest/gtest.h>
#include <libusb.h>

#include <filesystem>
#include <unistd.h>

#include "adapter_emu/emulator.h"
#include "adapter_emu/packet.h"
#include "adapter_emu_usb/usb_testbed.h"

TEST(Spike, RawRoundTrip) {
    adapter_emu::EmulatorOptions o;
    o.dir = "/tmp/usbspike" + std::to_string(::getpid());
    o.fast = true;
    adapter_emu::Emulator emu(o);
    emu.Start();
    adapter_emu::usb::UsbTestbed tb;
    auto node = tb.AddAdapter({0x1a2b, 0x0001}, emu.GetAdapter(0).Folder(), [&](int p) { emu.GetAdapter(0).StallPipe(p); });
    libusb_context* ctx = nullptr;
    ASSERT_EQ(libusb_init(&ctx), 0);

    system(("find " + tb.RootDir().string() + " | head -40").c_str());
    libusb_device** list; printf("count %zd\n", libusb_get_device_list(ctx, &list));
    libusb_device_handle* h = libusb_open_device_with_vid_pid(ctx, 0x1a2b, 0x0001);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(libusb_claim_interface(h, 0), 0);
    auto packet = adapter_emu::BuildPacket(0x41, {});
    auto first = adapter_emu::FirstTransfer(packet);
    int n = 0;
    EXPECT_EQ(libusb_bulk_transfer(h, 0x02, first.data(), first.size(), &n, 1000), 0);
    uint8_t in[64];
    EXPECT_EQ(libusb_bulk_transfer(h, 0x81, in, 64, &n, 1000), 0);
    printf("got %d bytes %02x %02x\n", n, in[0], in[1]);
    EXPECT_EQ(libusb_bulk_transfer(h, 0x81, in, 64, &n, 300), LIBUSB_ERROR_TIMEOUT);
    libusb_release_interface(h, 0);
    libusb_close(h);
    libusb_exit(ctx);
}
