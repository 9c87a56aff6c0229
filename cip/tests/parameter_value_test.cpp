// Parameter values on the wire, by the data type code and data size of an EDS parameter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "cip/parameter_value.h"

namespace cip {
namespace {

TEST(ParameterValue, KindOfEveryCode) {
    for (int32_t code = -1; code <= 256; ++code) {
        ValueKind expected = ValueKind::Unknown;
        if (code == 1 || code == 2 || code == 8 || (code >= 24 && code <= 26) || (code >= 198 && code <= 201) ||
            (code >= 209 && code <= 212)) {
            expected = ValueKind::Unsigned;
        } else if ((code >= 3 && code <= 5) || (code >= 193 && code <= 197)) {
            expected = ValueKind::Signed;
        } else if (code == 202) {
            expected = ValueKind::Float32;
        } else if (code == 203) {
            expected = ValueKind::Float64;
        }
        EXPECT_EQ(ParameterKind(code), expected) << code;
    }
}

TEST(ParameterValue, Widths) {
    const std::pair<int32_t, std::size_t> cases[] = {{-3, 0}, {0, 0}, {1, 1}, {3, 3}, {8, 8}, {9, 8}, {400, 8}};
    for (auto [size, width] : cases) EXPECT_EQ(IntegerWidth(size), width) << size;
}

TEST(ParameterValue, Encoding) {
    struct Case {
        int32_t type, size;
        double value;
        std::vector<uint8_t> bytes;
        bool known;
    };
    const Case cases[] = {
        {199, 2, 513, {0x01, 0x02, 0, 0}, true},  // UINT
        {199, 2, 2.5, {0x03, 0x00, 0, 0}, true},  // rounded to the nearest
        {198, 1, 300, {0xFF, 0, 0, 0}, true},  // USINT held within its range
        {200, 4, -5, {0, 0, 0, 0}, true},  // unsigned never negative
        {195, 2, -2, {0xFE, 0xFF, 0, 0}, true},  // INT two's complement
        {194, 1, -129, {0x80, 0, 0, 0}, true},  // SINT held within its range
        {196, 4, 100000, {0xA0, 0x86, 0x01, 0x00}, true},  // DINT
        {199, 3, 70000, {0x70, 0x11, 0x01, 0}, true},  // the data size decides the width
        {202, 4, 1.5, {0x00, 0x00, 0xC0, 0x3F}, true},  // REAL
        {1, 1, 1, {0x01, 0, 0, 0}, true},  // older code in the unsigned group
        {4, 2, -1, {0xFF, 0xFF, 0, 0}, true},  // older code in the signed group
        {199, 2, NAN, {0, 0, 0, 0}, true},  // NaN gives 0
        {218, 2, 7, {0, 0, 0, 0}, false},  // unknown: nothing encoded
        {199, 0, 7, {0, 0, 0, 0}, true},  // no size, no bytes
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(4, 0xCC);
        EXPECT_EQ(EncodeParameterValue(c.type, c.size, c.value, out), c.known) << c.type;
        EXPECT_EQ(out, c.bytes) << "type " << c.type << " value " << c.value;
    }
    struct Wide {
        int32_t type;
        double value;
        std::vector<uint8_t> bytes;
    };
    const Wide wide[] = {
        {203, 2.0, {0, 0, 0, 0, 0, 0, 0, 0x40}},
        {201, 1e30, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},  // ULINT at its top
        {197, 1e30, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},  // LINT at its top
        {197, -1e30, {0, 0, 0, 0, 0, 0, 0, 0x80}},  // LINT at its bottom
    };
    for (const Wide& w : wide) {
        std::vector<uint8_t> out(8);
        EXPECT_TRUE(EncodeParameterValue(w.type, 8, w.value, out));
        EXPECT_EQ(out, w.bytes) << "type " << w.type << " value " << w.value;
    }
}

TEST(ParameterValue, Decoding) {
    struct Case {
        int32_t type, size;
        std::vector<uint8_t> bytes;
        double expected;
    };
    const Case cases[] = {
        {199, 2, {0xFF, 0xFF, 0x12}, 65535},
        {195, 2, {0xFE, 0xFF, 0x12}, -2},
        {194, 1, {0x80}, -128},
        {197, 8, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, -1},
        {200, 4, {0x78, 0x56, 0x34, 0x12}, 0x12345678},
        {200, 4, {0x78, 0x56}, 0x5678},  // a short reply reads as far as it goes
        {202, 4, {0x00, 0x00, 0xC0, 0x3F}, 1.5},
        {203, 8, {0, 0, 0, 0, 0, 0, 0xF0, 0xBF}, -1.0},
        {199, 2, {0, 0}, 0},
    };
    for (const Case& c : cases) {
        double value = 42;
        EXPECT_TRUE(DecodeParameterValue(c.type, c.size, c.bytes, value)) << c.type;
        EXPECT_EQ(value, c.expected) << "type " << c.type;
    }
    double value = 42;
    const uint8_t some[] = {1, 2};
    EXPECT_FALSE(DecodeParameterValue(218, 2, some, value));
    EXPECT_EQ(value, 42) << "an unknown type leaves the value";
}

}  // namespace
}  // namespace cip
