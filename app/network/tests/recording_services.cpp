#include "recording_services.h"

RecordingServices::RecordingServices()
    : deviceTypes_{{101, {"USB-DN", 2}}}, baudNames_{{0, "125K"}, {1, "250K"}, {2, "500K"}} {}

std::vector<std::string> RecordingServices::Take() {
    std::lock_guard guard(lock_);
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
}

void RecordingServices::SetDeviceType(uint32_t type, std::string name, uint32_t channels) {
    std::lock_guard guard(lock_);
    deviceTypes_[type] = {std::move(name), channels};
}

void RecordingServices::SetEdsPath(const std::string& name, std::string path) {
    std::lock_guard guard(lock_);
    edsPaths_[name] = std::move(path);
}

void RecordingServices::Add(std::string line) {
    std::lock_guard guard(lock_);
    lines_.push_back(std::move(line));
}

void RecordingServices::ReportMasterApiError(uint32_t code, std::string_view context) {
    Add("api " + std::to_string(code) + ": " + std::string(context));
}

std::string RecordingServices::StatusTextOf(uint32_t code) const { return "status " + std::to_string(code); }

std::string RecordingServices::BaudNameOf(uint32_t index) const {
    std::lock_guard guard(lock_);
    auto it = baudNames_.find(index);
    return it == baudNames_.end() ? "125K" : it->second;
}

std::string RecordingServices::DeviceTypeNameOf(uint32_t type) const {
    std::lock_guard guard(lock_);
    auto it = deviceTypes_.find(type);
    return it == deviceTypes_.end() ? std::string() : it->second.first;
}

uint32_t RecordingServices::ChannelCountOf(uint32_t type) const {
    std::lock_guard guard(lock_);
    auto it = deviceTypes_.find(type);
    return it == deviceTypes_.end() ? 0 : it->second.second;
}

std::string RecordingServices::EdsPathOf(const std::string& name) const {
    std::lock_guard guard(lock_);
    auto it = edsPaths_.find(name);
    return it == edsPaths_.end() ? std::string() : it->second;
}

void RecordingServices::ShowModelMessage(std::string_view text) { Add("box: " + std::string(text)); }

void RecordingServices::LogModelLine(netsvc::LogLevel level, std::string_view text) {
    Add("log" + std::to_string(static_cast<int>(level)) + ": " + std::string(text));
}
