// The readable and candump forms of received frames and the ID#DATA notation.
#include <gtest/gtest.h>

#include "frame_text.h"

namespace dnetmon {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrameText, MeaningOfTheDeviceNetIdentifiers) {
    struct Case {
        uint16_t id;
        Bytes data;
        const char* meaning;
    };
    const Case cases[] = {
        {0x3C1, {1, 0, 0, 0}, "poll response from slave 1"},
        {0x3C3, {}, "poll response or COS/cyclic acknowledge from slave 3"},
        {0x382, {1}, "bit-strobe response from slave 2"},
        {0x343, {0, 0}, "COS/cyclic data from slave 3"},
        {0x303, {}, "multicast poll response from slave 3"},
        {0x0C5, {}, "group 1 message 3 of 5"},
        {0x400, Bytes(8, 0), "bit-strobe command of master 0"},
        {0x401, {}, "multicast poll command of master 0"},
        {0x41A, {}, "COS/cyclic acknowledge to slave 3"},
        {0x40D, {0, 0}, "poll command or COS/cyclic data to slave 1"},
        {0x424, {0, 0x0E, 1, 1, 1}, "explicit request to 4: Get_Attribute_Single class 0x01 instance 1"},
        {0x423, {0, 0x8E, 0xE2, 4}, "explicit/unconnected response from 4: response Get_Attribute_Single"},
        {0x423, {0x3D, 0x94, 0x16, 0xFF}, "explicit/unconnected response from 4: error response: general status 0x16"},
        {0x40B, {0x80, 0x81, 0x6C}, "explicit/unconnected response from 1: explicit response fragment 1 (last)"},
        {0x40E,
         {0, 0x4B, 3, 1, 3, 0},
         "unconnected request (group 2 only) to 1: Allocate_Master/Slave_Connection_Set choice 0x03"},
        {0x40F,
         {0x80, 0xE2, 0x04, 1, 0, 0x56, 0x4E},
         "duplicate MAC ID check response of 1: vendor 1250 serial 0x4E560001"},
        {0x5F7, {0, 1, 0, 2, 0, 0, 0}, "duplicate MAC ID check request of 62: vendor 1 serial 0x00000002"},
        {0x4F7, {}, "duplicate MAC ID check of 30"},
        {0x745, {0, 0x8E}, "unconnected explicit response from 5: response Get_Attribute_Single"},
        {0x423, {0, 0xB3}, "explicit/unconnected response from 4: response service 0x33"},
        {0x785, {0, 0x0E, 1, 1}, "unconnected explicit request from 5: Get_Attribute_Single class 0x01 instance 1"},
        {0x7EF, {}, "offline ownership request"},
        {0x7C1, {}, "group 4 message 0x01"},
    };
    for (const Case& c : cases) EXPECT_EQ(Meaning(c.id, c.data), c.meaning) << std::hex << c.id;
}

TEST(FrameText, ReadableLineSplitsTheIdentifier) {
    // flags, id 3C1, 4 bytes, time 12345 ms, group/mac/msg fields.
    const std::array<uint8_t, kRecordSize> bytes = {1, 0xC1, 0x03, 4,    1, 2, 3, 4, 0, 0,
                                                    0, 0,    0x39, 0x30, 0, 0, 1, 1, 15};
    const Record r = ParseRecord(bytes);
    EXPECT_EQ(r.canId, 0x3C1);
    EXPECT_EQ(r.data, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(r.timeMs, 12345u);
    EXPECT_EQ(ReadableLine(r),
              "    12.345  3C1  G1 mac  1 msg 15  [4] 01 02 03 04              poll response from slave 1");
    Record group4{1, 0x7EF, {}, 5};
    EXPECT_EQ(ReadableLine(group4),
              "     0.005  7EF  G4 mac -- msg 47  [0]                          offline ownership request");
    // A record claiming more than 8 bytes is cut to 8.
    std::array<uint8_t, kRecordSize> longer = bytes;
    longer[3] = 200;
    EXPECT_EQ(ParseRecord(longer).data.size(), 8u);
}

TEST(FrameText, CandumpLines) {
    EXPECT_EQ(CandumpLine(1700000000.5, "can0", 0x3C1, Bytes{1, 0, 0xAB, 0}), "(1700000000.500000) can0 3C1#0100AB00");
    EXPECT_EQ(CandumpLine(12.0000004, "vcan1", 0x00F, {}), "(0000000012.000000) vcan1 00F#");
    EXPECT_EQ(CandumpLine(5.9999999, "can0", 0x7FF, Bytes{0xFF}), "(0000000006.000000) can0 7FF#FF");
}

TEST(FrameText, FrameNotation) {
    struct Case {
        const char* text;
        std::optional<uint16_t> id;
        Bytes data;
    };
    const Case cases[] = {
        {"426#3D0E010101", 0x426, {0x3D, 0x0E, 1, 1, 1}},
        {"7ff#", 0x7FF, {}},
        {"1#11.22.33", 0x001, {0x11, 0x22, 0x33}},
        {"0#0102030405060708", 0x000, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"800#00", std::nullopt, {}},
        {"1234#00", std::nullopt, {}},
        {"#00", std::nullopt, {}},
        {"426", std::nullopt, {}},
        {"426#0", std::nullopt, {}},
        {"426#GG", std::nullopt, {}},
        {"42x#00", std::nullopt, {}},
        {"0#010203040506070809", std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<ProduceFrame> f = ParseFrameText(c.text);
        ASSERT_EQ(f.has_value(), c.id.has_value());
        if (!f) continue;
        EXPECT_EQ(f->canId, *c.id);
        EXPECT_EQ(f->data, c.data);
    }
}

}  // namespace
}  // namespace dnetmon
