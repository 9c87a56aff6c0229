// Little-endian integers of 1 to 8 bytes, shared by the value codings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace cip::detail {

// Writes the low `width` bytes of `bits` (as many as `out` holds).
void PutInteger(std::span<uint8_t> out, uint64_t bits, std::size_t width);
// Reads `width` bytes (as many as `in` holds); the signed form is sign-extended from the top bit.
uint64_t GetUnsigned(std::span<const uint8_t> in, std::size_t width);
int64_t GetSigned(std::span<const uint8_t> in, std::size_t width);
// The bits of the integer part of `value` held within the range of an integer of `width` bytes;
// NaN gives 0.
uint64_t SaturatedBits(long double value, bool isSigned, std::size_t width);

}  // namespace cip::detail
