// ConsoleSession: the explicit message console's master-API side for one master. It sends a
// prepared request with the timed-sending retries and reports, reads and writes a slave's I/O
// data and asks for its status, through the program's master-API function table (or calls
// given by a test). Timed sending never nests: a tick that arrives while a send is in flight or
// its report box is open (the box's loop delivers timer ticks) is skipped and counted.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "monitor/busy_guard.h"
#include "monitor/explicit_console.h"

class CSlaveDev;

namespace monitor {

// The console's calls on master handle `handle` through the master-API function table.
ConsoleApi MasterConsoleApi(uint32_t handle);

// Input sizes of a slave's connections, from its configuration record.
IoInputSizes InputSizesOf(const CSlaveDev& slave);

class ConsoleSession {
public:
    // `reports` must outlive the session.
    ConsoleSession(ConsoleApi api, IConsoleReports& reports);

    // One send of `request` to `mac`, with the retries of timed sending when `timed` is set.
    // None when another send (or its report) is still under way: the attempt is skipped.
    std::optional<SendOutcome> Send(uint32_t mac, const ExplicitRequest& request, uint32_t timeoutMs, bool timed,
                                    int retryCount);
    // Attempts refused because a send was under way.
    int SkippedSends() const { return skipped_; }
    bool Sending() const { return sending_.Busy(); }

    IoReadOutcome ReadIo(uint32_t mac, int connectionType, const IoInputSizes& sizes, uint32_t timeoutMs);
    IoWriteOutcome WriteIo(uint32_t mac, int connectionType, std::span<const uint8_t> editorBytes, uint32_t timeoutMs);
    uint32_t SlaveStatus(uint32_t mac);

private:
    ConsoleApi api_;
    IConsoleReports& reports_;
    BusyGuard sending_;
    int skipped_ = 0;
};

}  // namespace monitor
