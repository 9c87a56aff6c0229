// What a data pane does through the master API: reading a slave's input buffer, writing its
// output buffer (optionally incrementing every byte first), setting the strobe flag, with one
// report per failed call. Also the word for each connection in report texts and the period
// rule of timed reading and writing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "services/timer_periods.h"
#include "varda_functions.h"

class CSlaveDev;

namespace monitor {

// "Strobe IO," / "Poll IO," / "COS IO," / "CYCLIC IO,"; any other code "Poll IO,".
std::string_view ConnectionWord(int type);

// "Slave ID=<address>," + connection word + function, e.g. "Slave ID=3,Poll IO,VARDA_ReadSlaveIO".
std::string IoReportContext(int address, int type, std::string_view function);

struct TimerPeriod {
    int milliseconds = timer_periods::kDataPaneMs;
    bool replaced = false;  // the box's text was not a positive number: it is set back to the default
};

// The period of a timed pane from its box: leading blanks, an optional sign and decimal digits
// (as a C library integer read); 0, negative, no digits or out of range become timer_periods::kDataPaneMs.
TimerPeriod PeriodFromText(std::string_view text);

// Every byte incremented by 1 modulo 256.
void IncrementBytes(std::span<uint8_t> bytes);

// Where a pane's data goes: the slave's master handle and address, and whether the slave is on
// line now.
struct PaneTarget {
    uint32_t handle = 0;
    int address = 0;
    bool online = false;
};
PaneTarget TargetOf(const CSlaveDev& slave);

// True while `slave` is a slave of a master of the program's network (a pane whose slave was
// removed must not reach it any more).
bool IsInNetwork(const CSlaveDev* slave);

// Reads `size` bytes of connection `type` into a zero-filled buffer (length `size` in, timeout
// 0). On failure reports once and returns the code, leaving `bytes` as it was; on success
// `bytes` holds `size` bytes, those past the returned length 0.
uint32_t ReadPane(const PaneTarget& target, int type, uint8_t size, std::vector<uint8_t>& bytes,
                  const VardaFunctions& api);
// Writes `bytes` on connection `type` (timeout 0); a failure is reported once.
uint32_t WritePane(const PaneTarget& target, int type, std::span<const uint8_t> bytes, const VardaFunctions& api);
// Writes the 8-byte strobe buffer whose byte 0 is 1 (strobed) or 0 on connection 0.
uint32_t WriteStrobe(const PaneTarget& target, bool strobed, const VardaFunctions& api);

}  // namespace monitor
