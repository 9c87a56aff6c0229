// Elementary data types: codes, names, sizes, kinds and ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "cip/data_type.h"

namespace cip {
namespace {

TEST(DataType, TableOfTypes) {
    struct Case {
        DataType type;
        uint8_t code;
        const char* name;
        std::size_t size;
        TypeKind kind;
    };
    const Case cases[] = {
        {DataType::Bool, 0xC1, "BOOL", 1, TypeKind::Bool},
        {DataType::Sint, 0xC2, "SINT", 1, TypeKind::Signed},
        {DataType::Int, 0xC3, "INT", 2, TypeKind::Signed},
        {DataType::Dint, 0xC4, "DINT", 4, TypeKind::Signed},
        {DataType::Lint, 0xC5, "LINT", 8, TypeKind::Signed},
        {DataType::Usint, 0xC6, "USINT", 1, TypeKind::Unsigned},
        {DataType::Uint, 0xC7, "UINT", 2, TypeKind::Unsigned},
        {DataType::Udint, 0xC8, "UDINT", 4, TypeKind::Unsigned},
        {DataType::Ulint, 0xC9, "ULINT", 8, TypeKind::Unsigned},
        {DataType::Real, 0xCA, "REAL", 4, TypeKind::Float},
        {DataType::Lreal, 0xCB, "LREAL", 8, TypeKind::Float},
        {DataType::String, 0xD0, "STRING", 0, TypeKind::String},
        {DataType::Byte, 0xD1, "BYTE", 1, TypeKind::Unsigned},
        {DataType::Word, 0xD2, "WORD", 2, TypeKind::Unsigned},
        {DataType::Dword, 0xD3, "DWORD", 4, TypeKind::Unsigned},
        {DataType::Lword, 0xD4, "LWORD", 8, TypeKind::Unsigned},
        {DataType::ShortString, 0xDA, "SHORT_STRING", 0, TypeKind::ShortString},
    };
    EXPECT_EQ(DataTypes().size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Code(c.type), c.code);
        EXPECT_EQ(TypeSize(c.type), c.size);
        const TypeInfo info = TypeOf(c.type);
        EXPECT_EQ(info.code, c.code);
        EXPECT_EQ(info.name, c.name);
        EXPECT_EQ(info.size, c.size);
        EXPECT_EQ(info.kind, c.kind);
        EXPECT_EQ(TypeByCode(c.code), info);
    }
}

TEST(DataType, CodesThatNameNoType) {
    for (int32_t code : {-1, 0, 1, 0xC0, 0xCC, 0xCF, 0xD5, 0xD9, 0xDB, 0xFF, 0x1C7}) {
        EXPECT_FALSE(TypeByCode(code).has_value()) << code;
    }
    EXPECT_EQ(TypeOf(static_cast<DataType>(0xCC)), TypeInfo{});
    EXPECT_EQ(TypeSize(static_cast<DataType>(0xCC)), 0u);
}

TEST(DataType, FindByNameOrCode) {
    struct Case {
        const char* text;
        std::optional<uint8_t> code;
    };
    const Case cases[] = {
        {"UINT", 0xC7},           {"uint", 0xC7},         {"Short_String", 0xDA}, {"0xC7", 0xC7},
        {"0XCA", 0xCA},           {"199", 0xC7},          {"208", 0xD0},          {"0x1C7", std::nullopt},
        {"UINT16", std::nullopt}, {"", std::nullopt},     {"-57", std::nullopt},  {"199x", std::nullopt},
        {"0x00", std::nullopt},   {"+199", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto found = FindType(c.text);
        if (c.code) {
            ASSERT_TRUE(found.has_value()) << c.text;
            EXPECT_EQ(found->code, *c.code) << c.text;
        } else {
            EXPECT_FALSE(found.has_value()) << c.text;
        }
    }
}

TEST(DataType, Ranges) {
    struct Case {
        DataType type;
        long double minimum, maximum;
    };
    const long double fmax = std::numeric_limits<float>::max();
    const long double dmax = std::numeric_limits<double>::max();
    const Case cases[] = {
        {DataType::Bool, 0, 1},
        {DataType::Sint, -128, 127},
        {DataType::Int, -32768, 32767},
        {DataType::Dint, -2147483648.0L, 2147483647.0L},
        {DataType::Lint, -9223372036854775808.0L, 9223372036854775807.0L},
        {DataType::Usint, 0, 255},
        {DataType::Uint, 0, 65535},
        {DataType::Udint, 0, 4294967295.0L},
        {DataType::Ulint, 0, 18446744073709551615.0L},
        {DataType::Byte, 0, 255},
        {DataType::Word, 0, 65535},
        {DataType::Dword, 0, 4294967295.0L},
        {DataType::Lword, 0, 18446744073709551615.0L},
        {DataType::Real, -fmax, fmax},
        {DataType::Lreal, -dmax, dmax},
    };
    for (const Case& c : cases) {
        const auto range = TypeRange(TypeOf(c.type));
        ASSERT_TRUE(range.has_value()) << TypeOf(c.type).name;
        EXPECT_EQ(range->minimum, c.minimum) << TypeOf(c.type).name;
        EXPECT_EQ(range->maximum, c.maximum) << TypeOf(c.type).name;
    }
    EXPECT_FALSE(TypeRange(TypeOf(DataType::String)).has_value());
    EXPECT_FALSE(TypeRange(TypeOf(DataType::ShortString)).has_value());
}

TEST(DataType, IntegerRangesByWidth) {
    EXPECT_EQ(IntegerRange(false, 3), (Range{0, 16777215}));
    EXPECT_EQ(IntegerRange(true, 3), (Range{-8388608, 8388607}));
    EXPECT_EQ(IntegerRange(true, 0), (Range{0, 0}));
    EXPECT_EQ(IntegerRange(false, 12), IntegerRange(false, 8)) << "wider than 8 bytes is 8 bytes";
}

}  // namespace
}  // namespace cip
