// The text of one I/O byte in a data pane's byte box: display in binary, decimal or hexadecimal,
// parsing a box's text back, and the filter applied to typed characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace monitor {

// Display formats of a data pane (the values of its format radio group).
enum ByteFormat : int { kBinary = 0, kDecimal = 1, kHexadecimal = 2 };

// 0..255 as shown in a box: binary as exactly 8 digits '0'/'1' (most significant first), decimal
// as "%d", hexadecimal as "%02X". A format outside 0..2 is shown as hexadecimal.
std::string FormatByte(uint8_t value, int format);

// The value of a box's text in `format`: binary uses at most the first 16 characters, decimal
// and hexadecimal at most 8 digits. Empty text is 0. Text holding anything but digits of the
// format has no value (std::nullopt). The value is not cut to 8 bits.
std::optional<uint32_t> ParseByteText(std::string_view text, int format);

// True when `text` may stand in a box of `format`: empty, or parsing to a value below 256.
bool IsAcceptableText(std::string_view text, int format);

// A character typed into a box holding `text` with the selection [selStart, selStart+selLength):
// lower-case letters become upper case; control characters pass unchanged; other characters
// that are not letters or digits, or not digits of the format, are refused; finally the text
// that would result must parse below 256. Returns the character to insert, or std::nullopt.
std::optional<char> FilterTypedChar(std::string_view text, std::size_t selStart, std::size_t selLength, char typed,
                                    int format);

// The text of a box converted from one format to another: the old text parsed in `from` (8
// bits kept; text without a value counts as 0) and shown in `to`. Same formats keep the text.
std::string ConvertText(std::string_view text, int from, int to);

}  // namespace monitor
