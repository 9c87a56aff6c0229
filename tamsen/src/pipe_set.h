// Finding an adapter by device index and opening its eight pipe files.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "driver/driver.h"

namespace tamsen {

// The result of the lookup: the adapter's device path.
struct DeviceLocation {
    std::string devicePath;
};

// The adapter at `deviceIndex` among the present adapters, or nothing.
std::optional<DeviceLocation> FindDevice(driver::Driver& driver, uint32_t deviceIndex);

// Positions in the set, in table order, and the pipe file number of each.
enum PipeRole : std::size_t {
    kPipeCmd = 0,
    kPipeAck,
    kPipeCmdEx,
    kPipeAckEx,
    kPipeEmCmd,
    kPipeEmAck,
    kPipeEmCmdEx,
    kPipeEmAckEx,
    kPipeCount
};
inline constexpr std::array<int, kPipeCount> kPipeNumbers = {1, 0, 3, 2, 7, 6, 9, 8};
inline constexpr std::array<const char*, kPipeCount> kPipeNames = {"hPipeCmd",     "hPipeAck",    "hPipeCmdEx",
                                                                   "hPipeAckEx",   "hPipeEmCmd",  "hPipeEmAck",
                                                                   "hPipeEmCmdEx", "hPipeEmAckEx"};

// The eight open pipes of one adapter. Construction opens them (in table order, which is pipe
// 01, 00, 03, 02, 07, 06, 09, 08) or throws TamsenException with nothing left open; destruction
// closes them in table order.
class PipeSet {
public:
    PipeSet(driver::Driver& driver, uint32_t deviceIndex);
    ~PipeSet();
    PipeSet(const PipeSet&) = delete;
    PipeSet& operator=(const PipeSet&) = delete;

    driver::Pipe& operator[](PipeRole role) { return *pipes_[role]; }
    bool IsOpen(PipeRole role) const { return pipes_[role] != nullptr; }

private:
    std::array<std::unique_ptr<driver::Pipe>, kPipeCount> pipes_;
};

}  // namespace tamsen
