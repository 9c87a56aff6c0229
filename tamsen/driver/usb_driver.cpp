#include "driver/usb_driver.h"

#include <libusb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/pipe_name.h"
#include "log.h"
#include "platform/byte_order.h"
#include "platform/registry_file.h"

namespace tamsen::driver {

namespace {

constexpr unsigned kWriteTimeoutMs = 5000;
constexpr unsigned kControlTimeoutMs = 1000;
// GET_STATUS on an endpoint: device-to-host, standard request, endpoint recipient.
constexpr uint8_t kGetStatusRequestType = 0x80 | 0x00 | 0x02;

struct DeviceKey {
    int bus = 0;
    int address = 0;
};

std::string DevicePath(int bus, int address) {
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", bus, address);
    return path;
}

bool ParseDevicePath(const std::string& path, DeviceKey& key) {
    int consumed = 0;
    if (std::sscanf(path.c_str(), "/dev/bus/usb/%d/%d%n", &key.bus, &key.address, &consumed) != 2) return false;
    return static_cast<std::size_t>(consumed) == path.size();
}

void LIBUSB_CALL TransferDone(libusb_transfer* transfer) { *static_cast<int*>(transfer->user_data) = 1; }

class UsbPipe final : public Pipe {
public:
    UsbPipe(std::shared_ptr<UsbDriver> driver, libusb_device_handle* handle, std::string device, int pipe,
            uint8_t endpoint, uint32_t id)
        : driver_(std::move(driver)),
          handle_(handle),
          device_(std::move(device)),
          pipe_(pipe),
          endpoint_(endpoint),
          id_(id) {}

    ~UsbPipe() override {
        CancelRead();
        driver_->ReleasePipe(device_, pipe_);
    }

    uint32_t Id() const override { return id_; }

    bool Write(std::span<const uint8_t> data) override {
        std::vector<uint8_t> copy(data.begin(), data.end());
        int transferred = 0;
        const int r = libusb_bulk_transfer(handle_, endpoint_, copy.data(), static_cast<int>(copy.size()), &transferred,
                                           kWriteTimeoutMs);
        return r == 0 && static_cast<std::size_t>(transferred) == copy.size();
    }

    bool StartRead(std::size_t capacity, ReadRequest request) override {
        if (transfer_ != nullptr) return false;
        transfer_ = libusb_alloc_transfer(0);
        if (transfer_ == nullptr) return false;
        buffer_.assign(capacity, 0);
        completed_ = 0;
        // The read request's time-out becomes the transfer's time-out.
        const unsigned timeout = platform::GetU16LE(request, 1);
        libusb_fill_bulk_transfer(transfer_, handle_, endpoint_, buffer_.data(), static_cast<int>(buffer_.size()),
                                  TransferDone, &completed_, timeout);
        if (libusb_submit_transfer(transfer_) != 0) {
            libusb_free_transfer(transfer_);
            transfer_ = nullptr;
            return false;
        }
        return true;
    }

    std::optional<std::size_t> WaitRead(std::span<uint8_t> out) override {
        if (transfer_ == nullptr) return std::nullopt;
        Complete();
        std::optional<std::size_t> result;
        if (transfer_->status == LIBUSB_TRANSFER_COMPLETED) {
            const std::size_t n = std::min({static_cast<std::size_t>(transfer_->actual_length), out.size()});
            std::copy_n(buffer_.begin(), n, out.begin());
            result = n;
        } else if (transfer_->status == LIBUSB_TRANSFER_TIMED_OUT) {
            result = 0;
        }
        libusb_free_transfer(transfer_);
        transfer_ = nullptr;
        return result;
    }

    void CancelRead() override {
        if (transfer_ == nullptr) return;
        if (completed_ == 0) libusb_cancel_transfer(transfer_);
        Complete();
        libusb_free_transfer(transfer_);
        transfer_ = nullptr;
    }

    std::optional<std::size_t> Control(uint32_t code, std::span<uint8_t> output) override {
        if (code == kControlResetPipe) {
            if (libusb_clear_halt(handle_, endpoint_) != 0) return std::nullopt;
            return 0;
        }
        if (code != kControlGetPipeState || output.size() < 2) return std::nullopt;
        uint8_t status[2] = {};
        const int r = libusb_control_transfer(handle_, kGetStatusRequestType, LIBUSB_REQUEST_GET_STATUS, 0, endpoint_,
                                              status, 2, kControlTimeoutMs);
        if (r != 2) return std::nullopt;
        platform::PutU16LE(output, 0, static_cast<uint16_t>(status[0] & 0x01));  // halt bit
        return 2;
    }

private:
    // Runs libusb's event handling until the transfer's callback has run; the transfer ends at
    // the latest by its time-out.
    void Complete() {
        while (completed_ == 0) (void)libusb_handle_events_completed(driver_->Context(), &completed_);
    }

    std::shared_ptr<UsbDriver> driver_;
    libusb_device_handle* handle_;
    std::string device_;
    int pipe_;
    uint8_t endpoint_;
    uint32_t id_;
    libusb_transfer* transfer_ = nullptr;
    std::vector<uint8_t> buffer_;
    int completed_ = 0;
};

}  // namespace

std::vector<std::pair<uint16_t, uint16_t>> ParseUsbIds(const char* text) {
    std::vector<std::pair<uint16_t, uint16_t>> ids;
    if (text == nullptr) return ids;
    std::string all(text);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(',', start);
        if (end == std::string::npos) end = all.size();
        std::string entry = all.substr(start, end - start);
        entry.erase(std::remove_if(entry.begin(), entry.end(), [](char c) { return c == ' ' || c == '\t'; }),
                    entry.end());
        unsigned vendor = 0, product = 0;
        int consumed = 0;
        if (std::sscanf(entry.c_str(), "%4x:%4x%n", &vendor, &product, &consumed) == 2 &&
            static_cast<std::size_t>(consumed) == entry.size()) {
            ids.emplace_back(static_cast<uint16_t>(vendor), static_cast<uint16_t>(product));
        }
        start = end + 1;
    }
    return ids;
}

UsbDriver::UsbDriver() {
    if (libusb_init(&context_) != 0) context_ = nullptr;
}

UsbDriver::~UsbDriver() {
    if (context_ != nullptr) libusb_exit(context_);
}

std::string AdapterUsbIds() {
    if (const char* env = std::getenv("TAMSEN_USB_IDS"); env != nullptr && *env != '\0') return env;
    platform::RegKey key;
    if (platform::RegOpenKey("SOFTWARE\\BRAMWELL\\VARDA\\101", key) != platform::kRegOk) return {};
    const platform::RegValue* value = key.FindValue("UsbIds");
    if (value == nullptr || value->type != platform::RegType::Sz) return {};
    std::string text(value->data.begin(), value->data.end());
    if (const size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return text;
}

std::shared_ptr<UsbDriver> UsbDriver::Instance() {
    static std::mutex lock;
    static std::weak_ptr<UsbDriver> instance;
    std::lock_guard<std::mutex> guard(lock);
    std::shared_ptr<UsbDriver> driver = instance.lock();
    if (!driver) {
        driver = std::shared_ptr<UsbDriver>(new UsbDriver());
        instance = driver;
    }
    return driver;
}

std::vector<std::string> UsbDriver::PresentDevices() {
    if (context_ == nullptr) return {};
    const auto ids = ParseUsbIds(AdapterUsbIds().c_str());
    if (ids.empty()) return {};
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0) return {};
    std::vector<std::pair<std::vector<int>, std::string>> found;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) != 0) continue;
        const auto id = std::make_pair(descriptor.idVendor, descriptor.idProduct);
        if (std::find(ids.begin(), ids.end(), id) == ids.end()) continue;
        // Bus order: bus number, then the port path.
        uint8_t ports[8] = {};
        const int depth = libusb_get_port_numbers(list[i], ports, sizeof ports);
        std::vector<int> key{libusb_get_bus_number(list[i])};
        for (int p = 0; p < depth; ++p) key.push_back(ports[p]);
        found.emplace_back(std::move(key),
                           DevicePath(libusb_get_bus_number(list[i]), libusb_get_device_address(list[i])));
    }
    libusb_free_device_list(list, 1);
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& entry : found) paths.push_back(std::move(entry.second));
    return paths;
}

std::unique_ptr<Pipe> UsbDriver::OpenPipe(const std::string& fileName) {
    const std::optional<PipeName> name = ParsePipeName(fileName);
    DeviceKey key;
    if (context_ == nullptr || !name || !ParseDevicePath(name->device, key)) return nullptr;
    const std::string& devicePath = name->device;
    const int pipe = name->pipe;
    std::lock_guard<std::mutex> guard(lock_);
    OpenDevice& open = open_[devicePath];
    if (open.pipes.count(pipe) != 0) return nullptr;  // no sharing
    if (open.handle == nullptr) {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        libusb_device* device = nullptr;
        libusb_device_descriptor descriptor{};
        for (ssize_t i = 0; i < count; ++i) {
            if (libusb_get_bus_number(list[i]) == key.bus && libusb_get_device_address(list[i]) == key.address) {
                device = list[i];
                (void)libusb_get_device_descriptor(device, &descriptor);
            }
        }
        // Only adapters named in $TAMSEN_USB_IDS are ever opened.
        const auto ids = ParseUsbIds(AdapterUsbIds().c_str());
        if (std::find(ids.begin(), ids.end(), std::make_pair(descriptor.idVendor, descriptor.idProduct)) == ids.end()) {
            device = nullptr;
        }
        int r = device == nullptr ? LIBUSB_ERROR_NO_DEVICE : libusb_open(device, &open.handle);
        if (count >= 0) libusb_free_device_list(list, 1);
        if (r == LIBUSB_ERROR_ACCESS) {
            TAMSEN_LOG_ERROR("UsbDriver::OpenPipe",
                             "no permission to open %s; give the logged-in user access with the udev rule "
                             "60-norvane-adapter.rules: varda-register --usb-ids %04x:%04x REGFILE 101 LIBPATH\n",
                             devicePath.c_str(), descriptor.idVendor, descriptor.idProduct);
        }
        if (r == 0) {
            libusb_set_auto_detach_kernel_driver(open.handle, 1);
            r = libusb_claim_interface(open.handle, 0);
            if (r == LIBUSB_ERROR_ACCESS) {
                TAMSEN_LOG_ERROR("UsbDriver::OpenPipe",
                                 "interface 0 of %s is busy or not permitted (udev rule or another program)\n",
                                 devicePath.c_str());
            }
            if (r != 0) {
                libusb_close(open.handle);
                open.handle = nullptr;
            }
        }
        if (open.handle == nullptr) {
            open_.erase(devicePath);
            return nullptr;
        }
    }
    // Pipe n is the n-th endpoint of interface 0.
    uint8_t endpoint = 0;
    bool haveEndpoint = false;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(open.handle), &config) == 0) {
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
            if (pipe < alt.bNumEndpoints) {
                endpoint = alt.endpoint[pipe].bEndpointAddress;
                haveEndpoint = true;
            }
        }
        libusb_free_config_descriptor(config);
    }
    if (!haveEndpoint) {
        if (open.pipes.empty()) {
            libusb_release_interface(open.handle, 0);
            libusb_close(open.handle);
            open_.erase(devicePath);
        }
        return nullptr;
    }
    open.pipes.insert(pipe);
    const uint32_t id = (static_cast<uint32_t>(key.bus) << 16) | (static_cast<uint32_t>(key.address) << 8) | endpoint;
    return std::make_unique<UsbPipe>(shared_from_this(), open.handle, devicePath, pipe, endpoint, id);
}

void UsbDriver::ReleasePipe(const std::string& devicePath, int pipe) {
    std::lock_guard<std::mutex> guard(lock_);
    auto it = open_.find(devicePath);
    if (it == open_.end()) return;
    it->second.pipes.erase(pipe);
    if (it->second.pipes.empty()) {
        libusb_release_interface(it->second.handle, 0);
        libusb_close(it->second.handle);
        open_.erase(it);
    }
}

}  // namespace tamsen::driver
