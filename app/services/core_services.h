// What the network model needs from the application services: reporting master-API failures,
// status texts, the device-type and baud-rate tables, EDS paths, message boxes and log lines.
// CGlobal provides them; a test installs a recording stand-in of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace netsvc {

enum class LogLevel { Error = 0, Warning = 1, Log = 2 };

class ICoreServices {
public:
    virtual ~ICoreServices() = default;
    // A failed master-API call: shown and logged with the code and its text.
    virtual void ReportMasterApiError(uint32_t code, std::string_view context) = 0;
    // The status text of a slave status or result code.
    virtual std::string StatusTextOf(uint32_t code) const = 0;
    // Name of a baud-rate index ("125K" when unknown), of a device type ("" when unknown), and
    // the channel count of a device type (0 when unknown).
    virtual std::string BaudNameOf(uint32_t index) const = 0;
    virtual std::string DeviceTypeNameOf(uint32_t type) const = 0;
    virtual uint32_t ChannelCountOf(uint32_t type) const = 0;
    // The file of an EDS name known to the EDS store ("" when unknown).
    virtual std::string EdsPathOf(const std::string& name) const = 0;
    // A message box with the given text and an empty caption (error icon).
    virtual void ShowModelMessage(std::string_view text) = 0;
    // A line of the information log.
    virtual void LogModelLine(LogLevel level, std::string_view text) = 0;
};

// The services in use: the installed ones, else the program's CGlobal. Read by worker threads.
ICoreServices& Services();
// Installs `services` (nullptr: back to CGlobal); they must outlive their use.
void SetServices(ICoreServices* services);

// Installs services for the lifetime of the object and puts back the ones before.
class ScopedServices {
public:
    explicit ScopedServices(ICoreServices& services);
    ~ScopedServices();
    ScopedServices(const ScopedServices&) = delete;
    ScopedServices& operator=(const ScopedServices&) = delete;

private:
    ICoreServices* previous_;
};

// Shorthands for the services in use.
void ReportApiError(uint32_t code, std::string_view context);
std::string StatusText(uint32_t code);
std::string BaudName(uint32_t index);
std::string DeviceTypeName(uint32_t type);
uint32_t ChannelCount(uint32_t type);
std::string EdsPath(const std::string& name);
void ShowMessage(std::string_view text);
void Log(LogLevel level, std::string_view text);

// Text of a file as UTF-8: valid UTF-8 stays as it is, anything else is read as GB18030.
std::string FileTextToUtf8(std::string_view bytes);
// UTF-8 text as GB18030 bytes for writing.
std::string Utf8ToGb18030(std::string_view text);

}  // namespace netsvc
