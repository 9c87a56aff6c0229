// Byte boxes of the data panes: display, parsing, the typing filter and format conversion.
#include <gtest/gtest.h>

#include "monitor/byte_format.h"

namespace {

using namespace monitor;

TEST(ByteFormat, ShowsEveryFormat) {
    struct Case {
        uint8_t value;
        int format;
        const char* text;
    };
    const Case cases[] = {
        {10, kHexadecimal, "0A"}, {10, kBinary, "00001010"},  {10, kDecimal, "10"},      {0, kHexadecimal, "00"},
        {0, kBinary, "00000000"}, {0, kDecimal, "0"},         {255, kHexadecimal, "FF"}, {255, kBinary, "11111111"},
        {255, kDecimal, "255"},   {128, kBinary, "10000000"}, {171, kHexadecimal, "AB"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatByte(c.value, c.format), c.text) << int(c.value) << "/" << c.format;
}

TEST(ByteFormat, ParsesTextOfTheFormatAndRefusesOtherText) {
    struct Case {
        const char* text;
        int format;
        std::optional<uint32_t> value;
    };
    const Case cases[] = {
        {"0A", kHexadecimal, 10u},
        {"ff", kHexadecimal, 255u},
        {"FFF", kHexadecimal, 4095u},
        {"00001010", kBinary, 10u},
        {"10", kDecimal, 10u},
        {"", kDecimal, 0u},
        {"", kBinary, 0u},
        // binary reads at most 16 characters
        {"11111111111111110", kBinary, 65535u},
        {"1G", kHexadecimal, std::nullopt},
        {"12", kBinary, std::nullopt},
        {"1A", kDecimal, std::nullopt},
        {" 1", kDecimal, std::nullopt},
        {"-1", kDecimal, std::nullopt},
        {"123456789", kDecimal, std::nullopt},
        {"0x1", kHexadecimal, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseByteText(c.text, c.format), c.value) << c.text << "/" << c.format;
    EXPECT_TRUE(IsAcceptableText("255", kDecimal));
    EXPECT_FALSE(IsAcceptableText("256", kDecimal));
    EXPECT_FALSE(IsAcceptableText("hello", kHexadecimal));
    EXPECT_TRUE(IsAcceptableText("", kHexadecimal));
}

TEST(ByteFormat, TypingFilter) {
    struct Case {
        const char* text;
        std::size_t selStart, selLength;
        char typed;
        int format;
        std::optional<char> result;
    };
    const Case cases[] = {
        {"F", 1, 0, 'F', kHexadecimal, 'F'},  // FF = 255
        {"FF", 2, 0, 'F', kHexadecimal, std::nullopt},  // FFF = 4095
        {"F", 1, 0, 'g', kHexadecimal, std::nullopt},
        {"", 0, 0, 'a', kHexadecimal, 'A'},
        {"FF", 0, 2, '1', kHexadecimal, '1'},  // replaces the selection
        {"FF", 0, 1, 'A', kHexadecimal, 'A'},  // AF
        {"FF", 2, 0, '\b', kHexadecimal, '\b'},  // control characters pass
        {"1", 1, 0, '-', kDecimal, std::nullopt},
        {"1", 1, 0, ' ', kDecimal, std::nullopt},
        {"25", 2, 0, '5', kDecimal, '5'},
        {"25", 2, 0, '6', kDecimal, std::nullopt},  // 256
        {"1", 1, 0, 'a', kDecimal, std::nullopt},
        {"0000000", 7, 0, '1', kBinary, '1'},
        {"00000000", 8, 0, '1', kBinary, '1'},  // 000000001 is still 1
        {"1111111", 7, 0, '2', kBinary, std::nullopt},
        {"11111111", 8, 0, '0', kBinary, std::nullopt},  // 510
    };
    for (const Case& c : cases) {
        const std::optional<char> got = FilterTypedChar(c.text, c.selStart, c.selLength, c.typed, c.format);
        EXPECT_EQ(got, c.result) << c.text << " + " << c.typed << " /" << c.format;
    }
    // A selection past the end is clamped, never read out of range.
    EXPECT_EQ(FilterTypedChar("A", 9, 9, 'B', kHexadecimal), std::optional<char>('B'));
}

TEST(ByteFormat, ConvertsBetweenFormats) {
    EXPECT_EQ(ConvertText("0A", kHexadecimal, kBinary), "00001010");
    EXPECT_EQ(ConvertText("00001010", kBinary, kDecimal), "10");
    EXPECT_EQ(ConvertText("10", kDecimal, kHexadecimal), "0A");
    EXPECT_EQ(ConvertText("a", kHexadecimal, kHexadecimal), "a");  // same format keeps the text
    EXPECT_EQ(ConvertText("", kDecimal, kHexadecimal), "00");
    EXPECT_EQ(ConvertText("zz", kDecimal, kHexadecimal), "00");
}

}  // namespace
