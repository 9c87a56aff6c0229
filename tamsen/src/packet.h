// Command and acknowledge packets of the adapter:
//   0 start (0x7E) | 1 code | 2..5 length (u32 LE; bit 31 = error acknowledge) | 6 extended |
//   7.. payload | 7+length check (XOR of bytes 0..6+length)
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "varda_api.h"

namespace tamsen {

inline constexpr uint8_t kStartByte = 0x7E;
inline constexpr std::size_t kHeaderSize = 7;  // start, code, length, extended
inline constexpr std::size_t kPacketOverhead = 8;  // header + check byte
inline constexpr std::size_t kFirstTransfer = 64;  // every command and first acknowledge read
inline constexpr std::size_t kMaxPacket = 512;  // largest packet and receive buffer
inline constexpr uint32_t kErrorAckBit = 0x80000000u;
inline constexpr uint32_t kErrorAckLength = 0x80000004u;

// Command codes.
enum class Cmd : uint8_t {
    Open = 0x40,
    GetInfo = 0x41,
    Init = 0x42,
    Online = 0x43,
    Offline = 0x44,
    StartScan = 0x45,
    StopScan = 0x46,
    AddSlave = 0x47,
    RemoveSlave = 0x48,
    SaveCfg = 0x49,
    Uninit = 0x4A,
    Close = 0x4B,
    EMRequest = 0x4C,
    ReadSlaveIO = 0x4D,
    WriteSlaveIO = 0x4E,
    GetNodeStatus = 0x4F,
    DcReset = 0x50,
    DcDntStartDrv = 0x51,
    DcDntStopDrv = 0x52,
    DcDntProduce = 0x53,
    DcDntSetScreen = 0x54,
    DcDntReConfig = 0x55,
    DcDntOffline = 0x56,
    DcDntOnline = 0x57,
    DcDntRecv = 0x58,
};

using ReceiveBuffer = std::array<uint8_t, kMaxPacket>;

// Exclusive-or of a run of bytes, starting from 0.
uint8_t XorChecksum(std::span<const uint8_t> bytes);

// Name of a command code in log lines; "UnknownCmd" for codes outside the table.
std::string_view CommandName(uint8_t code);

// True for the codes that travel on the explicit-message pipe group.
bool UsesExplicitGroup(uint8_t code);

// The 4-byte read request: FA, time-out (u16 LE), two's complement of (FA ^ lo ^ hi).
std::array<uint8_t, 4> MakeReadRequest(uint16_t timeoutMs);

// A command packet in a buffer of 512 bytes.
class CommandPacket {
public:
    // Builds start, code, length, extended (by the rules of the code), payload and check.
    // The payload must leave room for the check byte within 512 bytes.
    CommandPacket(Cmd code, std::span<const uint8_t> payload);

    uint8_t Code() const { return bytes_[1]; }
    uint8_t Extended() const { return bytes_[6]; }
    std::size_t Size() const { return size_; }
    std::span<uint8_t> Bytes() { return {bytes_.data(), size_}; }
    std::span<const uint8_t> Bytes() const { return {bytes_.data(), size_}; }
    // The 64-byte first transfer: the packet followed by zero padding.
    std::span<uint8_t, kFirstTransfer> FirstTransfer() {
        return std::span<uint8_t, kFirstTransfer>(bytes_.data(), kFirstTransfer);
    }

private:
    std::array<uint8_t, kMaxPacket> bytes_{};
    std::size_t size_ = 0;
};

// Payloads of the master-API commands.
std::array<uint8_t, 13> InitPayload(const VARDA_INIT_PARAM& param, uint32_t channel);
std::array<uint8_t, 21> AddSlavePayload(const VARDA_SLAVE_CONFIG& config);
std::vector<uint8_t> EmRequestPayload(uint32_t channel, uint32_t timeoutMs, uint32_t macId, uint32_t service,
                                      uint32_t classId, uint32_t instanceId, std::span<const uint8_t> request);
std::array<uint8_t, 26> ReadSlaveIoPayload(uint32_t channel, uint32_t macId, uint32_t connectionType,
                                           uint32_t capacity);
std::vector<uint8_t> WriteSlaveIoPayload(uint32_t channel, uint32_t timeoutMs, uint32_t macId, uint32_t connectionType,
                                         std::span<const uint8_t> data);

}  // namespace tamsen
