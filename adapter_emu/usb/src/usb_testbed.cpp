#include "adapter_emu_usb/usb_testbed.h"

#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "adapter_emu_usb/adapter_descriptors.h"
#include "adapter_emu_usb/usbfs_device.h"

namespace adapter_emu::usb {

namespace {

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer device) {
    static_cast<UsbfsDevice*>(device)->HandleIoctl(client);
    return TRUE;
}

void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer device) {
    static_cast<UsbfsDevice*>(device)->ClientGone(client);
}

}  // namespace

bool InMockEnvironment() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libumockdev-preload") != std::string::npos) return true;
    }
    return false;
}

void EnsureMockEnvironment(char** argv) {
    if (InMockEnvironment()) return;
    const char* old = std::getenv("LD_PRELOAD");
    if (old != nullptr && std::strstr(old, kPreloadLibrary) != nullptr) {
        std::fprintf(stderr, "%s: %s could not be preloaded (is the umockdev package installed?)\n", argv[0],
                     kPreloadLibrary);
        std::exit(1);
    }
    std::string preload = kPreloadLibrary;
    if (old != nullptr && *old != '\0') preload += std::string(":") + old;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::fprintf(stderr, "%s: cannot start again with %s: %s\n", argv[0], kPreloadLibrary, std::strerror(errno));
    std::exit(1);
}

struct UsbTestbed::Impl {
    struct Device {
        std::string syspath;
        std::string node;
        std::unique_ptr<UsbfsDevice> usbfs;
        UMockdevIoctlBase* handler = nullptr;
        bool present = true;
    };
    UMockdevTestbed* testbed = nullptr;
    std::vector<Device> devices;
};

UsbTestbed::UsbTestbed() : impl_(std::make_unique<Impl>()) {
    impl_->testbed = umockdev_testbed_new();
    if (impl_->testbed == nullptr) throw std::runtime_error("cannot create the USB testbed");
}

UsbTestbed::~UsbTestbed() {
    for (auto& d : impl_->devices) {
        if (d.handler == nullptr) continue;
        umockdev_testbed_detach_ioctl(impl_->testbed, d.node.c_str(), nullptr);
        g_object_unref(d.handler);
    }
    // Unreferencing the testbed removes its folder.
    g_object_unref(impl_->testbed);
}

std::string UsbTestbed::AddAdapter(UsbId id, std::filesystem::path pipeFolder,
                                   std::function<void(int pipe)> stallPipe) {
    const std::size_t n = impl_->devices.size();
    const std::string name = "1-" + std::to_string(n + 1);
    char devnum[8], node[32], vendor[8], product[8], productProperty[32];
    std::snprintf(devnum, sizeof devnum, "%03zu", n + 2);
    std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03zu", n + 2);
    std::snprintf(vendor, sizeof vendor, "%04x", id.vendor);
    std::snprintf(product, sizeof product, "%04x", id.product);
    std::snprintf(productProperty, sizeof productProperty, "%x/%x/100", id.vendor, id.product);
    // Attribute values end with a newline, as sysfs writes them.
    const std::string address = std::to_string(n + 2) + "\n";
    const std::string vendorLine = std::string(vendor) + "\n", productLine = std::string(product) + "\n";
    const gchar* attributes[] = {"busnum",
                                 "1\n",
                                 "devnum",
                                 address.c_str(),
                                 "speed",
                                 "480\n",
                                 "bConfigurationValue",
                                 "1\n",
                                 "idVendor",
                                 vendorLine.c_str(),
                                 "idProduct",
                                 productLine.c_str(),
                                 "bNumConfigurations",
                                 "1\n",
                                 "bNumInterfaces",
                                 " 1\n",
                                 nullptr};
    const gchar* properties[] = {"DEVNAME", node,      "DEVTYPE",       "usb_device", "BUSNUM", "001",  "DEVNUM",
                                 devnum,    "PRODUCT", productProperty, "DRIVER",     "usb",    nullptr};
    gchar* syspath = umockdev_testbed_add_devicev(impl_->testbed, "usb", name.c_str(), nullptr,
                                                  const_cast<gchar**>(attributes), const_cast<gchar**>(properties));
    if (syspath == nullptr) throw std::runtime_error("cannot add USB device " + name + " to the testbed");
    Impl::Device device;
    device.syspath = syspath;
    g_free(syspath);
    device.node = node;
    // The device node: a FIFO in the testbed that the preload opens in place of the real node
    // (its writability tells libusb when there is something to reap).
    const std::filesystem::path nodeFile = RootDir() / device.node.substr(1);
    std::error_code ec;
    std::filesystem::create_directories(nodeFile.parent_path(), ec);
    if (::mkfifo(nodeFile.c_str(), 0666) != 0) {
        throw std::runtime_error(nodeFile.string() + ": cannot be created: " + std::strerror(errno));
    }
    std::vector<uint8_t> descriptors = AdapterDescriptors(id);
    umockdev_testbed_set_attribute_binary(impl_->testbed, device.syspath.c_str(), "descriptors", descriptors.data(),
                                          static_cast<gint>(descriptors.size()));
    device.usbfs = std::make_unique<UsbfsDevice>(std::move(pipeFolder), nodeFile, std::move(stallPipe));
    device.handler = umockdev_ioctl_base_new();
    g_signal_connect(device.handler, "handle-ioctl", G_CALLBACK(OnIoctl), device.usbfs.get());
    g_signal_connect(device.handler, "client-vanished", G_CALLBACK(OnVanished), device.usbfs.get());
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(impl_->testbed, node, device.handler, &error)) {
        std::string why = error != nullptr ? error->message : "unknown error";
        if (error != nullptr) g_error_free(error);
        g_object_unref(device.handler);
        throw std::runtime_error(std::string(node) + ": cannot emulate its ioctls: " + why);
    }
    impl_->devices.push_back(std::move(device));
    return node;
}

std::size_t UsbTestbed::AdapterCount() const { return impl_->devices.size(); }

std::filesystem::path UsbTestbed::RootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(impl_->testbed);
    std::filesystem::path path = root;
    g_free(root);
    return path;
}

std::filesystem::path UsbTestbed::NodeFile(std::size_t adapter) const {
    return RootDir() / impl_->devices.at(adapter).node.substr(1);
}

void UsbTestbed::Unplug(std::size_t adapter) {
    Impl::Device& d = impl_->devices.at(adapter);
    d.usbfs->Disconnect();
    if (!d.present) return;
    d.present = false;
    umockdev_testbed_uevent(impl_->testbed, d.syspath.c_str(), "remove");
    umockdev_testbed_remove_device(impl_->testbed, d.syspath.c_str());
}

}  // namespace adapter_emu::usb
