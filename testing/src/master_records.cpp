#include "testing/master_records.h"

namespace testkit {

VARDA_INIT_PARAM InitParam(uint32_t mac, uint32_t baud) {
    VARDA_INIT_PARAM p{};
    p.MacId = mac;
    p.BaudRate = baud;
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    return p;
}

VARDA_SLAVE_CONFIG SlaveRecord(uint32_t mac, uint16_t productCode, uint8_t flags, SlaveSizes sizes) {
    VARDA_SLAVE_CONFIG s{};
    s.MacId = mac;
    s.VendorId = 1250;
    s.ProductCode = productCode;
    s.ConnectionFlags = flags;
    s.StrobeInputSize = sizes.strobeIn;
    s.StrobeOutputSize = sizes.strobeIn != 0 ? 8 : 0;
    s.PollInputSize = sizes.pollIn;
    s.PollOutputSize = sizes.pollOut;
    s.CosInputSize = sizes.cosIn;
    s.CosOutputSize = sizes.cosOut;
    s.HeartbeatTime = 250;
    s.AckTimeout = 16;
    s.ProductionInhibitTime = 1;
    return s;
}

VardaFunctions LoadVardaFunctions(const platform::Module& module) {
    VardaFunctions functions;
    functions.Resolve([&](const char* name) { return module.Symbol(name); });
    return functions;
}

}  // namespace testkit
