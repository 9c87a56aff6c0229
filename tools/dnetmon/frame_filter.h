// Which frames the monitor shows: by the MAC ID field and the message group of the identifier.
// An empty set lets every value pass.
#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>

#include "frame_text.h"

namespace dnetmon {

class FrameFilter {
public:
    // "1,4,10-12": numbers and ranges from 0 to `max`; nothing when malformed.
    static std::optional<std::bitset<64>> ParseList(std::string_view text, unsigned max);

    void SetMacs(const std::bitset<64>& macs) { macs_ = macs; }
    void SetGroups(const std::bitset<64>& groups) { groups_ = groups; }

    // Group 4 frames carry no MAC ID: they pass a MAC ID filter only when it is empty.
    bool Passes(uint16_t canId) const;

private:
    std::bitset<64> macs_;
    std::bitset<64> groups_;
};

}  // namespace dnetmon
