// Hexadecimal digits, one place for every reader and writer of hexadecimal text.
#pragma once

#include <cstdint>

namespace platform {

// The value of a hexadecimal digit of either case; -1 for any other character.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The upper-case digit of the low four bits of `value`.
constexpr char HexDigitChar(uint32_t value) { return "0123456789ABCDEF"[value & 0xFu]; }

}  // namespace platform
