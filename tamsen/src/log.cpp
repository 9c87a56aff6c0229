#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/debug_output.h"

namespace tamsen {

namespace {

std::string FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::vector<char> buffer(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

}  // namespace

void LogRaw(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string line = FormatV(format, args);
    va_end(args);
    platform::DebugOutput(line);
}

void LogAt(const char* level, const char* function, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = FormatV(format, args);
    va_end(args);
    std::string text = "tamsen.dll : ";
    text += level;
    text += " : ";
    text += function;
    text += '<';
    text += std::to_string(line);
    text += "> : ";
    text += message;
    platform::DebugOutput(text);
}

}  // namespace tamsen
