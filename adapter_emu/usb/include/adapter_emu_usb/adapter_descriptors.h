// The adapter's USB descriptors: one configuration with interface 0 holding ten bulk endpoints,
// endpoint n+1 for pipe n (IN for the even pipes 00, 02, ..., OUT for the odd ones), so that
// the host's pipe n is the n-th endpoint of interface 0.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "adapter_emu_usb/usb_id.h"

namespace adapter_emu::usb {

inline constexpr int kPipeCount = 10;
inline constexpr uint16_t kMaxPacketSize = 512;  // high-speed bulk
inline constexpr std::size_t kDeviceDescriptorSize = 18;
inline constexpr std::size_t kConfigDescriptorSize = 9;
inline constexpr std::size_t kInterfaceDescriptorSize = 9;
inline constexpr std::size_t kEndpointDescriptorSize = 7;

bool IsInPipe(int pipe);
// The endpoint address of a pipe (0x81 for pipe 00, 0x02 for pipe 01, ...).
uint8_t EndpointOfPipe(int pipe);
// The pipe of an endpoint address; nothing for endpoint 0 and addresses the adapter lacks.
std::optional<int> PipeOfEndpoint(uint8_t address);

// Device descriptor followed by the whole configuration, as sysfs' "descriptors" attribute holds
// them.
std::vector<uint8_t> AdapterDescriptors(UsbId id);

}  // namespace adapter_emu::usb
