// Traffic figures of the monitored bus: frames per second and bus load (the share of the baud
// rate that the frames' bits take), in total, per message group and per MAC ID field.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace dnetmon {

// Bits a CAN 2.0A data frame takes on the wire: start of frame to the end of the intermission,
// with the stuff bits that its identifier, control field, data and CRC need.
unsigned CanFrameBits(uint16_t canId, std::span<const uint8_t> data);

class BusStats {
public:
    explicit BusStats(unsigned baudKbit) : baudKbit_(baudKbit) {}

    void Add(uint16_t canId, std::span<const uint8_t> data);
    // The figures of the frames added over the last `seconds`, as a block of lines, and a new
    // interval begins.
    std::string Report(double seconds);

private:
    struct Count {
        uint64_t frames = 0;
        uint64_t bits = 0;
    };
    std::string Row(const std::string& name, const Count& c, double seconds) const;

    unsigned baudKbit_;
    Count total_;
    std::array<Count, 5> groups_{};  // index 1 to 4
    std::array<Count, 64> macs_{};
};

}  // namespace dnetmon
