// The libraries' diagnostic sink. Lines go to $VARDA_DEBUG_OUTPUT: a file path (appended, one
// write per line) or "stderr"; when the variable is unset they go to syslog at LOG_DEBUG.
#pragma once

#include <string>
#include <string_view>

namespace platform {

void DebugOutput(std::string_view line);

// "<module>: YYYY-MM-DD hh:mm:ss:mmm - <label>: <text>\n" from the local time, formatted with
// Boost.Format; module is e.g. "varda.dll".
std::string TimestampedLine(std::string_view module, std::string_view label, std::string_view text);

}  // namespace platform
