#include "frame_printer.h"

#include <chrono>

namespace dnetmon {

std::string DroppedLine(uint64_t count) {
    return "-- dnetmon dropped " + std::to_string(count) + (count == 1 ? " frame" : " frames") +
           " (its output did not keep up) --";
}

FramePrinter::FramePrinter(std::FILE* out, FrameFilter filter, std::ostream* log, std::string ifname)
    : out_(out), filter_(filter), log_(log), ifname_(std::move(ifname)) {}

double FramePrinter::UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void FramePrinter::Line(const std::string& text) {
    if (out_ == nullptr) return;
    std::fputs(text.c_str(), out_);
    std::fputc('\n', out_);
}

void FramePrinter::PrintDropped(uint64_t count) {
    if (count > 0) Line(std::string(12, ' ') + DroppedLine(count));
}

std::optional<Record> FramePrinter::Print(const FrameBuffer::Entry& entry) {
    PrintDropped(entry.droppedBefore);
    Record r = ParseRecord(std::span<const uint8_t, kRecordSize>(entry.record));
    // A gap is shown whether or not the frame after it passes the filter.
    if ((r.flags & 0x80) != 0) Line(std::string(12, ' ') + kAdapterLostLine);
    if (!filter_.Passes(r.canId)) return std::nullopt;
    Line(ReadableLine(r));
    if (log_ != nullptr) {
        if (!firstAdapterMs_) {
            firstAdapterMs_ = r.timeMs;
            firstUnix_ = UnixNow();
        }
        const double at = firstUnix_ + static_cast<uint32_t>(r.timeMs - *firstAdapterMs_) / 1000.0;
        *log_ << CandumpLine(at, ifname_, r.canId, r.data) << '\n';
    }
    return r;
}

}  // namespace dnetmon
