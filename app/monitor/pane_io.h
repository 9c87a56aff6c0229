// PaneIo: the master-API side of one data pane of a slave's data panel - the read of an input
// buffer, the write of an output buffer (with increment mode), the strobe flag - through the
// program's master-API function table. One action at a time: an attempt while another action of
// the pane is under way (its report box runs a loop that delivers timer ticks) is refused, so
// timed operation never nests. A pane whose slave has left the network does nothing any more.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "monitor/busy_guard.h"
#include "varda_functions.h"

class CSlaveDev;

namespace monitor {

class PaneIo {
public:
    enum class Outcome {
        kDone,  // the call succeeded
        kFailed,  // the call failed and was reported
        kOffline,  // the slave is not on line: nothing was called
        kGone,  // the slave left the network: nothing was called, nor will be
    };

    // Connection `type` of `slave` (not owned; checked against the network before every use).
    // `api` must outlive the pane's I/O; it defaults to the program's function table.
    PaneIo(int type, CSlaveDev& slave, const VardaFunctions* api = nullptr);

    // Held while an action runs; none while another is under way.
    std::optional<BusyGuard::Hold> Begin() { return acting_.TryHold(); }
    bool Acting() const { return acting_.Busy(); }

    // Reads `size` bytes; on success `bytes` holds them (bytes past the length given back are 0).
    Outcome Read(uint8_t size, std::vector<uint8_t>& bytes);
    // Writes `bytes`; with `increment` every byte is first incremented by 1 modulo 256 in place.
    Outcome Write(std::span<uint8_t> bytes, bool increment);
    // Sets or clears the strobe flag (the 8-byte strobe buffer on connection 0).
    Outcome Strobe(bool strobed);

    // False once the slave has left the network.
    bool SlaveAlive();

private:
    Outcome Check();
    const VardaFunctions& Api() const;

    int type_;
    CSlaveDev* slave_;
    const VardaFunctions* api_;
    BusyGuard acting_;
};

}  // namespace monitor
