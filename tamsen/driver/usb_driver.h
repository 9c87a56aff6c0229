// Real adapters through libusb-1.0. Present adapters are the USB devices whose vendor:product is
// listed in $TAMSEN_USB_IDS (comma-separated hex pairs such as "1a2b:0001"), in bus order; the
// device path is /dev/bus/usb/BBB/DDD. Pipe n is the n-th endpoint of interface 0; the pipe-state
// request is GET_STATUS on the endpoint (halt bit), the reset is a clear-halt.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "driver/driver.h"

struct libusb_context;
struct libusb_device_handle;

namespace tamsen::driver {

// The adapters' USB ids: $TAMSEN_USB_IDS, else "UsbIds" of device type 101 in the registry file
// (written by varda-register --usb-ids).
std::string AdapterUsbIds();

// Parses a list of USB ids such as $TAMSEN_USB_IDS; entries that are not "hex:hex" are skipped.
std::vector<std::pair<uint16_t, uint16_t>> ParseUsbIds(const char* text);

class UsbDriver final : public Driver, public std::enable_shared_from_this<UsbDriver> {
public:
    static std::shared_ptr<UsbDriver> Instance();
    ~UsbDriver() override;

    std::vector<std::string> PresentDevices() override;
    std::unique_ptr<Pipe> OpenPipe(const std::string& fileName) override;

    // Used by the pipes.
    libusb_context* Context() const { return context_; }
    void ReleasePipe(const std::string& devicePath, int pipe);

private:
    UsbDriver();
    struct OpenDevice {
        libusb_device_handle* handle = nullptr;
        std::set<int> pipes;
    };
    libusb_context* context_ = nullptr;
    std::mutex lock_;
    std::map<std::string, OpenDevice> open_;
};

}  // namespace tamsen::driver
