// Command and acknowledge packets of the adapter: start byte, code, u32 length (bit 31 marks an
// error acknowledge), extended flag, payload, exclusive-or check. Built and parsed byte by byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace adapter_emu {

inline constexpr uint8_t kStartByte = 0x7E;
inline constexpr std::size_t kHeaderSize = 7;  // start, code, length, extended
inline constexpr std::size_t kFirstTransferSize = 64;  // what travels on a command/ack pipe
inline constexpr std::size_t kMaxAckSize = 512;
inline constexpr uint32_t kErrorAckLength = 0x80000004u;
inline constexpr uint32_t kErrorAckFlag = 0x80000000u;

namespace cmd {
inline constexpr uint8_t kOpen = 0x40;
inline constexpr uint8_t kGetInfo = 0x41;
inline constexpr uint8_t kInit = 0x42;
inline constexpr uint8_t kOnline = 0x43;
inline constexpr uint8_t kOffline = 0x44;
inline constexpr uint8_t kStartScan = 0x45;
inline constexpr uint8_t kStopScan = 0x46;
inline constexpr uint8_t kAddSlave = 0x47;
inline constexpr uint8_t kRemoveSlave = 0x48;
inline constexpr uint8_t kSaveCfg = 0x49;
inline constexpr uint8_t kUninit = 0x4A;
inline constexpr uint8_t kClose = 0x4B;
inline constexpr uint8_t kEMRequest = 0x4C;
inline constexpr uint8_t kReadSlaveIO = 0x4D;
inline constexpr uint8_t kWriteSlaveIO = 0x4E;
inline constexpr uint8_t kGetNodeStatus = 0x4F;
inline constexpr uint8_t kDcReset = 0x50;
inline constexpr uint8_t kDcDntStartDrv = 0x51;
inline constexpr uint8_t kDcDntStopDrv = 0x52;
inline constexpr uint8_t kDcDntProduce = 0x53;
inline constexpr uint8_t kDcDntSetScreen = 0x54;
inline constexpr uint8_t kDcDntReConfig = 0x55;
inline constexpr uint8_t kDcDntOffline = 0x56;
inline constexpr uint8_t kDcDntOnline = 0x57;
inline constexpr uint8_t kDcDntRecv = 0x58;
}  // namespace cmd

// Name of a command code as the adapter's log lines show it ("UnknownCmd" for others).
std::string_view CommandName(uint8_t code);

// EMRequest and DcDntRecv travel on the explicit-message pipe group.
bool UsesExplicitGroup(uint8_t code);

uint8_t XorChecksum(std::span<const uint8_t> bytes);

// A whole packet: header, payload and check. `extended` is set when the packet is longer than
// one first transfer, or when forced.
std::vector<uint8_t> BuildPacket(uint8_t code, std::span<const uint8_t> payload, bool forceExtended = false);

// An error acknowledge: length 0x80000004 and the u32 result code as payload.
std::vector<uint8_t> BuildErrorAck(uint8_t code, uint32_t result);

// The first 64-byte transfer of a packet: its first bytes, zero padded to 64; when the packet is
// extended, byte 7 carries the check of bytes 0 to 6 instead of the first payload byte.
std::vector<uint8_t> FirstTransfer(std::span<const uint8_t> packet);

struct PacketHeader {
    uint8_t start = 0;
    uint8_t code = 0;
    uint32_t length = 0;
    uint8_t extended = 0;
};

std::optional<PacketHeader> ParseHeader(std::span<const uint8_t> bytes);

// A read request: 0xFA, time-out lo, hi, and the check (256 - (0xFA ^ lo ^ hi)) mod 256.
std::array<uint8_t, 4> MakeReadRequest(uint16_t timeoutMs);
// The time-out of a valid read request, nothing for a malformed one.
std::optional<uint16_t> ParseReadRequest(std::span<const uint8_t> bytes);

}  // namespace adapter_emu
