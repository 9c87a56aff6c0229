// Byte blocks typed as hexadecimal text, as the console's byte editors hold them: pairs of digits,
// blanks and line breaks between pairs allowed but not required ("01 A0ff" is 01 A0 FF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace monitor {

struct HexBytes {
    std::vector<uint8_t> bytes;
    std::string error;  // empty when the whole text was read
};

// Reads the text. A group of digits with an odd count, a character that is neither a hex digit
// nor white space, or more than `capacity` bytes give an error and no bytes.
HexBytes ParseHexBytes(std::string_view text, std::size_t capacity);

// "01 A0 FF", `perRow` bytes to a line (0: one line).
std::string FormatHexBytes(std::span<const uint8_t> bytes, std::size_t perRow = 0);

}  // namespace monitor
