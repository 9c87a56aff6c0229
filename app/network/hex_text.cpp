#include "network/hex_text.h"

#include "platform/hex_digits.h"

namespace netmodel {

using platform::HexDigitValue;

std::string EncodeHex(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        text.push_back(platform::HexDigitChar(b >> 4));
        text.push_back(platform::HexDigitChar(b));
    }
    return text;
}

HexDecodeResult DecodeHexInto(std::string_view text, std::span<uint8_t> block) {
    HexDecodeResult result;
    std::size_t pairs = text.size() / 2;
    if (text.size() % 2 != 0 || pairs > block.size()) result.clean = false;
    if (pairs > block.size()) pairs = block.size();
    for (std::size_t i = 0; i < pairs; ++i) {
        int hi = HexDigitValue(text[2 * i]);
        int lo = HexDigitValue(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            result.clean = false;
            result.badDigits = true;
            break;
        }
        block[i] = static_cast<uint8_t>(hi * 16 + lo);
        ++result.bytesStored;
    }
    return result;
}

}  // namespace netmodel
