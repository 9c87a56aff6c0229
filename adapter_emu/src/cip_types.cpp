#include "adapter_emu/cip_types.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace adapter_emu {

namespace {

constexpr std::array<CipType, 17> kTypes = {{
    {0xC1, "BOOL", 1, CipKind::Bool},
    {0xC2, "SINT", 1, CipKind::Signed},
    {0xC3, "INT", 2, CipKind::Signed},
    {0xC4, "DINT", 4, CipKind::Signed},
    {0xC5, "LINT", 8, CipKind::Signed},
    {0xC6, "USINT", 1, CipKind::Unsigned},
    {0xC7, "UINT", 2, CipKind::Unsigned},
    {0xC8, "UDINT", 4, CipKind::Unsigned},
    {0xC9, "ULINT", 8, CipKind::Unsigned},
    {0xCA, "REAL", 4, CipKind::Float},
    {0xCB, "LREAL", 8, CipKind::Float},
    {0xD1, "BYTE", 1, CipKind::Unsigned},
    {0xD2, "WORD", 2, CipKind::Unsigned},
    {0xD3, "DWORD", 4, CipKind::Unsigned},
    {0xD4, "LWORD", 8, CipKind::Unsigned},
    {0xDA, "SHORT_STRING", 0, CipKind::ShortString},
    {0xD0, "STRING", 0, CipKind::String},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

std::optional<long double> ParseNumber(std::string_view text, bool allowFloat) {
    std::string s(text);
    if (s.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    if (hex || !allowFloat) {
        if (s[0] == '-') {
            long long v = std::strtoll(s.c_str(), &end, 0);
            if (errno != 0 || end == s.c_str() || *end != '\0') return std::nullopt;
            return static_cast<long double>(v);
        }
        unsigned long long v = std::strtoull(s.c_str(), &end, 0);
        if (errno != 0 || end == s.c_str() || *end != '\0' || s[0] == '+' ) return std::nullopt;
        return static_cast<long double>(v);
    }
    long double v = std::strtold(s.c_str(), &end);
    if (errno != 0 || end == s.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool FitsType(const CipType& type, long double v) {
    switch (type.kind) {
        case CipKind::Bool: return v == 0 || v == 1;
        case CipKind::Unsigned: {
            if (v < 0 || v != std::floor(v)) return false;
            const long double max = std::ldexp(1.0L, 8 * type.size) - 1;
            return v <= max;
        }
        case CipKind::Signed: {
            if (v != std::floor(v)) return false;
            const long double lim = std::ldexp(1.0L, 8 * type.size - 1);
            return v >= -lim && v <= lim - 1;
        }
        case CipKind::Float:
            return type.size == 8 || std::fabs(v) <= std::numeric_limits<float>::max();
        default: return false;
    }
}

}  // namespace

std::optional<CipType> FindCipType(std::string_view text) {
    for (const auto& t : kTypes) {
        if (EqualNoCase(t.name, text)) return t;
    }
    auto n = ParseNumber(text, false);
    if (n && *n >= 0 && *n <= 255) return CipTypeByCode(static_cast<uint8_t>(*n));
    return std::nullopt;
}

std::optional<CipType> CipTypeByCode(uint8_t code) {
    for (const auto& t : kTypes) {
        if (t.code == code) return t;
    }
    return std::nullopt;
}

std::vector<uint8_t> EncodeCipNumber(const CipType& type, long double value) {
    std::vector<uint8_t> out(type.size, 0);
    if (type.kind == CipKind::Float) {
        if (type.size == 4) {
            float f = static_cast<float>(value);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
        } else {
            double d = static_cast<double>(value);
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
        }
        return out;
    }
    uint64_t bits = value < 0 ? static_cast<uint64_t>(static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
    for (std::size_t i = 0; i < type.size; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
    return out;
}

std::optional<std::vector<uint8_t>> EncodeCipValue(const CipType& type, std::string_view text) {
    if (type.kind == CipKind::ShortString) {
        if (text.size() > 255) return std::nullopt;
        std::vector<uint8_t> out{static_cast<uint8_t>(text.size())};
        out.insert(out.end(), text.begin(), text.end());
        return out;
    }
    if (type.kind == CipKind::String) {
        if (text.size() > 65535) return std::nullopt;
        std::vector<uint8_t> out{static_cast<uint8_t>(text.size()), static_cast<uint8_t>(text.size() >> 8)};
        out.insert(out.end(), text.begin(), text.end());
        return out;
    }
    auto v = ParseNumber(text, type.kind == CipKind::Float);
    if (!v || !FitsType(type, *v)) return std::nullopt;
    return EncodeCipNumber(type, *v);
}

std::optional<long double> DecodeCipNumber(const CipType& type, std::span<const uint8_t> bytes) {
    if (type.size == 0 || bytes.size() != type.size) return std::nullopt;
    uint64_t bits = 0;
    for (std::size_t i = 0; i < type.size; ++i) bits |= static_cast<uint64_t>(bytes[i]) << (8 * i);
    switch (type.kind) {
        case CipKind::Float:
            if (type.size == 4) {
                uint32_t b = static_cast<uint32_t>(bits);
                float f;
                std::memcpy(&f, &b, 4);
                return f;
            } else {
                double d;
                std::memcpy(&d, &bits, 8);
                return d;
            }
        case CipKind::Signed: {
            const unsigned shift = 64 - 8 * type.size;
            const int64_t s = static_cast<int64_t>(bits << shift) >> shift;
            return static_cast<long double>(s);
        }
        default: return static_cast<long double>(bits);
    }
}

void CipTypeRange(const CipType& type, long double& lo, long double& hi) {
    if (type.kind == CipKind::Signed) {
        lo = -std::ldexp(1.0L, 8 * type.size - 1);
        hi = std::ldexp(1.0L, 8 * type.size - 1) - 1;
    } else if (type.kind == CipKind::Float) {
        lo = -3.4e38L;
        hi = 3.4e38L;
    } else {
        lo = 0;
        hi = std::ldexp(1.0L, 8 * type.size) - 1;
    }
}

}  // namespace adapter_emu
