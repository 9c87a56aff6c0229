// Test access to the scripted master device library: loads the same library file that
// libvarda.so dispatches to (the loader hands out the copy already loaded) and resolves its
// FakeMaster_ control functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fake_master/fake_master.h"
#include "platform/module.h"
#include "testing/registry.h"

class FakeMasterControl {
public:
    // The library file, from $NORVANE_BIN_DIR.
    static std::string LibraryPath();

    FakeMasterControl();

    void Reset() const { reset_(); }
    void Fail(const char* function, uint32_t code, uint32_t count) const { fail_(function, code, count); }
    void SetInitHandle(uint32_t handle) const { setInitHandle_(handle); }
    void SetSlaveStatus(uint32_t mac, uint32_t status) const { setSlaveStatus_(mac, status); }
    void SetStatusDelay(uint32_t ms) const { setStatusDelay_(ms); }
    void SetAttribute(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr, std::vector<uint8_t> data) const;
    std::vector<uint8_t> GetAttribute(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr) const;
    std::vector<std::string> Calls() const;
    std::vector<double> CallTimes() const;
    uint64_t StatusQueries() const { return statusQueries_(); }
    uint32_t OpenDevices() const { return openDevices_(); }
    uint32_t InitHandles() const { return initHandles_(); }

private:
    platform::Module module_;
    PFN_FakeMaster_Reset reset_ = nullptr;
    PFN_FakeMaster_Fail fail_ = nullptr;
    PFN_FakeMaster_SetInitHandle setInitHandle_ = nullptr;
    PFN_FakeMaster_SetSlaveStatus setSlaveStatus_ = nullptr;
    PFN_FakeMaster_SetStatusDelay setStatusDelay_ = nullptr;
    PFN_FakeMaster_SetAttribute setAttribute_ = nullptr;
    PFN_FakeMaster_GetAttribute getAttribute_ = nullptr;
    PFN_FakeMaster_CallCount callCount_ = nullptr;
    PFN_FakeMaster_CallText callText_ = nullptr;
    PFN_FakeMaster_CallTimeMs callTime_ = nullptr;
    PFN_FakeMaster_StatusQueries statusQueries_ = nullptr;
    PFN_FakeMaster_OpenDevices openDevices_ = nullptr;
    PFN_FakeMaster_InitHandles initHandles_ = nullptr;
};

// A temporary registry file naming the fake library for a device type; $VARDA_REGISTRY points to
// it while the object lives.
class ScopedFakeRegistry : public testkit::ScopedRegistry {
public:
    explicit ScopedFakeRegistry(uint32_t deviceType) : ScopedRegistry(deviceType, FakeMasterControl::LibraryPath()) {}
};
