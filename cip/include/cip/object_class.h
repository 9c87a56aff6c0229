// Class codes of the CIP objects the system addresses by explicit messages.
#pragma once

#include <cstdint>

namespace cip {

inline constexpr uint16_t kIdentityClass = 0x01;
inline constexpr uint16_t kDeviceNetClass = 0x03;
inline constexpr uint16_t kParameterClass = 0x0F;

}  // namespace cip
