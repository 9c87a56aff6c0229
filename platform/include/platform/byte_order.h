// Little-endian reading and writing of on-wire and on-disk fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

inline void PutU16LE(std::span<uint8_t> out, std::size_t offset, uint16_t value) {
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU32LE(std::span<uint8_t> out, std::size_t offset, uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

inline uint16_t GetU16LE(std::span<const uint8_t> in, std::size_t offset) {
    return static_cast<uint16_t>(in[offset] | (in[offset + 1] << 8));
}

inline uint32_t GetU32LE(std::span<const uint8_t> in, std::size_t offset) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<uint32_t>(in[offset + i]) << (8 * i);
    }
    return value;
}

}  // namespace platform
