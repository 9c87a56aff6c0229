#include "fake_master_control.h"

#include "testing/build_paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace {

template <typename F>
void Resolve(const platform::Module& module, const char* name, F& out) {
    out = reinterpret_cast<F>(module.Symbol(name));
    if (out == nullptr) throw std::runtime_error(std::string("fake master library lacks ") + name);
}

}  // namespace

std::string FakeMasterControl::LibraryPath() { return testkit::BinDir() + "/libfake_master_device.so"; }

FakeMasterControl::FakeMasterControl() {
    int error = 0;
    std::string message;
    module_ = platform::Module::Load(LibraryPath(), error, message);
    if (!module_.IsLoaded()) throw std::runtime_error("cannot load the fake master library: " + message);
    Resolve(module_, "FakeMaster_Reset", reset_);
    Resolve(module_, "FakeMaster_Fail", fail_);
    Resolve(module_, "FakeMaster_SetInitHandle", setInitHandle_);
    Resolve(module_, "FakeMaster_SetSlaveStatus", setSlaveStatus_);
    Resolve(module_, "FakeMaster_SetStatusDelay", setStatusDelay_);
    Resolve(module_, "FakeMaster_SetAttribute", setAttribute_);
    Resolve(module_, "FakeMaster_GetAttribute", getAttribute_);
    Resolve(module_, "FakeMaster_CallCount", callCount_);
    Resolve(module_, "FakeMaster_CallText", callText_);
    Resolve(module_, "FakeMaster_CallTimeMs", callTime_);
    Resolve(module_, "FakeMaster_StatusQueries", statusQueries_);
    Resolve(module_, "FakeMaster_OpenDevices", openDevices_);
    Resolve(module_, "FakeMaster_InitHandles", initHandles_);
}

void FakeMasterControl::SetAttribute(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr,
                                     std::vector<uint8_t> data) const {
    setAttribute_(mac, cls, inst, attr, data.data(), static_cast<uint32_t>(data.size()));
}

std::vector<uint8_t> FakeMasterControl::GetAttribute(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr) const {
    std::vector<uint8_t> out(256);
    out.resize(getAttribute_(mac, cls, inst, attr, out.data(), static_cast<uint32_t>(out.size())));
    return out;
}

std::vector<std::string> FakeMasterControl::Calls() const {
    std::vector<std::string> calls;
    uint32_t n = callCount_();
    for (uint32_t i = 0; i < n; ++i) {
        char buffer[512];
        callText_(i, buffer, sizeof buffer);
        calls.emplace_back(buffer);
    }
    return calls;
}

std::vector<double> FakeMasterControl::CallTimes() const {
    std::vector<double> times;
    uint32_t n = callCount_();
    for (uint32_t i = 0; i < n; ++i) times.push_back(callTime_(i));
    return times;
}
