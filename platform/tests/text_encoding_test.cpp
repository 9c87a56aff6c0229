#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include "platform/gb18030_decoder.h"

TEST(TextEncoding, Utf8Validity) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"plain", true},
        {"\xE4\xB8\xAD\xE6\x96\x87", true},  // 中文
        {"\xF0\x9F\x98\x80", true},  // U+1F600
        {"\xD6\xD0\xCE\xC4", false},  // 中文 in GB18030
        {"\xE4\xB8", false},  // cut off
        {"\xC0\xAF", false},  // overlong
        {"\xED\xA0\x80", false},  // surrogate
        {"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
        {std::string("a\0b", 3), true},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(TextEncoding, Gb18030RoundTrip) {
    EXPECT_EQ(platform::ToUtf8("\xD6\xD0\xCE\xC4"), "中文");
    EXPECT_EQ(platform::ToUtf8("中文"), "中文");  // valid UTF-8 stays
    EXPECT_EQ(platform::Utf8ToGb18030("中文 ok"), "\xD6\xD0\xCE\xC4 ok");
    EXPECT_EQ(platform::ToUtf8(platform::Utf8ToGb18030("从站在线（预留）")), "从站在线（预留）");
    // Bytes that are not GB18030 either become U+FFFD; the result is valid UTF-8.
    std::string odd = platform::ToUtf8(
        "a\xFF"
        "b\x81");
    EXPECT_TRUE(platform::IsValidUtf8(odd));
    EXPECT_EQ(odd.substr(0, 1), "a");
    EXPECT_NE(odd.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(platform::Utf8ToGb18030("x\xFFy"), "x?y");
}

TEST(TextEncoding, DecoderKeptOpenGivesWhatToUtf8Gives) {
    // One decoder for texts in a row: a sequence cut off at the end of one text must not
    // reach into the next.
    const std::string texts[] = {"\xD6\xD0",
                                 "\xCE",
                                 "\xC4ok",
                                 "plain",
                                 "a\xFF"
                                 "b\x81",
                                 "\xD6\xD0\xCE\xC4",
                                 "",
                                 "中文"};
    platform::Gb18030Decoder decoder;
    for (const std::string& t : texts) EXPECT_EQ(decoder.ToUtf8(t), platform::ToUtf8(t)) << t;
    EXPECT_EQ(decoder.ToUtf8("\xCE\xC4"), "文");
}

TEST(TextEncoding, Cutting) {
    EXPECT_EQ(platform::CutUtf8("abcdef", 3), "abc");
    EXPECT_EQ(platform::CutUtf8("中文", 4), "中");
    EXPECT_EQ(platform::CutUtf8("中文", 6), "中文");
    EXPECT_EQ(platform::CutUtf8("中文", 2), "");
    EXPECT_EQ(platform::DropIncompleteTail("ab\xE4\xB8"), "ab");
    EXPECT_EQ(platform::DropIncompleteTail("ab\xE4"), "ab");
    EXPECT_EQ(platform::DropIncompleteTail("ab中"), "ab中");
    EXPECT_EQ(platform::DropIncompleteTail("ab"), "ab");
    EXPECT_EQ(platform::DropIncompleteTail(""), "");
}
