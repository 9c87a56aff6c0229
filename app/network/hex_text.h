// Byte blocks as text: two upper-case hexadecimal digits per byte, byte 0 first, no separators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace netmodel {

std::string EncodeHex(std::span<const uint8_t> bytes);

struct HexDecodeResult {
    std::size_t bytesStored = 0;  // bytes written from the start of the block
    bool clean = true;  // false: odd digit count, a non-hex pair, or more digits than fit
    bool badDigits = false;  // a pair that is not two hexadecimal digits stopped the decoding
};

// Decodes pairs of digits from the start of `text` into `block`. At most block.size() bytes are
// stored; the bytes after the last decoded pair keep their previous content. Decoding stops at
// the first pair that is not two hexadecimal digits (either case), so no guessed byte is stored.
HexDecodeResult DecodeHexInto(std::string_view text, std::span<uint8_t> block);

}  // namespace netmodel
