// CIP elementary data types of attributes and parameters: code, name, size, and conversion of
// values between text, bytes and numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace adapter_emu {

enum class CipKind { Bool, Unsigned, Signed, Float, ShortString, String };

struct CipType {
    uint8_t code = 0;        // e.g. 0xC7 for UINT
    std::string_view name;   // e.g. "UINT"
    uint8_t size = 0;        // bytes; 0 for the string types
    CipKind kind = CipKind::Unsigned;
};

// By name ("UINT", case-insensitive) or by code written as a number ("0xC7", "199").
std::optional<CipType> FindCipType(std::string_view text);
std::optional<CipType> CipTypeByCode(uint8_t code);

// Encodes a value written as text ("12", "-3", "0x1F", "2.5", or the text of a string type).
// Nothing when it does not fit the type.
std::optional<std::vector<uint8_t>> EncodeCipValue(const CipType& type, std::string_view text);
// Encodes a number (min/max checks are the caller's).
std::vector<uint8_t> EncodeCipNumber(const CipType& type, long double value);
// The whole range of a numeric type (REAL's for both float types).
void CipTypeRange(const CipType& type, long double& lo, long double& hi);
// The numeric value of encoded bytes; nothing for strings or a wrong length.
std::optional<long double> DecodeCipNumber(const CipType& type, std::span<const uint8_t> bytes);

}  // namespace adapter_emu
