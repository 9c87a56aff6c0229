// The groups of a slave's data panel below its address group: one per non-empty I/O buffer of
// the enabled connections, in the fixed order poll, bit strobe, change of state or cyclic.
#pragma once

#include <cstdint>
#include <vector>

struct SlaveConfigBlock;

namespace monitor {

// Connection type codes as the master API takes them.
inline constexpr int kConnStrobe = 0;
inline constexpr int kConnPoll = 1;
inline constexpr int kConnCos = 2;
inline constexpr int kConnCyclic = 3;
// Directions of a data pane.
inline constexpr int kDirOutput = 0;
inline constexpr int kDirInput = 1;

// Caption string id of the address group; the address follows it formatted "%2d".
inline constexpr uint32_t kAddressCaptionId = 61508;

struct DataGroup {
    uint32_t captionId = 0;  // 10040..10047
    int type = 0;  // connection type code
    int direction = 0;  // kDirInput or kDirOutput
    uint8_t size = 0;  // bytes, never 0
    friend bool operator==(const DataGroup&, const DataGroup&) = default;
};

// The data groups of a slave configuration, top to bottom. Change of state and cyclic share one
// pair of sizes; cyclic is shown only when change of state is not enabled.
std::vector<DataGroup> DataGroupsOf(const SlaveConfigBlock& config);

// True for a change-of-state or cyclic output pane of a slave whose poll connection is enabled:
// such a pane shows only a note (string 61514) and moves no data.
bool IsNoteOnlyPane(const SlaveConfigBlock& config, int type, int direction);

}  // namespace monitor
