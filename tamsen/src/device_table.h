// The tables of open adapters and initialised channels, both guarded by DeviceTableLock.
// Lock order: DeviceTableLock before a device's CommandLock; never the other way round.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "tamsen_device.h"

namespace tamsen {

class DeviceTables {
public:
    static DeviceTables& Instance();
    ~DeviceTables();  // unloading: every device destroyed, no command sent

    std::mutex& Lock() { return lock_; }

    // All of the following need Lock() held.
    TamsenDevice* FindDevice(uint32_t deviceIndex);
    // The open device of an adapter, whatever key it is entered under.
    TamsenDevice* FindByAdapter(uint32_t deviceIndex);
    // `key` is the device index in master mode, the caller's test key in test mode.
    void AddDevice(uint32_t deviceIndex, std::unique_ptr<TamsenDevice> device);
    // A handle of 0 or 0xFFFFFFFF is invalid without a lookup.
    TamsenChannel* FindHandle(uint32_t handle);
    bool HasChannel(const TamsenDevice* device, uint32_t channelIndex) const;
    uint32_t AddChannel(std::unique_ptr<TamsenChannel> channel);
    void RemoveChannel(uint32_t handle);
    // Subtracts one use and destroys the device when none is left.
    void ReleaseLocked(TamsenDevice* device);
    // Removes the device and its channels and closes its pipes.
    void DestroyDevice(TamsenDevice* device);
    void DestroyAll();

private:
    DeviceTables();
    std::mutex lock_;
    std::map<uint32_t, std::unique_ptr<TamsenDevice>> devices_;
    std::map<uint32_t, std::unique_ptr<TamsenChannel>> channels_;
    uint32_t lastHandle_ = 0;
};

// One use of a device by a call (AcquireDevice / ReleaseDevice). The count was added under the
// table lock by whoever found the device; the use ends when this object goes away.
class DeviceUse {
public:
    explicit DeviceUse(TamsenDevice* device) : device_(device) {}
    ~DeviceUse();
    DeviceUse(const DeviceUse&) = delete;
    DeviceUse& operator=(const DeviceUse&) = delete;
    TamsenDevice& operator*() const { return *device_; }
    TamsenDevice* operator->() const { return device_; }

private:
    TamsenDevice* device_;
};

}  // namespace tamsen
