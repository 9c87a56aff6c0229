// Class codes of the CIP objects the system addresses by explicit messages.
#pragma once

#include <cstdint>

namespace cip {

inline constexpr uint16_t kIdentityClass = 0x01;
inline constexpr uint16_t kDeviceNetClass = 0x03;
inline constexpr uint16_t kParameterClass = 0x0F;

// The device's own instance of the Identity and DeviceNet objects.
inline constexpr uint16_t kDeviceInstance = 1;

// Identity object attributes.
inline constexpr uint8_t kVendorIdAttribute = 1;
inline constexpr uint8_t kDeviceTypeAttribute = 2;
inline constexpr uint8_t kProductCodeAttribute = 3;
inline constexpr uint8_t kRevisionAttribute = 4;
inline constexpr uint8_t kSerialNumberAttribute = 6;
inline constexpr uint8_t kProductNameAttribute = 7;

// DeviceNet object attributes.
inline constexpr uint8_t kMacIdAttribute = 1;
inline constexpr uint8_t kBaudRateAttribute = 2;

}  // namespace cip
