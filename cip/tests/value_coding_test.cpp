// Values of the elementary types as bytes, numbers and text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "cip/value_coding.h"

namespace cip {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ValueCoding, NumbersToBytesAndBack) {
    struct Case {
        DataType type;
        long double value;
        Bytes bytes;
    };
    const Case cases[] = {
        {DataType::Bool, 1, {0x01}},
        {DataType::Sint, -2, {0xFE}},
        {DataType::Int, -300, {0xD4, 0xFE}},
        {DataType::Dint, -1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {DataType::Lint, -2, {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {DataType::Usint, 200, {0xC8}},
        {DataType::Uint, 0x1234, {0x34, 0x12}},
        {DataType::Udint, 0x89ABCDEF, {0xEF, 0xCD, 0xAB, 0x89}},
        {DataType::Ulint, 18446744073709551615.0L, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {DataType::Word, 0xA55A, {0x5A, 0xA5}},
        {DataType::Real, 1.5, {0x00, 0x00, 0xC0, 0x3F}},
        {DataType::Lreal, -1.0, {0, 0, 0, 0, 0, 0, 0xF0, 0xBF}},
    };
    for (const Case& c : cases) {
        const TypeInfo type = TypeOf(c.type);
        EXPECT_EQ(EncodeNumber(type, c.value), c.bytes) << type.name;
        EXPECT_EQ(DecodeNumber(type, c.bytes), c.value) << type.name;
    }
}

TEST(ValueCoding, NumbersOutsideTheRangeAreHeldAtItsEnds) {
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Usint), 300), Bytes{0xFF});
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Uint), -5), (Bytes{0x00, 0x00}));
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Sint), -129), Bytes{0x80});
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Lint), 1e30L), (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Bool), 7), Bytes{0x01});
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Int), 2.9L), (Bytes{0x02, 0x00})) << "the integer part";
    EXPECT_EQ(EncodeNumber(TypeOf(DataType::Real), 1e39L), (Bytes{0xFF, 0xFF, 0x7F, 0x7F})) << "largest float";
    EXPECT_TRUE(EncodeNumber(TypeOf(DataType::ShortString), 5).empty());
}

TEST(ValueCoding, DecodingNeedsTheExactSize) {
    const Bytes three{1, 2, 3};
    EXPECT_FALSE(DecodeNumber(TypeOf(DataType::Uint), three).has_value());
    EXPECT_FALSE(DecodeNumber(TypeOf(DataType::Udint), three).has_value());
    EXPECT_FALSE(DecodeNumber(TypeOf(DataType::ShortString), three).has_value());
    EXPECT_FALSE(DecodeNumber(TypeOf(DataType::Usint), {}).has_value());
}

TEST(ValueCoding, Text) {
    struct Case {
        DataType type;
        const char* text;
        std::optional<Bytes> bytes;
    };
    const Case cases[] = {
        {DataType::Uint, "513", Bytes{0x01, 0x02}},
        {DataType::Uint, "0x1F", Bytes{0x1F, 0x00}},
        {DataType::Uint, "65536", std::nullopt},
        {DataType::Uint, "-1", std::nullopt},
        {DataType::Uint, "+1", std::nullopt},
        {DataType::Uint, "1.5", std::nullopt},
        {DataType::Uint, "12 ", std::nullopt},
        {DataType::Uint, "", std::nullopt},
        {DataType::Int, "-3", Bytes{0xFD, 0xFF}},
        {DataType::Sint, "-129", std::nullopt},
        {DataType::Bool, "1", Bytes{0x01}},
        {DataType::Bool, "2", std::nullopt},
        {DataType::Real, "2.5", Bytes{0x00, 0x00, 0x20, 0x40}},
        {DataType::Real, "1e39", std::nullopt},
        {DataType::Real, "inf", std::nullopt},
        {DataType::Lreal, "1e39", Bytes{0x1D, 0x4A, 0x9C, 0xF4, 0x87, 0x82, 0x07, 0x48}},
        {DataType::ShortString, "AB", Bytes{0x02, 'A', 'B'}},
        {DataType::String, "AB", Bytes{0x02, 0x00, 'A', 'B'}},
        {DataType::ShortString, "", Bytes{0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeText(TypeOf(c.type), c.text), c.bytes) << TypeOf(c.type).name << " \"" << c.text << "\"";
    }
    EXPECT_FALSE(EncodeText(TypeOf(DataType::ShortString), std::string(256, 'x')).has_value());
    EXPECT_EQ(EncodeText(TypeOf(DataType::String), std::string(300, 'x'))->size(), 302u);
}

}  // namespace
}  // namespace cip
