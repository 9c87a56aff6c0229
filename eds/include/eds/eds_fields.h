// How the values of an EDS entry are split into fields and how fields are read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace DeviceNetEDS::fields {

inline constexpr size_t kEnd = std::string_view::npos;

// The text from `pos` up to the next ',' (or to the end); `pos` moves past that comma, or to
// kEnd when there was none. Reading at kEnd gives an empty field.
inline std::string_view NextField(std::string_view value, size_t& pos) {
    if (pos == kEnd || pos > value.size()) {
        pos = kEnd;
        return {};
    }
    // Fields are short: a plain loop beats a library search call here.
    size_t comma = pos;
    while (comma < value.size() && value[comma] != ',') ++comma;
    std::string_view field(value.data() + pos, comma - pos);
    pos = comma < value.size() ? comma + 1 : kEnd;
    return field;
}

// The rest of the value from `pos`; `pos` becomes kEnd.
inline std::string_view Rest(std::string_view value, size_t& pos) {
    if (pos == kEnd || pos > value.size()) {
        pos = kEnd;
        return {};
    }
    std::string_view rest(value.data() + pos, value.size() - pos);
    pos = kEnd;
    return rest;
}

// Drops the first and the last byte; fewer than two bytes give an empty text.
std::string_view Unquote(std::string_view field);

namespace detail {
int32_t ReadIntAnyForm(std::string_view field);
}  // namespace detail

// Decimal integer with optional sign, read up to the first non-digit; 0 when the field does
// not start with a number. Values out of range saturate.
inline int32_t ReadInt(std::string_view field) {
    // Most fields are a few plain digits: nine of them always fit.
    if (!field.empty() && field.size() <= 9 && field[0] >= '0' && field[0] <= '9') {
        int32_t value = 0;
        for (char c : field) {
            if (c < '0' || c > '9') break;
            value = value * 10 + (c - '0');
        }
        return value;
    }
    return detail::ReadIntAnyForm(field);
}

// Like ReadInt, but nullopt when the digits do not fit into 32 bits.
std::optional<int32_t> ReadIntChecked(std::string_view field);

// Optional 0x/0X prefix and hexadecimal digits; saturates at 0xFFFFFFFF.
uint32_t ReadHex(std::string_view field);

// Decimal floating-point number; hexadecimal text and anything else that is not a number
// read as 0.0.
double ReadReal(std::string_view field);

// Byte values written as two hexadecimal digits each, separated by single blanks; a value is
// read at the start of the text and after every blank, at most `limit` of them.
std::vector<uint8_t> ReadPathBytes(std::string_view text, size_t limit = SIZE_MAX);

// Cuts a text to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string Cut(std::string_view text, size_t maxBytes);

}  // namespace DeviceNetEDS::fields
