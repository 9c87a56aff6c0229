#include <gtest/gtest.h>

#include "adapter_emu/packet.h"
#include "test_bus.h"

using namespace adapter_emu;
using emu_test::Bytes;

TEST(PacketTest, ReadRequestsAndTheirChecks) {
    EXPECT_EQ(MakeReadRequest(1000), (std::array<uint8_t, 4>{0xFA, 0xE8, 0x03, 0xEF}));
    EXPECT_EQ(MakeReadRequest(3000), (std::array<uint8_t, 4>{0xFA, 0xB8, 0x0B, 0xB7}));
    EXPECT_EQ(ParseReadRequest(Bytes("FA B8 0B B7")), 3000);
    EXPECT_FALSE(ParseReadRequest(Bytes("FA B8 0B B8")));
    EXPECT_FALSE(ParseReadRequest(Bytes("FB B8 0B B7")));
    EXPECT_FALSE(ParseReadRequest(Bytes("FA B8 0B")));
}

TEST(PacketTest, PacketsAndFirstTransfers) {
    EXPECT_EQ(BuildPacket(0x43, Bytes("01")), Bytes("7E 43 01 00 00 00 00 01 3D"));
    EXPECT_EQ(BuildErrorAck(0x48, 61), Bytes("7E 48 04 00 00 80 00 3D 00 00 00 8F"));
    const std::vector<uint8_t> long_(57, 0xAA);
    auto p = BuildPacket(0x4E, long_);
    ASSERT_EQ(p.size(), 65u);
    EXPECT_EQ(p[6], 1);
    auto first = FirstTransfer(p);
    ASSERT_EQ(first.size(), 64u);
    EXPECT_EQ(first[7], 0x7E ^ 0x4E ^ 57 ^ 1);
    EXPECT_EQ(first[8], 0xAA);
    auto shortFirst = FirstTransfer(BuildPacket(0x40, {}));
    ASSERT_EQ(shortFirst.size(), 64u);
    EXPECT_EQ(shortFirst[7], 0x3E) << "not extended: the check stays in place";
    EXPECT_EQ(BuildPacket(0x51, std::vector<uint8_t>(1, 0), true)[6], 1);
}

TEST(PacketTest, CommandNames) {
    EXPECT_EQ(CommandName(0x4C), "EMRequest");
    EXPECT_EQ(CommandName(0x58), "DcDntRecv");
    EXPECT_EQ(CommandName(0x59), "UnknownCmd");
    EXPECT_EQ(CommandName(0x3F), "UnknownCmd");
    EXPECT_TRUE(UsesExplicitGroup(0x4C));
    EXPECT_TRUE(UsesExplicitGroup(0x58));
    EXPECT_FALSE(UsesExplicitGroup(0x4D));
}
