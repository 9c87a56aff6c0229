// The dispatcher's state: the device libraries loaded so far, the devices open and the channel
// handles handed out, all guarded by one lock that is never held while a device library works.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <type_traits>
#include <utility>

#include "device_library.h"
#include "handle_table.h"
#include "varda_api.h"

namespace varda {

struct OpenDevice {
    uint32_t deviceType = 0;
    uint32_t deviceIndex = 0;

    // NOLINTNEXTLINE(modernize-use-nullptr): clang-tidy 14 misreads the defaulted comparison
    auto operator<=>(const OpenDevice&) const = default;
};

class Dispatcher {
public:
    Dispatcher() = default;
    // Frees every handle and unloads every device library; no device function is called, so
    // devices left open stay open in their libraries.
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    // The device functions. They may throw VARDAException or std::bad_alloc from table work
    // and library loading; the lock is released on every path.
    uint32_t Open(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved);
    uint32_t ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VARDA_BOARD_INFO* info);
    uint32_t Close(uint32_t deviceType, uint32_t deviceIndex);
    uint32_t Init(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex, const VARDA_INIT_PARAM* initParam,
                  uint32_t* handleOut);
    uint32_t Uninit(uint32_t handle);

    // Every other function: looks the handle up and forwards the call with the device
    // library's handle in its place and every other argument unchanged.
    template <auto Entry, typename... Args>
    uint32_t Forward(uint32_t handle, Args... args);

private:
    // The library of a device type, loaded on first need. Lock held.
    const DeviceLibrary& LibraryFor(uint32_t deviceType);
    // The library of an open device, or null when the device is not open. Lock held.
    const DeviceLibrary* OpenDeviceLibrary(uint32_t deviceType, uint32_t deviceIndex) const;
    // Entry `Entry` of an open device's library into `out` (null when the library lacks it):
    // VARDA_OK, or VARDA_ERR_NOT_OPEN when the device is not open. Takes the lock.
    template <auto Entry, typename Fn>
    uint32_t OpenDeviceEntry(uint32_t deviceType, uint32_t deviceIndex, Fn& out);

    std::mutex tableLock_;
    std::map<uint32_t, std::unique_ptr<DeviceLibrary>> libraries_;
    std::set<OpenDevice> openDevices_;
    HandleTable handles_;
};

template <auto Entry, typename... Args>
uint32_t Dispatcher::Forward(uint32_t handle, Args... args) {
    if (handle == 0 || handle == VARDA_INVALID_HANDLE) return VARDA_ERR_INVALID_HANDLE;
    std::remove_cvref_t<decltype(std::declval<const DeviceLibrary&>().*Entry)> entry = nullptr;
    uint32_t libraryHandle = 0;
    {
        std::lock_guard lock(tableLock_);
        const ChannelHandle* record = handles_.Find(handle);
        if (record == nullptr) return VARDA_ERR_INVALID_HANDLE;
        entry = record->library->*Entry;
        if (entry == nullptr) return VARDA_ERR_NO_FUNCTION;
        libraryHandle = record->libraryHandle;
    }
    return entry(libraryHandle, args...);
}

}  // namespace varda
