#include "packet.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace tamsen {

using platform::PutU16LE;
using platform::PutU32LE;

uint8_t XorChecksum(std::span<const uint8_t> bytes) {
    uint8_t check = 0;
    for (uint8_t b : bytes) check ^= b;
    return check;
}

std::string_view CommandName(uint8_t code) {
    static constexpr std::string_view kNames[] = {
        "Open",           "GetInfo",       "Init",          "Online",       "Offline",
        "StartScan",      "StopScan",      "AddSlave",      "RemoveSlave",  "SaveCfg",
        "Uninit",         "Close",         "EMRequest",     "ReadSlaveIO",  "WriteSlaveIO",
        "GetNodeStatus",  "DcReset",       "DcDntStartDrv", "DcDntStopDrv", "DcDntProduce",
        "DcDntSetScreen", "DcDntReConfig", "DcDntOffline",  "DcDntOnline",  "DcDntRecv",
    };
    static_assert(std::size(kNames) == 0x58 - 0x40 + 1);
    if (code < 0x40 || code > 0x58) return "UnknownCmd";
    return kNames[code - 0x40];
}

bool UsesExplicitGroup(uint8_t code) {
    return code == static_cast<uint8_t>(Cmd::EMRequest) || code == static_cast<uint8_t>(Cmd::DcDntRecv);
}

std::array<uint8_t, 4> MakeReadRequest(uint16_t timeoutMs) {
    const uint8_t lo = static_cast<uint8_t>(timeoutMs);
    const uint8_t hi = static_cast<uint8_t>(timeoutMs >> 8);
    const uint8_t x = static_cast<uint8_t>(0xFA ^ lo ^ hi);
    return {0xFA, lo, hi, static_cast<uint8_t>(256 - x)};
}

CommandPacket::CommandPacket(Cmd code, std::span<const uint8_t> payload) {
    const std::size_t length = std::min(payload.size(), kMaxPacket - kPacketOverhead);
    size_ = length + kPacketOverhead;
    bytes_[0] = kStartByte;
    bytes_[1] = static_cast<uint8_t>(code);
    PutU32LE(bytes_, 2, static_cast<uint32_t>(length));
    uint8_t extended = 0;
    if (code == Cmd::EMRequest || code == Cmd::WriteSlaveIO) {
        extended = size_ > kFirstTransfer ? 1 : 0;
    } else if (code == Cmd::DcDntStartDrv) {
        extended = 1;
    }
    bytes_[6] = extended;
    std::copy_n(payload.begin(), length, bytes_.begin() + kHeaderSize);
    bytes_[kHeaderSize + length] = XorChecksum(std::span<const uint8_t>(bytes_.data(), kHeaderSize + length));
}

std::array<uint8_t, 13> InitPayload(const VARDA_INIT_PARAM& param, uint32_t channel) {
    std::array<uint8_t, 13> p{};
    p[0] = static_cast<uint8_t>(param.MacId);
    p[1] = static_cast<uint8_t>(param.BaudRate);
    p[2] = static_cast<uint8_t>(param.IntervalScanCycle);
    p[3] = 0;
    PutU16LE(p, 4, static_cast<uint16_t>(param.ScanDelay));
    PutU16LE(p, 6, static_cast<uint16_t>(param.ExpectedPacketRate));
    p[8] = static_cast<uint8_t>(param.RetryCount);
    p[9] = static_cast<uint8_t>(param.Option1);
    p[10] = static_cast<uint8_t>(param.Option2);
    p[11] = static_cast<uint8_t>(param.AutoMapSize);
    p[12] = static_cast<uint8_t>(channel);
    return p;
}

std::array<uint8_t, 21> AddSlavePayload(const VARDA_SLAVE_CONFIG& c) {
    std::array<uint8_t, 21> p{};
    p[0] = static_cast<uint8_t>(c.MacId);
    PutU16LE(p, 1, static_cast<uint16_t>(c.VendorId));
    PutU16LE(p, 3, static_cast<uint16_t>(c.ProductType));
    PutU16LE(p, 5, static_cast<uint16_t>(c.ProductCode));
    p[7] = c.ConnectionFlags;
    p[8] = c.BackgroundPoll;
    p[9] = c.StrobeInputSize;
    p[10] = c.StrobeOutputSize;
    p[11] = c.PollInputSize;
    p[12] = c.CosInputSize;
    p[13] = c.PollOutputSize;
    p[14] = c.CosOutputSize;
    PutU16LE(p, 15, static_cast<uint16_t>(c.HeartbeatTime));
    PutU16LE(p, 17, static_cast<uint16_t>(c.AckTimeout));
    PutU16LE(p, 19, static_cast<uint16_t>(c.ProductionInhibitTime));
    return p;
}

std::vector<uint8_t> EmRequestPayload(uint32_t channel, uint32_t timeoutMs, uint32_t macId, uint32_t service,
                                      uint32_t classId, uint32_t instanceId, std::span<const uint8_t> request) {
    std::vector<uint8_t> p(13 + request.size());
    p[0] = static_cast<uint8_t>(channel + 1);
    PutU32LE(p, 1, timeoutMs);
    p[5] = static_cast<uint8_t>(macId);
    p[6] = static_cast<uint8_t>(service);
    PutU16LE(p, 7, static_cast<uint16_t>(classId));
    PutU16LE(p, 9, static_cast<uint16_t>(instanceId));
    PutU16LE(p, 11, static_cast<uint16_t>(request.size()));
    std::copy(request.begin(), request.end(), p.begin() + 13);
    return p;
}

std::array<uint8_t, 26> ReadSlaveIoPayload(uint32_t channel, uint32_t macId, uint32_t connectionType,
                                           uint32_t capacity) {
    std::array<uint8_t, 26> p{};
    p[0] = static_cast<uint8_t>(channel + 1);
    p[1] = static_cast<uint8_t>(macId);
    const std::size_t slot = 2 + 6 * (connectionType & 3);
    p[slot] = static_cast<uint8_t>(connectionType);
    p[slot + 1] = static_cast<uint8_t>(capacity);
    PutU32LE(p, slot + 2, 0);
    return p;
}

std::vector<uint8_t> WriteSlaveIoPayload(uint32_t channel, uint32_t timeoutMs, uint32_t macId, uint32_t connectionType,
                                         std::span<const uint8_t> data) {
    constexpr std::size_t kDataOffset = 28;  // packet offset 35
    std::vector<uint8_t> p(kDataOffset + data.size());
    p[0] = static_cast<uint8_t>(channel + 1);
    PutU16LE(p, 1, static_cast<uint16_t>(timeoutMs));
    p[3] = static_cast<uint8_t>(macId);
    p[4] = static_cast<uint8_t>(connectionType);
    p[5] = static_cast<uint8_t>(data.size());
    PutU32LE(p, 6, static_cast<uint32_t>(kHeaderSize + kDataOffset));
    std::copy(data.begin(), data.end(), p.begin() + kDataOffset);
    return p;
}

}  // namespace tamsen
