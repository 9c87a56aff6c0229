#include "network/slave_config_block.h"

#include "platform/byte_order.h"

using platform::GetU32LE;
using platform::PutU32LE;

void ConnectionUse::Reset() {
    bytes.fill(0);
    bytes[kAckTimeout] = 1;
}

uint8_t DeriveConnectionFlags(const ConnectionUse& use) {
    bool poll = use[ConnectionUse::kPoll] != 0;
    bool strobe = use[ConnectionUse::kStrobe] != 0;
    uint8_t flags = 0;
    if (poll && strobe) {
        flags = VARDA_FLAGS_POLL_AND_STROBE;
    } else if (poll) {
        flags = VARDA_FLAGS_POLL_ONLY;
    } else if (strobe) {
        flags = VARDA_FLAGS_STROBE_ONLY;
    } else {
        flags = VARDA_FLAGS_NO_POLL_NO_STROBE;
    }
    if (use[ConnectionUse::kCos] != 0) flags |= VARDA_FLAGS_COS;
    if (use[ConnectionUse::kCyclic] != 0) flags |= VARDA_FLAGS_CYCLIC;
    if (use[ConnectionUse::kAckTimeout] == 0) flags |= VARDA_FLAGS_ACK_SUPPRESSED;
    return flags;
}

VARDA_SLAVE_CONFIG SlaveRecordBlock::Record() const {
    VARDA_SLAVE_CONFIG r{};
    r.MacId = GetU32LE(bytes, 0);
    r.VendorId = GetU32LE(bytes, 4);
    r.ProductType = GetU32LE(bytes, 8);
    r.ProductCode = GetU32LE(bytes, 12);
    r.ConnectionFlags = bytes[16];
    r.BackgroundPoll = bytes[17];
    r.StrobeInputSize = bytes[18];
    r.StrobeOutputSize = bytes[19];
    r.PollInputSize = bytes[20];
    r.CosInputSize = bytes[21];
    r.PollOutputSize = bytes[22];
    r.CosOutputSize = bytes[23];
    r.HeartbeatTime = GetU32LE(bytes, 24);
    r.AckTimeout = GetU32LE(bytes, 28);
    r.ProductionInhibitTime = GetU32LE(bytes, 32);
    return r;
}

void SlaveRecordBlock::SetRecord(const VARDA_SLAVE_CONFIG& r) {
    PutU32LE(bytes, 0, r.MacId);
    PutU32LE(bytes, 4, r.VendorId);
    PutU32LE(bytes, 8, r.ProductType);
    PutU32LE(bytes, 12, r.ProductCode);
    bytes[16] = r.ConnectionFlags;
    bytes[17] = r.BackgroundPoll;
    bytes[18] = r.StrobeInputSize;
    bytes[19] = r.StrobeOutputSize;
    bytes[20] = r.PollInputSize;
    bytes[21] = r.CosInputSize;
    bytes[22] = r.PollOutputSize;
    bytes[23] = r.CosOutputSize;
    PutU32LE(bytes, 24, r.HeartbeatTime);
    PutU32LE(bytes, 28, r.AckTimeout);
    PutU32LE(bytes, 32, r.ProductionInhibitTime);
}

uint32_t SlaveRecordBlock::MacId() const { return GetU32LE(bytes, 0); }

void SlaveRecordBlock::SetMacId(uint32_t mac) { PutU32LE(bytes, 0, mac); }

SlaveConfigBlock::SlaveConfigBlock(const SlaveConfigBlock& other)
    : use(other.use), record(other.record), name(other.name) {
    groups.reserve(other.groups.size());
    for (const auto& group : other.groups) {
        IoDataGroup copy;
        copy.reserve(group.size());
        for (const auto& item : group) copy.push_back(std::make_unique<IoDataItem>(*item));
        groups.push_back(std::move(copy));
    }
}

SlaveConfigBlock& SlaveConfigBlock::operator=(const SlaveConfigBlock& other) {
    if (this != &other) {
        SlaveConfigBlock copy(other);
        *this = std::move(copy);
    }
    return *this;
}

SlaveConfigBlock SlaveConfigBlock::Fresh(uint32_t macId) {
    SlaveConfigBlock block;
    block.use.Reset();
    block.use[ConnectionUse::kFromEds] = 1;
    VARDA_SLAVE_CONFIG r{};
    r.MacId = macId;
    r.HeartbeatTime = 250;
    r.AckTimeout = 16;
    r.ProductionInhibitTime = 1;
    block.record.SetRecord(r);
    return block;
}

void SlaveConfigBlock::BuildDefaultGroups() {
    VARDA_SLAVE_CONFIG r = record.Record();
    IoDataGroup inputs;
    IoDataGroup outputs;
    auto add = [](IoDataGroup& group, const char* name, const char* text, bool input, uint8_t size) {
        if (size != 0) group.push_back(std::make_unique<IoDataItem>(MakeDefaultItem(name, text, input, size)));
    };
    add(inputs, "Poll_Input", "轮询连接的输入数据", true, r.PollInputSize);
    add(inputs, "Strobe_Input", "位选通连接的输入数据", true, r.StrobeInputSize);
    add(inputs, "COS/Cycle_Input", "状态改变或者周期连接的输入数据", true, r.CosInputSize);
    add(outputs, "Poll_Output", "轮询连接的输出数据", false, r.PollOutputSize);
    add(outputs, "Strobe_Output", "位选通连接的输出数据", false, r.StrobeOutputSize);
    add(outputs, "COS/Cycle_Output", "状态改变或者周期连接的输出数据", false, r.CosOutputSize);
    groups.clear();
    groups.push_back(std::move(inputs));
    groups.push_back(std::move(outputs));
}
