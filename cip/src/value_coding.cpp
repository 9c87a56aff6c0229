#include "cip/value_coding.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "integer_bytes.h"
#include "number_text.h"

namespace cip {

namespace {

bool Fits(const TypeInfo& type, long double v) {
    const std::optional<Range> range = TypeRange(type);
    if (!range || v < range->minimum || v > range->maximum) return false;
    return type.kind == TypeKind::Float || v == std::floor(v);
}

}  // namespace

std::vector<uint8_t> EncodeNumber(const TypeInfo& type, long double value) {
    std::vector<uint8_t> out(type.size, 0);
    switch (type.kind) {
        case TypeKind::Float: {
            const long double max = TypeRange(type)->maximum;
            if (!std::isnan(value)) value = std::clamp(value, -max, max);
            if (type.size == 4) {
                detail::PutInteger(out, std::bit_cast<uint32_t>(static_cast<float>(value)), 4);
            } else {
                detail::PutInteger(out, std::bit_cast<uint64_t>(static_cast<double>(value)), 8);
            }
            break;
        }
        case TypeKind::Bool: out[0] = !std::isnan(value) && value >= 1 ? 1 : 0; break;
        case TypeKind::Unsigned:
        case TypeKind::Signed:
            detail::PutInteger(out, detail::SaturatedBits(value, type.kind == TypeKind::Signed, type.size), type.size);
            break;
        case TypeKind::ShortString:
        case TypeKind::String: break;
    }
    return out;
}

std::optional<long double> DecodeNumber(const TypeInfo& type, std::span<const uint8_t> bytes) {
    if (!type.IsNumeric() || bytes.size() != type.size) return std::nullopt;
    switch (type.kind) {
        case TypeKind::Float:
            if (type.size == 4) return std::bit_cast<float>(static_cast<uint32_t>(detail::GetUnsigned(bytes, 4)));
            return std::bit_cast<double>(detail::GetUnsigned(bytes, 8));
        case TypeKind::Signed: return static_cast<long double>(detail::GetSigned(bytes, type.size));
        default: return static_cast<long double>(detail::GetUnsigned(bytes, type.size));
    }
}

std::optional<std::vector<uint8_t>> EncodeText(const TypeInfo& type, std::string_view text) {
    if (type.kind == TypeKind::ShortString) {
        if (text.size() > 0xFF) return std::nullopt;
        std::vector<uint8_t> out{static_cast<uint8_t>(text.size())};
        out.insert(out.end(), text.begin(), text.end());
        return out;
    }
    if (type.kind == TypeKind::String) {
        if (text.size() > 0xFFFF) return std::nullopt;
        std::vector<uint8_t> out(2);
        detail::PutInteger(out, text.size(), 2);
        out.insert(out.end(), text.begin(), text.end());
        return out;
    }
    const std::optional<long double> v = detail::ParseNumber(text, type.kind == TypeKind::Float);
    if (!v || !Fits(type, *v)) return std::nullopt;
    return EncodeNumber(type, *v);
}

}  // namespace cip
