// The monitor's output: every entry of the buffer that passes the filter as a readable line (and
// as a candump log line when there is a log), with a line where the adapter lost records and one
// where the monitor itself dropped frames.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "frame_buffer.h"
#include "frame_filter.h"

namespace dnetmon {

inline constexpr const char* kAdapterLostLine = "-- frames were lost before this one --";

// "-- dnetmon dropped N frames (its output did not keep up) --"
std::string DroppedLine(uint64_t count);

class FramePrinter {
public:
    // `out` receives the readable lines (none when null, e.g. with --stats); `log`, when given,
    // the candump lines of the frames that pass.
    FramePrinter(std::FILE* out, FrameFilter filter, std::ostream* log = nullptr, std::string ifname = "can0");

    // Writes what the entry calls for; returns the record when it passed the filter.
    std::optional<Record> Print(const FrameBuffer::Entry& entry);
    void PrintDropped(uint64_t count);

private:
    void Line(const std::string& text);
    static double UnixNow();

    std::FILE* out_;
    FrameFilter filter_;
    std::ostream* log_;
    std::string ifname_;
    // Log time stamps: the host's clock at the first frame plus the adapter's time since then.
    std::optional<uint32_t> firstAdapterMs_;
    double firstUnix_ = 0;
};

}  // namespace dnetmon
