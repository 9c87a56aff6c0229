// A umockdev testbed holding emulated adapters as USB devices: sysfs entries with the adapter's
// descriptors, /dev/bus/usb/001/NNN nodes, and a usbfs handler per node (UsbfsDevice) that talks
// to an adapter emulator's pipe sockets.
//
// The testbed sets UMOCKDEV_DIR in this process. Programs that are to see the devices run with
// the umockdev preload library and that UMOCKDEV_DIR; in this process, devices must be added
// before libusb is initialised.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "adapter_emu_usb/usb_id.h"

namespace adapter_emu::usb {

// The umockdev preload library that programs under the emulation need in LD_PRELOAD.
inline constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

// True when this process runs with the preload library loaded.
bool InMockEnvironment();

// Starts this program again with the preload library when it is not loaded yet. Returns only
// when it is loaded; exits with a message when it cannot be (the umockdev package is missing).
void EnsureMockEnvironment(char** argv);

class UsbTestbed {
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    // Adds an adapter as USB device 1-(n+1) at address n+2 on bus 1 (n = adapters added before).
    // `pipeFolder` holds its pipe sockets; `stallPipe` halts a pipe. Returns the device node
    // (/dev/bus/usb/001/NNN).
    std::string AddAdapter(UsbId id, std::filesystem::path pipeFolder, std::function<void(int pipe)> stallPipe);

    std::size_t AdapterCount() const;

    // The testbed's folder (the UMOCKDEV_DIR of programs under the emulation).
    std::filesystem::path RootDir() const;
    // The file that stands for a device node inside the testbed.
    std::filesystem::path NodeFile(std::size_t adapter) const;

    // The adapter is pulled out: its URBs end, its ioctls fail with ENODEV, and it leaves sysfs
    // with a "remove" uevent.
    void Unplug(std::size_t adapter);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace adapter_emu::usb
