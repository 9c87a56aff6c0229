#include "device_table.h"

#include <vector>

#include "thread_messages.h"
#include "varda_api.h"

namespace tamsen {

DeviceTables& DeviceTables::Instance() {
    static DeviceTables tables;
    return tables;
}

// The thread-message queues are made first, so that they outlive the tables: unloading joins
// receive threads that may still post.
DeviceTables::DeviceTables() { PrepareThreadMessages(); }

DeviceTables::~DeviceTables() {
    std::lock_guard<std::mutex> guard(lock_);
    DestroyAll();
}

TamsenDevice* DeviceTables::FindDevice(uint32_t deviceIndex) {
    auto it = devices_.find(deviceIndex);
    return it == devices_.end() ? nullptr : it->second.get();
}

TamsenDevice* DeviceTables::FindByAdapter(uint32_t deviceIndex) {
    for (const auto& [key, device] : devices_) {
        if (device->DeviceIndex() == deviceIndex) return device.get();
    }
    return nullptr;
}

void DeviceTables::AddDevice(uint32_t deviceIndex, std::unique_ptr<TamsenDevice> device) {
    devices_[deviceIndex] = std::move(device);
}

TamsenChannel* DeviceTables::FindHandle(uint32_t handle) {
    if (handle == 0 || handle == VARDA_INVALID_HANDLE) return nullptr;
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second.get();
}

bool DeviceTables::HasChannel(const TamsenDevice* device, uint32_t channelIndex) const {
    for (const auto& [handle, channel] : channels_) {
        if (channel->device == device && channel->channelIndex == channelIndex) return true;
    }
    return false;
}

uint32_t DeviceTables::AddChannel(std::unique_ptr<TamsenChannel> channel) {
    // Handles are counted on and never reuse a value that is in use, 0 or 0xFFFFFFFF.
    uint32_t handle = lastHandle_;
    do {
        ++handle;
    } while (handle == 0 || handle == VARDA_INVALID_HANDLE || channels_.count(handle) != 0);
    lastHandle_ = handle;
    channels_[handle] = std::move(channel);
    return handle;
}

void DeviceTables::RemoveChannel(uint32_t handle) { channels_.erase(handle); }

void DeviceTables::ReleaseLocked(TamsenDevice* device) {
    if (--device->useCount == 0) DestroyDevice(device);
}

void DeviceTables::DestroyDevice(TamsenDevice* device) {
    for (auto it = channels_.begin(); it != channels_.end();) {
        it = it->second->device == device ? channels_.erase(it) : std::next(it);
    }
    for (auto it = devices_.begin(); it != devices_.end(); ++it) {
        if (it->second.get() == device) {
            devices_.erase(it);  // closes the pipes
            return;
        }
    }
}

void DeviceTables::DestroyAll() {
    channels_.clear();
    devices_.clear();
}

DeviceUse::~DeviceUse() {
    DeviceTables& tables = DeviceTables::Instance();
    std::lock_guard<std::mutex> guard(tables.Lock());
    tables.ReleaseLocked(device_);
}

}  // namespace tamsen
