// Counts the failed calls of the master API that the program must report to the user, while
// every call goes on unchanged to the table that was in use: I/O reads and writes, and explicit
// requests while counting them is switched on. The soak test holds these counts against the
// failures that reached the information log.
#pragma once

#include <cstdint>
#include <optional>

#include "network/master_api_table.h"

namespace netsvc {

class MasterApiFailureCount {
public:
    enum Function : int { kEMRequest, kReadSlaveIO, kWriteSlaveIO, kFunctionCount };

    // Installs the counting table over the one in use; one counter at a time, created while no
    // master runs.
    MasterApiFailureCount();
    ~MasterApiFailureCount();
    MasterApiFailureCount(const MasterApiFailureCount&) = delete;
    MasterApiFailureCount& operator=(const MasterApiFailureCount&) = delete;

    // Failed calls of `function` so far.
    uint64_t Failed(Function function) const;

    // Explicit requests are counted only while this is on: some of their callers (the network
    // search's probes, the report's survey) let failures pass silently, as they should. A reply
    // code of 66 is not counted either: an upload tries again and reports only the last one.
    void CountExplicitRequests(bool on);

    // The master API's name of `function` ("VARDA_ReadSlaveIO"), as report texts carry it.
    static const char* Name(Function function);

private:
    VardaFunctions table_;
    std::optional<ScopedMasterApi> scope_;  // put back first when the counter goes
};

}  // namespace netsvc
