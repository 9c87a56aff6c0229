// Reading numbers typed into dialog edit boxes, and the range message the dialogs show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dialognum {

// The decimal number of `text` (blanks around it allowed), or nothing when the text is not a
// whole decimal number that fits 64 bits.
std::optional<int64_t> Parse(std::string_view text);
// The number, or 0 when the text is not a number.
int64_t ParseOrZero(std::string_view text);
// "请输入一个介于 lo 和 hi 之间的整数。"
std::string RangeMessage(int64_t lo, int64_t hi);

}  // namespace dialognum
