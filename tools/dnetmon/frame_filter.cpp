#include "frame_filter.h"

#include <charconv>

namespace dnetmon {

namespace {

std::optional<unsigned> Number(std::string_view text, unsigned max) {
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > max) return std::nullopt;
    return v;
}

}  // namespace

std::optional<std::bitset<64>> FrameFilter::ParseList(std::string_view text, unsigned max) {
    std::bitset<64> set;
    if (text.empty()) return std::nullopt;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const auto first = Number(item.substr(0, dash), max);
        const auto last = dash == std::string_view::npos ? first : Number(item.substr(dash + 1), max);
        if (!first || !last || *last < *first) return std::nullopt;
        for (unsigned v = *first; v <= *last; ++v) set.set(v);
        if (comma == std::string_view::npos) return set;
        text.remove_prefix(comma + 1);
    }
}

bool FrameFilter::Passes(uint16_t canId) const {
    const IdFields f = SplitId(canId);
    if (groups_.any() && !groups_.test(static_cast<std::size_t>(f.group))) return false;
    if (macs_.any() && (!f.mac || !macs_.test(*f.mac))) return false;
    return true;
}

}  // namespace dnetmon
