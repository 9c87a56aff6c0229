#include "network/parameter_value.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

ParameterValueKind ParameterKind(int32_t dataType) {
    switch (dataType) {
        case 1: case 2: case 8: case 24: case 25: case 26:
        case 198: case 199: case 200: case 201:
        case 209: case 210: case 211: case 212:
            return ParameterValueKind::Unsigned;
        case 3: case 4: case 5:
        case 193: case 194: case 195: case 196: case 197:
            return ParameterValueKind::Signed;
        case 202:
            return ParameterValueKind::Float32;
        case 203:
            return ParameterValueKind::Float64;
        default:
            return ParameterValueKind::Unknown;
    }
}

std::size_t IntegerWidth(int32_t dataSize) {
    if (dataSize <= 0) return 0;
    return static_cast<std::size_t>(std::min(dataSize, 8));
}

namespace {

void PutLE(std::span<uint8_t> out, uint64_t bits, std::size_t width) {
    for (std::size_t i = 0; i < width && i < out.size(); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint64_t GetLE(std::span<const uint8_t> in, std::size_t width) {
    uint64_t bits = 0;
    for (std::size_t i = 0; i < width && i < in.size(); ++i) bits |= static_cast<uint64_t>(in[i]) << (8 * i);
    return bits;
}

}  // namespace

bool EncodeParameterValue(int32_t dataType, int32_t dataSize, double value, std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), uint8_t{0});
    std::size_t width = IntegerWidth(dataSize);
    switch (ParameterKind(dataType)) {
        case ParameterValueKind::Unsigned: {
            if (width == 0 || std::isnan(value)) return true;
            double max = width >= 8 ? 18446744073709549568.0 : std::ldexp(1.0, static_cast<int>(8 * width)) - 1;
            double v = std::clamp(std::round(value), 0.0, max);
            PutLE(out, static_cast<uint64_t>(v), width);
            return true;
        }
        case ParameterValueKind::Signed: {
            if (width == 0 || std::isnan(value)) return true;
            double lo = width >= 8 ? -9223372036854775808.0 : -std::ldexp(1.0, static_cast<int>(8 * width - 1));
            double hi = width >= 8 ? 9223372036854774784.0 : std::ldexp(1.0, static_cast<int>(8 * width - 1)) - 1;
            double v = std::clamp(std::round(value), lo, hi);
            PutLE(out, static_cast<uint64_t>(static_cast<int64_t>(v)), width);
            return true;
        }
        case ParameterValueKind::Float32: {
            PutLE(out, std::bit_cast<uint32_t>(static_cast<float>(value)), 4);
            return true;
        }
        case ParameterValueKind::Float64: {
            PutLE(out, std::bit_cast<uint64_t>(value), 8);
            return true;
        }
        case ParameterValueKind::Unknown:
            break;
    }
    return false;
}

bool DecodeParameterValue(int32_t dataType, int32_t dataSize, std::span<const uint8_t> in, double& value) {
    std::size_t width = IntegerWidth(dataSize);
    switch (ParameterKind(dataType)) {
        case ParameterValueKind::Unsigned:
            value = static_cast<double>(GetLE(in, width));
            return true;
        case ParameterValueKind::Signed: {
            uint64_t bits = GetLE(in, width);
            if (width > 0 && width < 8 && (bits >> (8 * width - 1)) & 1) bits |= ~uint64_t{0} << (8 * width);
            value = static_cast<double>(static_cast<int64_t>(bits));
            return true;
        }
        case ParameterValueKind::Float32:
            value = static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(GetLE(in, 4))));
            return true;
        case ParameterValueKind::Float64:
            value = std::bit_cast<double>(GetLE(in, 8));
            return true;
        case ParameterValueKind::Unknown:
            break;
    }
    return false;
}
