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
std::string_view NextField(std::string_view value, size_t& pos);

// The rest of the value from `pos`; `pos` becomes kEnd.
std::string_view Rest(std::string_view value, size_t& pos);

// Drops the first and the last byte; fewer than two bytes give an empty text.
std::string_view Unquote(std::string_view field);

// Decimal integer with optional sign, read up to the first non-digit; 0 when the field does
// not start with a number. Values out of range saturate.
int32_t ReadInt(std::string_view field);

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
