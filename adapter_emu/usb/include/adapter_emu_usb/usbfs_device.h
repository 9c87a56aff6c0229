// Serves the usbfs ioctls of one emulated adapter (/dev/bus/usb/BBB/DDD) by handing every bulk
// transfer to the adapter emulator's pipe sockets, as libtamsen.so's socket driver would: a bulk
// OUT URB is a WRITE on that pipe, a bulk IN URB a READ that stays pending until the firmware's
// acknowledge arrives, a discarded IN URB a CANCEL (so the acknowledge of that exchange is
// dropped), GET_STATUS on an endpoint the pipe-state request and CLEAR_HALT the pipe reset.
//
// Every ioctl is completed at once, on the caller's thread. IN URBs stay queued; a thread of this
// object watches their sockets and makes them reapable when their data has arrived. libusb waits
// for reapable URBs by polling the node for POLLOUT; the node is a FIFO that this object keeps
// full (not writable) while nothing is reapable and empty (writable) while something is, so
// libusb sleeps instead of spinning. When the pipe sockets close (the adapter was
// unplugged) every URB ends with -ENODEV and every later ioctl fails with ENODEV, as usbfs does
// after a disconnect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

struct _UMockdevIoctlClient;

namespace adapter_emu::usb {

class UsbfsDevice {
public:
    // `pipeFolder` holds the adapter's PIPE00..PIPE09 sockets; `stallPipe` halts a pipe (the
    // host's SET_FEATURE ENDPOINT_HALT).
    // `nodeFifo` is the FIFO that stands for the device node.
    UsbfsDevice(std::filesystem::path pipeFolder, const std::filesystem::path& nodeFifo,
                std::function<void(int pipe)> stallPipe);
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    // Serves one ioctl of a client and completes it.
    void HandleIoctl(_UMockdevIoctlClient* client);
    // The client closed the device node: its URBs are dropped, its pipes closed.
    void ClientGone(_UMockdevIoctlClient* client);

    // Every later ioctl fails with ENODEV; pending URBs end with -ENODEV.
    void Disconnect();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace adapter_emu::usb
