#include "monitor/hex_bytes.h"

#include <gtest/gtest.h>

namespace {

TEST(HexBytesTest, ParsesWithAndWithoutBlanks) {
    struct Case {
        std::string text;
        std::vector<uint8_t> bytes;
        std::string error;
    } cases[] = {
        {"", {}, ""},
        {"01 A0 ff", {0x01, 0xA0, 0xFF}, ""},
        {"01A0ff", {0x01, 0xA0, 0xFF}, ""},
        {" 0102\n03\t", {0x01, 0x02, 0x03}, ""},
        {"1", {}, "十六进制数字个数不是偶数: 1"},
        {"01 2 03", {}, "十六进制数字个数不是偶数: 2"},
        {"0G", {}, "不是十六进制数字: \"G\""},
        {"01,02", {}, "不是十六进制数字: \",\""},
    };
    for (const auto& c : cases) {
        const auto parsed = monitor::ParseHexBytes(c.text, 300);
        EXPECT_EQ(parsed.bytes, c.bytes) << c.text;
        EXPECT_EQ(parsed.error, c.error) << c.text;
    }
}

TEST(HexBytesTest, CapacityHolds) {
    std::string text(600, 'A');
    EXPECT_EQ(monitor::ParseHexBytes(text, 300).bytes.size(), 300u);
    text += "00";
    const auto parsed = monitor::ParseHexBytes(text, 300);
    EXPECT_TRUE(parsed.bytes.empty());
    EXPECT_EQ(parsed.error, "最多 300 个字节");
}

TEST(HexBytesTest, FormatsRows) {
    const std::vector<uint8_t> bytes{0, 1, 0xAB, 0xFF, 5};
    EXPECT_EQ(monitor::FormatHexBytes(bytes), "00 01 AB FF 05");
    EXPECT_EQ(monitor::FormatHexBytes(bytes, 2), "00 01\nAB FF\n05");
    EXPECT_EQ(monitor::ParseHexBytes(monitor::FormatHexBytes(bytes, 2), 300).bytes, bytes);
}

}  // namespace
