// Diagnostic lines of the library, written to the debugger output (platform::DebugOutput).
#pragma once

#include <string>

namespace tamsen {

// Writes one printf-formatted line as it stands.
void LogRaw(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes "tamsen.dll : <level> : <function><<line>> : " followed by the formatted message.
void LogAt(const char* level, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

}  // namespace tamsen

// The number in angle brackets is the source line of the logging statement.
#define TAMSEN_LOG_ERROR(function, ...) ::tamsen::LogAt("ERROR", function, __LINE__, __VA_ARGS__)
#define TAMSEN_LOG_WARNING(function, ...) ::tamsen::LogAt("WARNING", function, __LINE__, __VA_ARGS__)
