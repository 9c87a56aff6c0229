#include "dispatcher.h"

namespace varda {

Dispatcher::~Dispatcher() {
    std::lock_guard lock(tableLock_);
    handles_.Clear();
    openDevices_.clear();
    libraries_.clear();
}

const DeviceLibrary& Dispatcher::LibraryFor(uint32_t deviceType) {
    auto it = libraries_.find(deviceType);
    if (it != libraries_.end()) return *it->second;
    // Loaded with the lock held, so that two first calls for one type load it once. A failed
    // load leaves no entry: the next call reads the registry again.
    auto library = std::make_unique<DeviceLibrary>(LoadDeviceLibrary(deviceType));
    return *libraries_.emplace(deviceType, std::move(library)).first->second;
}

const DeviceLibrary* Dispatcher::OpenDeviceLibrary(uint32_t deviceType, uint32_t deviceIndex) const {
    if (openDevices_.count({deviceType, deviceIndex}) == 0) return nullptr;
    auto it = libraries_.find(deviceType);
    return it == libraries_.end() ? nullptr : it->second.get();
}

uint32_t Dispatcher::Open(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved) {
    PFN_VARDA_Open open = nullptr;
    PFN_VARDA_Close close = nullptr;
    {
        std::lock_guard lock(tableLock_);
        if (openDevices_.count({deviceType, deviceIndex}) != 0) return VARDA_ERR_ALREADY_OPEN;
        const DeviceLibrary& library = LibraryFor(deviceType);
        open = library.Open;
        close = library.Close;
    }
    if (open == nullptr) return VARDA_ERR_NO_FUNCTION;
    const uint32_t result = open(deviceType, deviceIndex, reserved);
    if (result != VARDA_OK) return result;
    try {
        std::lock_guard lock(tableLock_);
        // Two racing opens may both have been let through; the device is recorded once.
        openDevices_.insert({deviceType, deviceIndex});
    } catch (...) {
        // Not recorded, so the caller could never close it through us: close it again.
        if (close != nullptr) close(deviceType, deviceIndex);
        throw;
    }
    return result;
}

template <auto Entry, typename Fn>
uint32_t Dispatcher::OpenDeviceEntry(uint32_t deviceType, uint32_t deviceIndex, Fn& out) {
    std::lock_guard lock(tableLock_);
    const DeviceLibrary* library = OpenDeviceLibrary(deviceType, deviceIndex);
    if (library == nullptr) return VARDA_ERR_NOT_OPEN;
    out = library->*Entry;
    return VARDA_OK;
}

uint32_t Dispatcher::ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VARDA_BOARD_INFO* info) {
    PFN_VARDA_ReadBoardInfo readBoardInfo = nullptr;
    const uint32_t found = OpenDeviceEntry<&DeviceLibrary::ReadBoardInfo>(deviceType, deviceIndex, readBoardInfo);
    if (found != VARDA_OK) return found;
    if (readBoardInfo == nullptr) return VARDA_ERR_NO_FUNCTION;
    return readBoardInfo(deviceType, deviceIndex, info);
}

uint32_t Dispatcher::Close(uint32_t deviceType, uint32_t deviceIndex) {
    PFN_VARDA_Close close = nullptr;
    const uint32_t found = OpenDeviceEntry<&DeviceLibrary::Close>(deviceType, deviceIndex, close);
    if (found != VARDA_OK) return found;
    if (close == nullptr) return VARDA_ERR_NO_FUNCTION;
    const uint32_t result = close(deviceType, deviceIndex);
    // Whatever the device library answered, the device and its channels are gone for us.
    std::lock_guard lock(tableLock_);
    openDevices_.erase({deviceType, deviceIndex});
    handles_.EraseDevice(deviceType, deviceIndex);
    return result;
}

uint32_t Dispatcher::Init(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex,
                          const VARDA_INIT_PARAM* initParam, uint32_t* handleOut) {
    if (handleOut == nullptr) return VARDA_ERR_INVALID_PARAM;
    *handleOut = VARDA_INVALID_HANDLE;
    const DeviceLibrary* library = nullptr;
    {
        std::lock_guard lock(tableLock_);
        library = OpenDeviceLibrary(deviceType, deviceIndex);
        if (library == nullptr) return VARDA_ERR_NOT_OPEN;
        if (handles_.HasChannel(deviceType, deviceIndex, channelIndex)) return VARDA_ERR_CHANNEL_OPEN;
    }
    // Entry points never change once a library is loaded, and libraries stay loaded.
    if (library->Init == nullptr) return VARDA_ERR_NO_FUNCTION;
    uint32_t libraryHandle = VARDA_INVALID_HANDLE;
    const uint32_t result = library->Init(deviceType, deviceIndex, channelIndex, initParam, &libraryHandle);
    if (result != VARDA_OK || libraryHandle == 0 || libraryHandle == VARDA_INVALID_HANDLE) return result;
    uint32_t handle = VARDA_INVALID_HANDLE;
    try {
        std::lock_guard lock(tableLock_);
        handle = handles_.Insert({deviceType, deviceIndex, channelIndex, libraryHandle, library});
    } catch (...) {
        // No handle to give out, so the channel could never be ended through us: end it now.
        if (library->Uninit != nullptr) library->Uninit(libraryHandle);
        throw;
    }
    *handleOut = handle;
    return result;
}

uint32_t Dispatcher::Uninit(uint32_t handle) {
    PFN_VARDA_Uninit uninit = nullptr;
    uint32_t libraryHandle = 0;
    {
        std::lock_guard lock(tableLock_);
        const ChannelHandle* record = handles_.Find(handle);
        if (record == nullptr) return VARDA_ERR_INVALID_HANDLE;
        uninit = record->library->Uninit;
        if (uninit == nullptr) return VARDA_ERR_NO_FUNCTION;
        libraryHandle = record->libraryHandle;
    }
    const uint32_t result = uninit(libraryHandle);
    std::lock_guard lock(tableLock_);
    handles_.Erase(handle);
    return result;
}

}  // namespace varda
