// What the model reported through the application services, for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Installs the capture for the lifetime of the object.
class ReportCapture {
public:
    ReportCapture();
    ~ReportCapture();
    ReportCapture(const ReportCapture&) = delete;
    ReportCapture& operator=(const ReportCapture&) = delete;

    // Every message box and information-log line since the last call, in order.
    std::vector<std::string> Take();
    // The text a failed master-API call with this context and code is reported with.
    static std::string ApiError(const std::string& context, uint32_t code);
    // The device-type name the settings give a type.
    static std::string DeviceTypeName(uint32_t type);
};
