#include "cip/parameter_value.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "integer_bytes.h"

namespace cip {

ValueKind ParameterKind(int32_t dataType) {
    switch (dataType) {
        case 1:
        case 2:
        case 8:
        case 24:
        case 25:
        case 26:
        case 198:
        case 199:
        case 200:
        case 201:
        case 209:
        case 210:
        case 211:
        case 212: return ValueKind::Unsigned;
        case 3:
        case 4:
        case 5:
        case 193:
        case 194:
        case 195:
        case 196:
        case 197: return ValueKind::Signed;
        case 202: return ValueKind::Float32;
        case 203: return ValueKind::Float64;
        default: return ValueKind::Unknown;
    }
}

std::size_t IntegerWidth(int32_t dataSize) {
    if (dataSize <= 0) return 0;
    return static_cast<std::size_t>(std::min(dataSize, 8));
}

bool EncodeParameterValue(int32_t dataType, int32_t dataSize, double value, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    const std::size_t width = IntegerWidth(dataSize);
    switch (ParameterKind(dataType)) {
        case ValueKind::Unsigned:
        case ValueKind::Signed: {
            const bool isSigned = ParameterKind(dataType) == ValueKind::Signed;
            detail::PutInteger(out, detail::SaturatedBits(std::round(value), isSigned, width), width);
            return true;
        }
        case ValueKind::Float32:
            detail::PutInteger(out, std::bit_cast<uint32_t>(static_cast<float>(value)), 4);
            return true;
        case ValueKind::Float64: detail::PutInteger(out, std::bit_cast<uint64_t>(value), 8); return true;
        case ValueKind::Unknown: break;
    }
    return false;
}

bool DecodeParameterValue(int32_t dataType, int32_t dataSize, std::span<const uint8_t> in, double& value) {
    const std::size_t width = IntegerWidth(dataSize);
    switch (ParameterKind(dataType)) {
        case ValueKind::Unsigned: value = static_cast<double>(detail::GetUnsigned(in, width)); return true;
        case ValueKind::Signed: value = static_cast<double>(detail::GetSigned(in, width)); return true;
        case ValueKind::Float32:
            value = static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(detail::GetUnsigned(in, 4))));
            return true;
        case ValueKind::Float64: value = std::bit_cast<double>(detail::GetUnsigned(in, 8)); return true;
        case ValueKind::Unknown: break;
    }
    return false;
}

}  // namespace cip
