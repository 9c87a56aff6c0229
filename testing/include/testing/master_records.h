// Records of the master API as the tests build them: the usual init parameters and slave
// entries, and the master API of a loaded library as a function table.
#pragma once

#include <cstdint>

#include "platform/module.h"
#include "varda_api.h"
#include "varda_functions.h"

namespace testkit {

// Scan delay 10 ms, interval 1, expected packet rate 75 ms, one retry, no options.
VARDA_INIT_PARAM InitParam(uint32_t mac = 0, uint32_t baud = 0);

// Connection sizes of a slave entry, in bytes.
struct SlaveSizes {
    uint8_t strobeIn = 0;
    uint8_t pollIn = 0;
    uint8_t pollOut = 0;
    uint8_t cosIn = 0;
    uint8_t cosOut = 0;
};
// A slave entry of vendor 1250 with the product code, flags and sizes given, heartbeat 250 ms,
// acknowledge timeout 16 ms, production inhibit 1 ms; a strobed slave gets 8 strobe output bytes.
VARDA_SLAVE_CONFIG SlaveRecord(uint32_t mac, uint16_t productCode, uint8_t flags, SlaveSizes sizes);

// The sixteen functions of a loaded library (libvarda.so or a device library); an entry the
// library lacks stays null.
VardaFunctions LoadVardaFunctions(const platform::Module& module);

}  // namespace testkit
