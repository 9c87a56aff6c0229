#include "cip/data_type.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>

#include "number_text.h"

namespace cip {

namespace {

constexpr std::array<TypeInfo, 17> kTypes = {{
    {0xC1, "BOOL", 1, TypeKind::Bool},
    {0xC2, "SINT", 1, TypeKind::Signed},
    {0xC3, "INT", 2, TypeKind::Signed},
    {0xC4, "DINT", 4, TypeKind::Signed},
    {0xC5, "LINT", 8, TypeKind::Signed},
    {0xC6, "USINT", 1, TypeKind::Unsigned},
    {0xC7, "UINT", 2, TypeKind::Unsigned},
    {0xC8, "UDINT", 4, TypeKind::Unsigned},
    {0xC9, "ULINT", 8, TypeKind::Unsigned},
    {0xCA, "REAL", 4, TypeKind::Float},
    {0xCB, "LREAL", 8, TypeKind::Float},
    {0xD1, "BYTE", 1, TypeKind::Unsigned},
    {0xD2, "WORD", 2, TypeKind::Unsigned},
    {0xD3, "DWORD", 4, TypeKind::Unsigned},
    {0xD4, "LWORD", 8, TypeKind::Unsigned},
    {0xDA, "SHORT_STRING", 0, TypeKind::ShortString},
    {0xD0, "STRING", 0, TypeKind::String},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::span<const TypeInfo> DataTypes() { return kTypes; }

std::optional<TypeInfo> TypeByCode(int32_t code) {
    for (const auto& t : kTypes) {
        if (t.code == code) return t;
    }
    return std::nullopt;
}

TypeInfo TypeOf(DataType type) { return TypeByCode(Code(type)).value_or(TypeInfo{}); }

std::optional<TypeInfo> FindType(std::string_view text) {
    for (const auto& t : kTypes) {
        if (EqualNoCase(t.name, text)) return t;
    }
    auto code = detail::ParseNumber(text, false);
    if (code && *code >= 0 && *code <= 0xFF) return TypeByCode(static_cast<int32_t>(*code));
    return std::nullopt;
}

std::size_t TypeSize(DataType type) { return TypeOf(type).size; }

Range IntegerRange(bool isSigned, std::size_t width) {
    if (width == 0) return {};
    const int bits = static_cast<int>(8 * std::min<std::size_t>(width, 8));
    if (isSigned) return {-std::ldexp(1.0L, bits - 1), std::ldexp(1.0L, bits - 1) - 1};
    return {0, std::ldexp(1.0L, bits) - 1};
}

std::optional<Range> TypeRange(const TypeInfo& type) {
    switch (type.kind) {
        case TypeKind::Bool: return Range{0, 1};
        case TypeKind::Unsigned: return IntegerRange(false, type.size);
        case TypeKind::Signed: return IntegerRange(true, type.size);
        case TypeKind::Float: {
            const long double max =
                type.size == 4 ? std::numeric_limits<float>::max() : std::numeric_limits<double>::max();
            return Range{-max, max};
        }
        case TypeKind::ShortString:
        case TypeKind::String: break;
    }
    return std::nullopt;
}

}  // namespace cip
