#include "monitor/byte_format.h"

#include <cstdio>

namespace monitor {

namespace {

bool IsDigitOf(char c, int format) {
    switch (format) {
        case kBinary: return c == '0' || c == '1';
        case kDecimal: return c >= '0' && c <= '9';
        default: return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    }
}

uint32_t DigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
    return static_cast<uint32_t>(c - 'a' + 10);
}

}  // namespace

std::string FormatByte(uint8_t value, int format) {
    char text[16] = {};
    if (format == kBinary) {
        for (int bit = 0; bit < 8; ++bit) text[bit] = (value & (0x80u >> bit)) != 0 ? '1' : '0';
        return std::string(text, 8);
    }
    if (format == kDecimal) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    } else {
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
    }
    return text;
}

std::optional<uint32_t> ParseByteText(std::string_view text, int format) {
    if (format != kBinary && format != kDecimal) format = kHexadecimal;
    for (char c : text) {
        if (!IsDigitOf(c, format)) return std::nullopt;
    }
    // Enough digits for any value a box can show; more than that is refused rather than wrapped.
    const std::size_t limit = format == kBinary ? 16 : 8;
    if (format == kBinary) {
        text = text.substr(0, std::min(text.size(), limit));
    } else if (text.size() > limit) {
        return std::nullopt;
    }
    const uint32_t base = format == kBinary ? 2 : (format == kDecimal ? 10 : 16);
    uint32_t value = 0;
    for (char c : text) value = value * base + DigitValue(c);
    return value;
}

bool IsAcceptableText(std::string_view text, int format) {
    const std::optional<uint32_t> value = ParseByteText(text, format);
    return value.has_value() && *value < 256;
}

std::optional<char> FilterTypedChar(std::string_view text, std::size_t selStart, std::size_t selLength, char typed,
                                    int format) {
    if (typed >= 'a' && typed <= 'z') typed = static_cast<char>(typed - 'a' + 'A');
    const auto byte = static_cast<unsigned char>(typed);
    if (byte < 0x20 || byte == 0x7F) return typed;  // backspace and the like
    const bool alnum = (typed >= '0' && typed <= '9') || (typed >= 'A' && typed <= 'Z');
    if (!alnum || !IsDigitOf(typed, format)) return std::nullopt;
    if (selStart > text.size()) selStart = text.size();
    selLength = std::min(selLength, text.size() - selStart);
    std::string result(text.substr(0, selStart));
    result += typed;
    result += text.substr(selStart + selLength);
    if (!IsAcceptableText(result, format)) return std::nullopt;
    return typed;
}

std::string ConvertText(std::string_view text, int from, int to) {
    if (from == to) return std::string(text);
    const uint32_t value = ParseByteText(text, from).value_or(0);
    return FormatByte(static_cast<uint8_t>(value & 0xFFu), to);
}

}  // namespace monitor
