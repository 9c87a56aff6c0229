#include "network/master_config_block.h"

#include "platform/byte_order.h"

using platform::GetU32LE;
using platform::PutU32LE;

VARDA_INIT_PARAM MasterConfigBlock::Record() const {
    VARDA_INIT_PARAM r{};
    r.MacId = GetU32LE(bytes, 0);
    r.BaudRate = GetU32LE(bytes, 4);
    r.ScanDelay = GetU32LE(bytes, 8);
    r.IntervalScanCycle = GetU32LE(bytes, 12);
    r.ExpectedPacketRate = GetU32LE(bytes, 16);
    r.RetryCount = GetU32LE(bytes, 20);
    r.Option1 = GetU32LE(bytes, 24);
    r.Option2 = GetU32LE(bytes, 28);
    r.AutoMapSize = GetU32LE(bytes, 32);
    return r;
}

void MasterConfigBlock::SetRecord(const VARDA_INIT_PARAM& r) {
    PutU32LE(bytes, 0, r.MacId);
    PutU32LE(bytes, 4, r.BaudRate);
    PutU32LE(bytes, 8, r.ScanDelay);
    PutU32LE(bytes, 12, r.IntervalScanCycle);
    PutU32LE(bytes, 16, r.ExpectedPacketRate);
    PutU32LE(bytes, 20, r.RetryCount);
    PutU32LE(bytes, 24, r.Option1);
    PutU32LE(bytes, 28, r.Option2);
    PutU32LE(bytes, 32, r.AutoMapSize);
}

uint32_t MasterConfigBlock::MacId() const { return GetU32LE(bytes, 0); }

uint32_t MasterConfigBlock::BaudIndex() const { return GetU32LE(bytes, 4); }

MasterConfigBlock MasterConfigBlock::Defaults(uint32_t macId, uint32_t baudIndex) {
    MasterConfigBlock block;
    VARDA_INIT_PARAM r{};
    r.MacId = macId;
    r.BaudRate = baudIndex;
    r.ScanDelay = 10;
    r.IntervalScanCycle = 1;
    r.ExpectedPacketRate = 75;
    r.RetryCount = 1;
    r.AutoMapSize = 0;
    block.SetRecord(r);
    return block;
}
