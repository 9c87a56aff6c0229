#include "handle_table.h"

#include <iterator>

#include "varda_api.h"

namespace varda {

uint32_t HandleTable::Insert(const ChannelHandle& record) {
    uint32_t handle = next_;
    // At most records_.size() + 2 numbers are taken, so a free one is always found.
    while (handle == 0 || handle == VARDA_INVALID_HANDLE || records_.count(handle) != 0) {
        ++handle;
    }
    records_.emplace(handle, record);
    next_ = handle + 1;
    return handle;
}

const ChannelHandle* HandleTable::Find(uint32_t handle) const {
    auto it = records_.find(handle);
    return it == records_.end() ? nullptr : &it->second;
}

bool HandleTable::HasChannel(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex) const {
    for (const auto& [handle, record] : records_) {
        if (record.deviceType == deviceType && record.deviceIndex == deviceIndex &&
            record.channelIndex == channelIndex) {
            return true;
        }
    }
    return false;
}

void HandleTable::Erase(uint32_t handle) { records_.erase(handle); }

void HandleTable::EraseDevice(uint32_t deviceType, uint32_t deviceIndex) {
    for (auto it = records_.begin(); it != records_.end();) {
        if (it->second.deviceType == deviceType && it->second.deviceIndex == deviceIndex) {
            it = records_.erase(it);
        } else {
            it = std::next(it);
        }
    }
}

}  // namespace varda
