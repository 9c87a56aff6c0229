#include "eds/eds_fields.h"

#include <algorithm>
#include <charconv>
#include <climits>

#include "platform/text_encoding.h"

namespace DeviceNetEDS::fields {

std::string_view Unquote(std::string_view field) {
    if (field.size() < 2) return {};
    return field.substr(1, field.size() - 2);
}

namespace {

// Sign and digits at the start of `field`; `overflow` is set when they do not fit.
int64_t ReadDecimal(std::string_view field, bool& overflow) {
    overflow = false;
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    int64_t value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10 + (field[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) {
            overflow = true;
            value = int64_t{INT32_MAX} + 1;
        }
    }
    if (negative) value = -value;
    if (value > INT32_MAX) {
        overflow = true;
        value = INT32_MAX;
    }
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int32_t detail::ReadIntAnyForm(std::string_view field) {
    bool overflow;
    return static_cast<int32_t>(ReadDecimal(field, overflow));
}

std::optional<int32_t> ReadIntChecked(std::string_view field) {
    bool overflow;
    int64_t v = ReadDecimal(field, overflow);
    if (overflow) return std::nullopt;
    return static_cast<int32_t>(v);
}

uint32_t ReadHex(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    if (i + 1 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        i + 2 < field.size() && HexDigit(field[i + 2]) >= 0)
        i += 2;
    uint64_t value = 0;
    for (; i < field.size(); ++i) {
        int d = HexDigit(field[i]);
        if (d < 0) break;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > UINT32_MAX) value = UINT32_MAX + 1ull;
    }
    return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
}

double ReadReal(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    // Only plain decimal notation: digits, point, exponent. "inf", "nan" and hexadecimal
    // forms are not numbers here.
    if (i >= field.size() || !((field[i] >= '0' && field[i] <= '9') || field[i] == '.')) return 0.0;
    // Most fields are plain integers: up to 15 digits are exact in a double, so they are summed
    // up directly when no point or exponent follows.
    size_t digitsEnd = i;
    uint64_t whole = 0;
    while (digitsEnd < field.size() && digitsEnd - i < 16 && field[digitsEnd] >= '0' && field[digitsEnd] <= '9')
        whole = whole * 10 + static_cast<uint64_t>(field[digitsEnd++] - '0');
    const bool moreNumber =
        digitsEnd < field.size() && ((field[digitsEnd] >= '0' && field[digitsEnd] <= '9') || field[digitsEnd] == '.' ||
                                     field[digitsEnd] == 'e' || field[digitsEnd] == 'E');
    if (digitsEnd > i && digitsEnd - i <= 15 && !moreNumber) {
        const double value = static_cast<double>(whole);
        return negative ? -value : value;
    }
    double value = 0.0;
    auto result = std::from_chars(field.data() + i, field.data() + field.size(), value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone: fall back to a bounded answer.
        return 0.0;
    }
    if (result.ec != std::errc()) return 0.0;
    return negative ? -value : value;
}

std::vector<uint8_t> ReadPathBytes(std::string_view text, size_t limit) {
    std::vector<uint8_t> bytes;
    if (text.empty() || limit == 0) return bytes;
    // Mostly two digits and a blank per value; the list grows past this when they are shorter.
    bytes.reserve(std::min(limit, text.size() / 3 + 1));
    size_t pos = 0;
    for (;;) {
        uint32_t v = 0;
        for (size_t k = pos; k < pos + 2 && k < text.size(); ++k) {
            int d = HexDigit(text[k]);
            if (d < 0) break;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        bytes.push_back(static_cast<uint8_t>(v));
        if (bytes.size() >= limit) break;
        size_t blank = pos;
        while (blank < text.size() && text[blank] != ' ') ++blank;
        if (blank >= text.size()) break;
        pos = blank + 1;
    }
    return bytes;
}

std::string Cut(std::string_view text, size_t maxBytes) { return platform::CutUtf8(text, maxBytes); }

}  // namespace DeviceNetEDS::fields
