#include "adapter_emu/packet.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace adapter_emu {

std::string_view CommandName(uint8_t code) {
    switch (code) {
        case cmd::kOpen: return "Open";
        case cmd::kGetInfo: return "GetInfo";
        case cmd::kInit: return "Init";
        case cmd::kOnline: return "Online";
        case cmd::kOffline: return "Offline";
        case cmd::kStartScan: return "StartScan";
        case cmd::kStopScan: return "StopScan";
        case cmd::kAddSlave: return "AddSlave";
        case cmd::kRemoveSlave: return "RemoveSlave";
        case cmd::kSaveCfg: return "SaveCfg";
        case cmd::kUninit: return "Uninit";
        case cmd::kClose: return "Close";
        case cmd::kEMRequest: return "EMRequest";
        case cmd::kReadSlaveIO: return "ReadSlaveIO";
        case cmd::kWriteSlaveIO: return "WriteSlaveIO";
        case cmd::kGetNodeStatus: return "GetNodeStatus";
        case cmd::kDcReset: return "DcReset";
        case cmd::kDcDntStartDrv: return "DcDntStartDrv";
        case cmd::kDcDntStopDrv: return "DcDntStopDrv";
        case cmd::kDcDntProduce: return "DcDntProduce";
        case cmd::kDcDntSetScreen: return "DcDntSetScreen";
        case cmd::kDcDntReConfig: return "DcDntReConfig";
        case cmd::kDcDntOffline: return "DcDntOffline";
        case cmd::kDcDntOnline: return "DcDntOnline";
        case cmd::kDcDntRecv: return "DcDntRecv";
        default: return "UnknownCmd";
    }
}

bool UsesExplicitGroup(uint8_t code) { return code == cmd::kEMRequest || code == cmd::kDcDntRecv; }

uint8_t XorChecksum(std::span<const uint8_t> bytes) {
    uint8_t check = 0;
    for (uint8_t b : bytes) check ^= b;
    return check;
}

std::vector<uint8_t> BuildPacket(uint8_t code, std::span<const uint8_t> payload, bool forceExtended) {
    std::vector<uint8_t> packet(kHeaderSize + payload.size() + 1);
    packet[0] = kStartByte;
    packet[1] = code;
    platform::PutU32LE(packet, 2, static_cast<uint32_t>(payload.size()));
    packet[6] = (forceExtended || packet.size() > kFirstTransferSize) ? 1 : 0;
    std::copy(payload.begin(), payload.end(), packet.begin() + kHeaderSize);
    packet.back() = XorChecksum(std::span<const uint8_t>(packet).first(packet.size() - 1));
    return packet;
}

std::vector<uint8_t> BuildErrorAck(uint8_t code, uint32_t result) {
    std::vector<uint8_t> packet(kHeaderSize + 4 + 1);
    packet[0] = kStartByte;
    packet[1] = code;
    platform::PutU32LE(packet, 2, kErrorAckLength);
    packet[6] = 0;
    platform::PutU32LE(packet, kHeaderSize, result);
    packet.back() = XorChecksum(std::span<const uint8_t>(packet).first(packet.size() - 1));
    return packet;
}

std::vector<uint8_t> FirstTransfer(std::span<const uint8_t> packet) {
    std::vector<uint8_t> first(kFirstTransferSize, 0);
    const std::size_t n = std::min(packet.size(), kFirstTransferSize);
    std::copy_n(packet.begin(), n, first.begin());
    if (packet.size() > kHeaderSize && packet[6] == 1) {
        first[kHeaderSize] = XorChecksum(packet.first(kHeaderSize));
    }
    return first;
}

std::optional<PacketHeader> ParseHeader(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    PacketHeader h;
    h.start = bytes[0];
    h.code = bytes[1];
    h.length = platform::GetU32LE(bytes, 2);
    h.extended = bytes[6];
    return h;
}

std::array<uint8_t, 4> MakeReadRequest(uint16_t timeoutMs) {
    const uint8_t lo = static_cast<uint8_t>(timeoutMs);
    const uint8_t hi = static_cast<uint8_t>(timeoutMs >> 8);
    const uint8_t check = static_cast<uint8_t>(256 - (0xFA ^ lo ^ hi));
    return {0xFA, lo, hi, check};
}

std::optional<uint16_t> ParseReadRequest(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4 || bytes[0] != 0xFA) return std::nullopt;
    const uint8_t expected = static_cast<uint8_t>(256 - (0xFA ^ bytes[1] ^ bytes[2]));
    if (bytes[3] != expected) return std::nullopt;
    return platform::GetU16LE(bytes, 1);
}

}  // namespace adapter_emu
