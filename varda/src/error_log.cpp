#include "error_log.h"

#include "platform/debug_output.h"

namespace varda {

void LogError(std::string_view label, std::string_view text) noexcept {
    try {
        platform::DebugOutput(platform::TimestampedLine("varda.dll", label, text));
    } catch (...) {
        // Out of memory while reporting an error: the caller still gets its result code.
    }
}

}  // namespace varda
