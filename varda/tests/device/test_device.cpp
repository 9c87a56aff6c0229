// A device library for the varda tests. It keeps a small table of open devices and channels,
// answers with the usual codes, and tells the recorder about every call. Variants:
//   TESTDEV_NO_OPEN          lacks VARDA_Open
//   TESTDEV_NO_BOARD_INFO    lacks VARDA_ReadBoardInfo
//   TESTDEV_SAME_HANDLE      hands out one handle value for every channel of every device
//   TESTDEV_GATED            every call stops at the recorder's gate for its device
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "recorder.h"
#include "varda_api.h"

namespace {

constexpr uint32_t kSameHandle = 0x5A0000F0u;
constexpr uint32_t kNoDevice = 0xFFFFFFFFu;

struct Channel {
    uint32_t deviceType;
    uint32_t deviceIndex;
    uint32_t channelIndex;
};

struct Table {
    std::mutex mutex;
    std::set<std::pair<uint32_t, uint32_t>> open;
    std::map<uint32_t, Channel> channels;  // by handle (last channel wins for equal handles)
};

Table& T() {
    static Table table;
    return table;
}

const std::string& Self() {
    static const std::string path = [] {
        Dl_info info{};
        ::dladdr(reinterpret_cast<void*>(&Self), &info);
        return std::string(info.dli_fname != nullptr ? info.dli_fname : "?");
    }();
    return path;
}

__attribute__((constructor)) void OnLoad() { devrec::LibraryLoaded(Self()); }

uint64_t P(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// Records the call and holds it at the gate (gated variant). Returns an imposed result, if any.
std::optional<uint32_t> Enter(const char* function, std::vector<uint64_t> args, uint32_t deviceIndex) {
    devrec::Record(Self(), function, std::move(args));
#ifdef TESTDEV_GATED
    devrec::PassGate(Self(), function, deviceIndex);
#else
    (void)deviceIndex;
#endif
    return devrec::ResultFor(Self(), function);
}

uint32_t DeviceOf(uint32_t handle) {
    std::lock_guard lock(T().mutex);
    auto it = T().channels.find(handle);
    return it == T().channels.end() ? kNoDevice : it->second.deviceIndex;
}

bool KnownHandle(uint32_t handle) {
    std::lock_guard lock(T().mutex);
    return T().channels.count(handle) != 0;
}

// The body shared by the handle functions that only need a valid handle.
uint32_t Simple(const char* function, uint32_t handle, std::vector<uint64_t> args) {
    if (auto imposed = Enter(function, std::move(args), DeviceOf(handle))) return *imposed;
    return KnownHandle(handle) ? VARDA_OK : VARDA_ERR_INVALID_HANDLE;
}

}  // namespace

extern "C" {

#ifndef TESTDEV_NO_OPEN
uint32_t VARDA_Open(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved) {
    if (auto imposed = Enter("VARDA_Open", {deviceType, deviceIndex, reserved}, deviceIndex)) return *imposed;
    std::lock_guard lock(T().mutex);
    return T().open.insert({deviceType, deviceIndex}).second ? VARDA_OK : VARDA_ERR_ALREADY_OPEN;
}
#endif

#ifndef TESTDEV_NO_BOARD_INFO
uint32_t VARDA_ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VARDA_BOARD_INFO* info) {
    if (auto imposed = Enter("VARDA_ReadBoardInfo", {deviceType, deviceIndex, P(info)}, deviceIndex)) {
        return *imposed;
    }
    if (info == nullptr) return VARDA_ERR_INVALID_PARAM;
    std::lock_guard lock(T().mutex);
    if (T().open.count({deviceType, deviceIndex}) == 0) return VARDA_ERR_NOT_OPEN;
    std::memset(info, 0, sizeof *info);
    info->Identification[0] = static_cast<uint8_t>(deviceIndex);
    std::strcpy(info->SerialNumber, "4242");
    return VARDA_OK;
}
#endif

uint32_t VARDA_Close(uint32_t deviceType, uint32_t deviceIndex) {
    if (auto imposed = Enter("VARDA_Close", {deviceType, deviceIndex}, deviceIndex)) return *imposed;
    std::lock_guard lock(T().mutex);
    if (T().open.erase({deviceType, deviceIndex}) == 0) return VARDA_ERR_NOT_OPEN;
    std::erase_if(T().channels, [&](const auto& entry) {
        return entry.second.deviceType == deviceType && entry.second.deviceIndex == deviceIndex;
    });
    return VARDA_OK;
}

uint32_t VARDA_Init(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex, const VARDA_INIT_PARAM* initParam,
                    uint32_t* handleOut) {
    if (handleOut != nullptr) *handleOut = VARDA_INVALID_HANDLE;
    if (auto imposed =
            Enter("VARDA_Init", {deviceType, deviceIndex, channelIndex, P(initParam), P(handleOut)}, deviceIndex)) {
        return *imposed;
    }
    if (handleOut == nullptr || initParam == nullptr) return VARDA_ERR_INVALID_PARAM;
    std::lock_guard lock(T().mutex);
    if (T().open.count({deviceType, deviceIndex}) == 0) return VARDA_ERR_NOT_OPEN;
#ifdef TESTDEV_SAME_HANDLE
    uint32_t handle = kSameHandle;
#else
    uint32_t handle = 0x5A000000u | ((deviceIndex & 0xFFFFu) << 8) | (channelIndex & 0xFFu);
#endif
    if (auto forced = devrec::InitHandleFor(Self())) {
        *handleOut = *forced;
        return VARDA_OK;
    }
    T().channels[handle] = Channel{deviceType, deviceIndex, channelIndex};
    *handleOut = handle;
    return VARDA_OK;
}

uint32_t VARDA_Uninit(uint32_t handle) {
    if (auto imposed = Enter("VARDA_Uninit", {handle}, DeviceOf(handle))) return *imposed;
    std::lock_guard lock(T().mutex);
    return T().channels.erase(handle) != 0 ? VARDA_OK : VARDA_ERR_INVALID_HANDLE;
}

uint32_t VARDA_Online(uint32_t handle) { return Simple("VARDA_Online", handle, {handle}); }
uint32_t VARDA_Offline(uint32_t handle) { return Simple("VARDA_Offline", handle, {handle}); }
uint32_t VARDA_StartScan(uint32_t handle) { return Simple("VARDA_StartScan", handle, {handle}); }
uint32_t VARDA_StopScan(uint32_t handle) { return Simple("VARDA_StopScan", handle, {handle}); }
uint32_t VARDA_SaveCfg(uint32_t handle) { return Simple("VARDA_SaveCfg", handle, {handle}); }

uint32_t VARDA_AddSlave(uint32_t handle, const VARDA_SLAVE_CONFIG* slaveConfig) {
    return Simple("VARDA_AddSlave", handle, {handle, P(slaveConfig)});
}

uint32_t VARDA_RemoveSlave(uint32_t handle, uint32_t macId) {
    return Simple("VARDA_RemoveSlave", handle, {handle, macId});
}

uint32_t VARDA_EMRequest(uint32_t handle, uint32_t macId, uint32_t service, uint32_t classId, uint32_t instanceId,
                         const uint8_t* requestData, uint32_t requestLength, uint8_t* responseData,
                         uint32_t* responseLength, uint32_t timeoutMs) {
    uint32_t result = Simple("VARDA_EMRequest", handle,
                             {handle, macId, service, classId, instanceId, P(requestData), requestLength,
                              P(responseData), P(responseLength), timeoutMs});
    if (result == VARDA_OK && responseData != nullptr && responseLength != nullptr && *responseLength >= 2) {
        responseData[0] = static_cast<uint8_t>(service);
        responseData[1] = static_cast<uint8_t>(macId);
        *responseLength = 2;
    }
    return result;
}

uint32_t VARDA_ReadSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, uint8_t* buffer, uint32_t* length,
                           uint32_t timeoutMs) {
    uint32_t result =
        Simple("VARDA_ReadSlaveIO", handle, {handle, macId, connectionType, P(buffer), P(length), timeoutMs});
    if (result == VARDA_OK && buffer != nullptr && length != nullptr && *length >= 1) {
        buffer[0] = static_cast<uint8_t>(macId + connectionType);
        *length = 1;
    }
    return result;
}

uint32_t VARDA_WriteSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, const uint8_t* data,
                            uint32_t length, uint32_t timeoutMs) {
    return Simple("VARDA_WriteSlaveIO", handle, {handle, macId, connectionType, P(data), length, timeoutMs});
}

uint32_t VARDA_GetSlaveStatus(uint32_t handle, uint32_t macId) {
    return Simple("VARDA_GetSlaveStatus", handle, {handle, macId});
}

}  // extern "C"
