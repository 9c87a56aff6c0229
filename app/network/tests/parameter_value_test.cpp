// Link paths and parameter values on the wire.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "eds/link_path.h"
#include "network/parameter_value.h"

namespace {

TEST(LinkPath, Decoding) {
    struct Case {
        std::vector<uint8_t> path;
        ObjectAddress expected;
    };
    const Case cases[] = {
        {{0x20, 0x0F, 0x24, 0x01, 0x30, 0x05}, {0x0F, 1, 5}},
        {{0x21, 0x34, 0x12, 0x25, 0x00, 0x01, 0x30, 0x03}, {0x1234, 0x100, 3}},  // 16-bit values
        {{0x22, 0x01, 0x02, 0x03, 0x04, 0x24, 0x02}, {0x04030201, 2, 0}},         // 32-bit class
        {{0x2C, 0x09, 0x20, 0x04}, {4, 0, 0}},                                     // kind 3 skipped
        {{}, {0, 0, 0}},
        {{0x20, 0x0F, 0x21, 0x05}, {0x0F, 0, 0}},  // value runs past the end: ignored
        {{0x20}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeLinkPath(c.path), c.expected) << "path of " << c.path.size() << " bytes";
    }
}

TEST(ParameterValue, Encoding) {
    struct Case {
        int32_t type, size;
        double value;
        std::vector<uint8_t> bytes;
        bool known;
    };
    const Case cases[] = {
        {199, 2, 513, {0x01, 0x02, 0, 0}, true},           // UINT
        {198, 1, 300, {0xFF, 0, 0, 0}, true},              // USINT held within its range
        {200, 4, -5, {0, 0, 0, 0}, true},                  // unsigned never negative
        {195, 2, -2, {0xFE, 0xFF, 0, 0}, true},            // INT two's complement
        {194, 1, -129, {0x80, 0, 0, 0}, true},             // SINT held within its range
        {196, 4, 100000, {0xA0, 0x86, 0x01, 0x00}, true},  // DINT
        {202, 4, 1.5, {0x00, 0x00, 0xC0, 0x3F}, true},     // REAL
        {1, 1, 1, {0x01, 0, 0, 0}, true},                  // BOOL in the unsigned group
        {218, 2, 7, {0, 0, 0, 0}, false},                  // unknown: nothing encoded
        {199, 0, 7, {0, 0, 0, 0}, true},                   // no size, no bytes
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(4, 0xCC);
        EXPECT_EQ(EncodeParameterValue(c.type, c.size, c.value, out), c.known) << c.type;
        EXPECT_EQ(out, c.bytes) << "type " << c.type << " value " << c.value;
    }
    std::vector<uint8_t> lreal(8);
    EXPECT_TRUE(EncodeParameterValue(203, 8, 2.0, lreal));
    EXPECT_EQ(lreal, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x40}));
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
