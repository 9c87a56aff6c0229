#include "adapter_emu_usb/adapter_descriptors.h"

#include "platform/byte_order.h"

namespace adapter_emu::usb {

namespace {

constexpr uint8_t kTypeDevice = 1, kTypeConfig = 2, kTypeInterface = 4, kTypeEndpoint = 5;
constexpr uint8_t kBulk = 2;
constexpr uint16_t kDeviceRelease = 0x0100;

}  // namespace

bool IsInPipe(int pipe) { return pipe % 2 == 0; }

uint8_t EndpointOfPipe(int pipe) { return static_cast<uint8_t>((pipe + 1) | (IsInPipe(pipe) ? 0x80 : 0x00)); }

std::optional<int> PipeOfEndpoint(uint8_t address) {
    const int number = address & 0x0F;
    if (number < 1 || number > kPipeCount || (address & 0x70) != 0) return std::nullopt;
    const int pipe = number - 1;
    if (EndpointOfPipe(pipe) != address) return std::nullopt;
    return pipe;
}

std::vector<uint8_t> AdapterDescriptors(UsbId id) {
    constexpr std::size_t configTotal =
        kConfigDescriptorSize + kInterfaceDescriptorSize + kPipeCount * kEndpointDescriptorSize;
    std::vector<uint8_t> d(kDeviceDescriptorSize + configTotal, 0);
    // Device: USB 2.0, class per interface, 64-byte control endpoint, no strings, one configuration.
    d[0] = kDeviceDescriptorSize;
    d[1] = kTypeDevice;
    platform::PutU16LE(d, 2, 0x0200);
    d[7] = 64;
    platform::PutU16LE(d, 8, id.vendor);
    platform::PutU16LE(d, 10, id.product);
    platform::PutU16LE(d, 12, kDeviceRelease);
    d[17] = 1;
    // Configuration 1: one interface, bus powered, 100 mA.
    std::size_t o = kDeviceDescriptorSize;
    d[o + 0] = kConfigDescriptorSize;
    d[o + 1] = kTypeConfig;
    platform::PutU16LE(d, o + 2, static_cast<uint16_t>(configTotal));
    d[o + 4] = 1;
    d[o + 5] = 1;
    d[o + 7] = 0x80;
    d[o + 8] = 50;
    // Interface 0, vendor specific, ten endpoints.
    o += kConfigDescriptorSize;
    d[o + 0] = kInterfaceDescriptorSize;
    d[o + 1] = kTypeInterface;
    d[o + 4] = kPipeCount;
    d[o + 5] = 0xFF;
    o += kInterfaceDescriptorSize;
    for (int pipe = 0; pipe < kPipeCount; ++pipe, o += kEndpointDescriptorSize) {
        d[o + 0] = kEndpointDescriptorSize;
        d[o + 1] = kTypeEndpoint;
        d[o + 2] = EndpointOfPipe(pipe);
        d[o + 3] = kBulk;
        platform::PutU16LE(d, o + 4, kMaxPacketSize);
    }
    return d;
}

}  // namespace adapter_emu::usb
