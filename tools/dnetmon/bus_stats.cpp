#include "bus_stats.h"

#include <cstdio>
#include <vector>

#include "frame_text.h"

namespace dnetmon {

namespace {

// CRC-15 of CAN over a bit sequence (polynomial 0x4599).
uint16_t Crc15(const std::vector<bool>& bits) {
    uint16_t crc = 0;
    for (bool b : bits) {
        const bool next = b != ((crc >> 14) & 1);
        crc = static_cast<uint16_t>((crc << 1) & 0x7FFF);
        if (next) crc ^= 0x4599;
    }
    return crc;
}

void AppendBits(std::vector<bool>& bits, unsigned value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(((value >> i) & 1) != 0);
}

}  // namespace

unsigned CanFrameBits(uint16_t canId, std::span<const uint8_t> data) {
    const std::size_t n = data.size() > 8 ? 8 : data.size();
    // Start of frame, identifier, RTR, IDE, r0, DLC, data, CRC: the stuffed part.
    std::vector<bool> bits;
    bits.reserve(1 + 11 + 3 + 4 + 64 + 15);
    bits.push_back(false);
    AppendBits(bits, canId & 0x7FF, 11);
    AppendBits(bits, 0, 3);
    AppendBits(bits, static_cast<unsigned>(n), 4);
    for (std::size_t i = 0; i < n; ++i) AppendBits(bits, data[i], 8);
    AppendBits(bits, Crc15(bits), 15);
    // After five equal bits in a row a complementary stuff bit follows, which starts a new run.
    unsigned stuffed = 0;
    int run = 0;
    bool last = false;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i > 0 && bits[i] == last) {
            ++run;
        } else {
            run = 1;
            last = bits[i];
        }
        if (run == 5) {
            ++stuffed;
            last = !last;
            run = 1;
        }
    }
    // CRC delimiter, ACK slot and delimiter, end of frame (7) and intermission (3) are not stuffed.
    return static_cast<unsigned>(bits.size()) + stuffed + 13;
}

void BusStats::Add(uint16_t canId, std::span<const uint8_t> data) {
    const unsigned bits = CanFrameBits(canId, data);
    const IdFields f = SplitId(canId);
    for (Count* c : {&total_, &groups_[static_cast<std::size_t>(f.group)]}) {
        ++c->frames;
        c->bits += bits;
    }
    if (f.mac) {
        ++macs_[*f.mac].frames;
        macs_[*f.mac].bits += bits;
    }
}

std::string BusStats::Row(const std::string& name, const Count& c, double seconds) const {
    char line[96];
    const double load = 100.0 * static_cast<double>(c.bits) / (seconds * baudKbit_ * 1000.0);
    std::snprintf(line, sizeof line, "  %-8s %10.0f %8.1f\n", name.c_str(), static_cast<double>(c.frames) / seconds,
                  load);
    return line;
}

std::string BusStats::Report(double seconds) {
    if (seconds <= 0) seconds = 1;
    char head[128];
    const double load = 100.0 * static_cast<double>(total_.bits) / (seconds * baudKbit_ * 1000.0);
    std::snprintf(head, sizeof head, "dnetmon: %.0f frames/s, bus load %.1f %% of %u kbit/s\n",
                  static_cast<double>(total_.frames) / seconds, load, baudKbit_);
    std::string text = head;
    text += "  group      frames/s   load %\n";
    for (std::size_t g = 1; g < groups_.size(); ++g) {
        if (groups_[g].frames > 0) text += Row("G" + std::to_string(g), groups_[g], seconds);
    }
    text += "  MAC ID     frames/s   load %\n";
    for (std::size_t m = 0; m < macs_.size(); ++m) {
        if (macs_[m].frames > 0) text += Row(std::to_string(m), macs_[m], seconds);
    }
    total_ = {};
    groups_ = {};
    macs_ = {};
    return text;
}

}  // namespace dnetmon
