#include "monitor/hex_bytes.h"

#include "resources/ui_texts.h"

namespace monitor {
namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

HexBytes ParseHexBytes(std::string_view text, std::size_t capacity) {
    HexBytes result;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && !IsBlank(text[i])) {
            if (DigitValue(text[i]) < 0) {
                result.bytes.clear();
                result.error =
                    resources::FormatText(resource_ids::kTextNotHexDigit, std::string(text.substr(i, 1)).c_str());
                return result;
            }
            ++i;
        }
        if ((i - start) % 2 != 0) {
            result.bytes.clear();
            result.error = resources::FormatText(resource_ids::kTextOddHexDigits,
                                                 std::string(text.substr(start, i - start)).c_str());
            return result;
        }
        for (std::size_t k = start; k < i; k += 2) {
            if (result.bytes.size() == capacity) {
                result.bytes.clear();
                result.error = resources::FormatText(resource_ids::kTextTooManyBytes, static_cast<int>(capacity));
                return result;
            }
            result.bytes.push_back(static_cast<uint8_t>(DigitValue(text[k]) * 16 + DigitValue(text[k + 1])));
        }
    }
    return result;
}

std::string FormatHexBytes(std::span<const uint8_t> bytes, std::size_t perRow) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += (perRow != 0 && i % perRow == 0) ? '\n' : ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace monitor
