#include "network/dialog_numbers.h"

#include <charconv>

#include "resources/ui_texts.h"

namespace dialognum {

std::optional<int64_t> Parse(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int64_t ParseOrZero(std::string_view text) { return Parse(text).value_or(0); }

std::string RangeMessage(int64_t lo, int64_t hi) {
    return resources::FormatText(resource_ids::kTextIntegerRange, static_cast<long long>(lo),
                                 static_cast<long long>(hi));
}

}  // namespace dialognum
