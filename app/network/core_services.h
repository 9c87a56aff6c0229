// What the network model needs from the application services: reporting master-API failures,
// status texts, the device-type and baud-rate tables, message boxes and log lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace netsvc {

enum class LogLevel { Error = 0, Warning = 1, Log = 2 };

// A failed master-API call: shown and logged with the code and its text.
void ReportApiError(uint32_t code, std::string_view context);
// The status text of a slave status or result code.
std::string StatusText(uint32_t code);
// Name of a baud-rate index ("125K" when unknown), of a device type ("" when unknown), and the
// channel count of a device type (0 when unknown).
std::string BaudName(uint32_t index);
std::string DeviceTypeName(uint32_t type);
uint32_t ChannelCount(uint32_t type);
// A message box with the given text and an empty caption (error icon).
void ShowMessage(std::string_view text);
// A line of the information log.
void Log(LogLevel level, std::string_view text);

}  // namespace netsvc

namespace netsvc {

// Text of a file as UTF-8: valid UTF-8 stays as it is, anything else is read as GB18030.
std::string FileTextToUtf8(std::string_view bytes);
// UTF-8 text as GB18030 bytes for writing.
std::string Utf8ToGb18030(std::string_view text);

}  // namespace netsvc
