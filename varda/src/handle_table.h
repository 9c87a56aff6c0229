// The channel handles the dispatcher has handed out, keyed by the caller's handle.
#pragma once

#include <cstdint>
#include <unordered_map>

namespace varda {

struct DeviceLibrary;

// One initialised channel: where it lives and the device library's own handle for it.
struct ChannelHandle {
    uint32_t deviceType = 0;
    uint32_t deviceIndex = 0;
    uint32_t channelIndex = 0;
    uint32_t libraryHandle = 0;
    const DeviceLibrary* library = nullptr;  // owned by the library table, outlives the handle
};

// The caller's handle is a 32-bit value, too narrow for a record's address on a 64-bit
// system, so every record gets a number of its own from a counter. A number is never 0 or
// 0xFFFFFFFF and never that of a live record, whatever the device libraries return.
class HandleTable {
public:
    // Enters the record and returns its handle. May throw std::bad_alloc.
    uint32_t Insert(const ChannelHandle& record);

    const ChannelHandle* Find(uint32_t handle) const;

    // True when a record for this channel of this device exists.
    bool HasChannel(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex) const;

    void Erase(uint32_t handle);

    // Removes every record of one device.
    void EraseDevice(uint32_t deviceType, uint32_t deviceIndex);

    void Clear() { records_.clear(); }

private:
    std::unordered_map<uint32_t, ChannelHandle> records_;
    uint32_t next_ = 1;
};

}  // namespace varda
