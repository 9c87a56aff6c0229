// Values of the elementary data types as bytes (little-endian, IEEE floats, strings with their
// length in front), as numbers and as text.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "cip/data_type.h"

namespace cip {

// The bytes of a number of a numeric type; a value outside the type's range is held at its
// nearest end, and an integer type takes the value's integer part. Empty for the string types.
std::vector<uint8_t> EncodeNumber(const TypeInfo& type, long double value);

// The number that `bytes` encode; nothing for the string types or a length other than the size.
std::optional<long double> DecodeNumber(const TypeInfo& type, std::span<const uint8_t> bytes);

// Encodes a value written as text: for numbers "12", "-3", "0x1F" or (floats) "2.5"; for the
// string types the text itself. Nothing when the text is not such a value or does not fit.
std::optional<std::vector<uint8_t>> EncodeText(const TypeInfo& type, std::string_view text);

}  // namespace cip
