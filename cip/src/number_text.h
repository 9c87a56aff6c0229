// Numbers written as text in bus files and type names.
#pragma once

#include <optional>
#include <string_view>

namespace cip::detail {

// A whole number in C notation ("12", "-3", "0x1F", "017"), or with `allowFloat` a decimal real
// ("2.5", "1e3"); hexadecimal text is always read as a whole number. Nothing for anything else,
// for text after the number and for values beyond 64 bits or the finite reals.
std::optional<long double> ParseNumber(std::string_view text, bool allowFloat);

}  // namespace cip::detail
