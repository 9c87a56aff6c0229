// Diagnostic lines of the dispatcher: "varda.dll: <local time> - <function>: <text>".
#pragma once

#include <string_view>

namespace varda {

// Writes one line to the debug output. Never throws: a line that cannot be built is dropped.
void LogError(std::string_view label, std::string_view text) noexcept;

}  // namespace varda
