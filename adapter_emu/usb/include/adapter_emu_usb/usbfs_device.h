// Serves the usbfs ioctls of one emulated adapter (/dev/bus/usb/BBB/DDD) by handing every bulk
// transfer to the adapter emulator's pipe sockets, as libtamsen.so's socket driver would: a bulk
// OUT URB is a WRITE on that pipe, a bulk IN URB a READ that stays pending until the firmware's
// acknowledge arrives, a discarded IN URB a CANCEL (so the acknowledge of that exchange is
// dropped), GET_STATUS on an endpoint the pipe-state request and CLEAR_HALT the pipe reset.
//
// Every ioctl is completed at once, on the caller's thread. IN URBs stay queued; Poll() makes
// them reapable when their data has arrived. When the pipe sockets close (the adapter was
// unplugged) every URB ends with -ENODEV and every later ioctl fails with ENODEV, as usbfs does
// after a disconnect.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

struct _UMockdevIoctlClient;

namespace adapter_emu::usb {

class UsbfsDevice {
public:
    // `pipeFolder` holds the adapter's PIPE00..PIPE09 sockets; `stallPipe` halts a pipe (the
    // host's SET_FEATURE ENDPOINT_HALT).
    UsbfsDevice(std::filesystem::path pipeFolder, std::function<void(int pipe)> stallPipe);
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    // Serves one ioctl of a client and completes it.
    void HandleIoctl(_UMockdevIoctlClient* client);
    // The client closed the device node: its URBs are dropped, its pipes closed.
    void ClientGone(_UMockdevIoctlClient* client);

    // Takes the answers that arrived for pending IN URBs. True when a URB is reapable.
    bool Poll();
    // True while an IN URB waits for data (the caller then watches WatchFds()).
    bool HasPendingReads();
    // Sockets with a READ outstanding, to wait on; -1 entries are unused.
    void WatchFds(int (&fds)[10]);

    // Every later ioctl fails with ENODEV; pending URBs end with -ENODEV.
    void Disconnect();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace adapter_emu::usb
