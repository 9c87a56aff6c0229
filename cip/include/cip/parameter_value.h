// Parameter values on the wire, by the data type code and data size that an EDS file gives a
// parameter: the CIP elementary codes and the older numeric codes that EDS files still use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace cip {

enum class ValueKind { Unsigned, Signed, Float32, Float64, Unknown };

// Unsigned: 1, 2, 8, 24, 25, 26, 198..201, 209..212. Signed: 3, 4, 5, 193..197. 202 is a
// 32-bit float, 203 a 64-bit float; every other code is unknown.
ValueKind ParameterKind(int32_t dataType);

// The number of value bytes an integer of `dataSize` occupies on the wire (0..8).
std::size_t IntegerWidth(int32_t dataSize);

// Writes `value` into `out` (zeroed first). Integers take IntegerWidth(dataSize) bytes, rounded to
// the nearest integer and held within the range of that width (NaN gives 0); floats take 4 or 8
// bytes. Returns false for an unknown type (nothing but zeros is written).
bool EncodeParameterValue(int32_t dataType, int32_t dataSize, double value, std::span<uint8_t> out);

// Reads a value from `in`. Returns false for an unknown type; `value` is then left unchanged.
bool DecodeParameterValue(int32_t dataType, int32_t dataSize, std::span<const uint8_t> in, double& value);

}  // namespace cip
