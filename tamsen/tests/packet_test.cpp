// Packet helpers: checksum, read requests, command names, extended flag rules.
#include <gtest/gtest.h>

#include "packet.h"

namespace tamsen {
namespace {

TEST(PacketTest, ReadRequestCarriesTimeoutAndCheck) {
    EXPECT_EQ(MakeReadRequest(3000), (std::array<uint8_t, 4>{0xFA, 0xB8, 0x0B, 0xB7}));
    EXPECT_EQ(MakeReadRequest(1000), (std::array<uint8_t, 4>{0xFA, 0xE8, 0x03, 0xEF}));
    // FA ^ 00 ^ 00 = FA, negated 06.
    EXPECT_EQ(MakeReadRequest(0), (std::array<uint8_t, 4>{0xFA, 0x00, 0x00, 0x06}));
    // FA ^ FA ^ 00 = 0: the negation of 0 is 0.
    EXPECT_EQ(MakeReadRequest(0x00FA), (std::array<uint8_t, 4>{0xFA, 0xFA, 0x00, 0x00}));
}

TEST(PacketTest, CommandNames) {
    const std::pair<uint8_t, const char*> cases[] = {
        {0x40, "Open"},       {0x41, "GetInfo"},       {0x4C, "EMRequest"},      {0x4F, "GetNodeStatus"},
        {0x50, "DcReset"},    {0x51, "DcDntStartDrv"}, {0x54, "DcDntSetScreen"}, {0x58, "DcDntRecv"},
        {0x59, "UnknownCmd"}, {0x3F, "UnknownCmd"},    {0x00, "UnknownCmd"},     {0xFF, "UnknownCmd"},
    };
    for (const auto& [code, name] : cases) EXPECT_EQ(CommandName(code), name) << int(code);
}

TEST(PacketTest, ExplicitGroupCodes) {
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(UsesExplicitGroup(static_cast<uint8_t>(code)), code == 0x4C || code == 0x58) << code;
    }
}

TEST(PacketTest, ExtendedFlagFollowsTheCode) {
    std::vector<uint8_t> payload56(56, 0xAA);  // 64 bytes in all: not extended
    std::vector<uint8_t> payload57(57, 0xAA);  // 65 bytes: extended where allowed
    EXPECT_EQ(CommandPacket(Cmd::WriteSlaveIO, payload56).Extended(), 0);
    EXPECT_EQ(CommandPacket(Cmd::WriteSlaveIO, payload57).Extended(), 1);
    EXPECT_EQ(CommandPacket(Cmd::EMRequest, payload57).Extended(), 1);
    EXPECT_EQ(CommandPacket(Cmd::DcDntProduce, payload57).Extended(), 0);
    EXPECT_EQ(CommandPacket(Cmd::DcDntStartDrv, std::vector<uint8_t>(128)).Extended(), 1);
    EXPECT_EQ(CommandPacket(Cmd::Open, {}).Extended(), 0);

    CommandPacket p(Cmd::WriteSlaveIO, payload57);
    EXPECT_EQ(p.Size(), 65u);
    EXPECT_EQ(p.Bytes()[64], XorChecksum(p.Bytes().first(64)));
    EXPECT_EQ(XorChecksum(p.Bytes()), 0);  // a packet with its check XORs to zero
    EXPECT_EQ(XorChecksum({}), 0);
}

}  // namespace
}  // namespace tamsen
