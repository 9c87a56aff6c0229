// The network model's services as a test sees them: settings given by the test, and every
// report, message and log line recorded in order as one text each.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "services/core_services.h"

class RecordingServices : public netsvc::ICoreServices {
public:
    // Device type 101 "USB-DN" with 2 channels; baud names 125K, 250K, 500K.
    RecordingServices();

    // "api <code>: <context>", "box: <text>", "log<level>: <text>"
    std::vector<std::string> Take();

    void SetDeviceType(uint32_t type, std::string name, uint32_t channels);
    void SetEdsPath(const std::string& name, std::string path);

    void ReportMasterApiError(uint32_t code, std::string_view context) override;
    // "status <code>"
    std::string StatusTextOf(uint32_t code) const override;
    std::string BaudNameOf(uint32_t index) const override;
    std::string DeviceTypeNameOf(uint32_t type) const override;
    uint32_t ChannelCountOf(uint32_t type) const override;
    std::string EdsPathOf(const std::string& name) const override;
    void ShowModelMessage(std::string_view text) override;
    void LogModelLine(netsvc::LogLevel level, std::string_view text) override;

private:
    void Add(std::string line);

    mutable std::mutex lock_;
    std::vector<std::string> lines_;
    std::map<uint32_t, std::pair<std::string, uint32_t>> deviceTypes_;
    std::map<uint32_t, std::string> baudNames_;
    std::map<std::string, std::string> edsPaths_;
};
