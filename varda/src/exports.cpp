// The sixteen exported functions. Errors raised inside the library end here: they are logged
// with the function's label and become result codes; none crosses the library boundary.
#include <new>

#include "dispatcher.h"
#include "error_log.h"
#include "varda_api.h"
#include "varda_exception.h"

namespace {

// Created when the library is loaded, destroyed when it is unloaded.
varda::Dispatcher dispatcher;

template <typename Body>
uint32_t Guarded(const char* label, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        varda::LogError(label, "Insufficient memory");
        return VARDA_ERR_NO_MEMORY;
    } catch (const varda::VARDAException& e) {
        varda::LogError(label, e.Text());
        return e.Code();
    } catch (...) {
        varda::LogError(label, "Unknown exception occur");
        return VARDA_ERR_INTERNAL;
    }
}

// The handle functions raise nothing of their own; this only keeps a failing lock or a
// misbehaving device library from taking the caller down.
template <auto Entry, typename... Args>
uint32_t ForwardGuarded(uint32_t handle, Args... args) noexcept {
    try {
        return dispatcher.Forward<Entry>(handle, args...);
    } catch (...) {
        return VARDA_ERR_INTERNAL;
    }
}

}  // namespace

extern "C" {

uint32_t VARDA_Open(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved) {
    return Guarded("VARDA_Open()", [&] { return dispatcher.Open(deviceType, deviceIndex, reserved); });
}

uint32_t VARDA_ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VARDA_BOARD_INFO* info) {
    return Guarded("VARDA_ReadBoardInfo()", [&] { return dispatcher.ReadBoardInfo(deviceType, deviceIndex, info); });
}

uint32_t VARDA_Close(uint32_t deviceType, uint32_t deviceIndex) {
    return Guarded("VARDA_Close()", [&] { return dispatcher.Close(deviceType, deviceIndex); });
}

uint32_t VARDA_Init(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex, const VARDA_INIT_PARAM* initParam,
                    uint32_t* handleOut) {
    return Guarded("VARDA_Init()",
                   [&] { return dispatcher.Init(deviceType, deviceIndex, channelIndex, initParam, handleOut); });
}

uint32_t VARDA_Uninit(uint32_t handle) {
    return Guarded("VARDA_Uninit()", [&] { return dispatcher.Uninit(handle); });
}

uint32_t VARDA_Online(uint32_t handle) { return ForwardGuarded<&varda::DeviceLibrary::Online>(handle); }

uint32_t VARDA_Offline(uint32_t handle) { return ForwardGuarded<&varda::DeviceLibrary::Offline>(handle); }

uint32_t VARDA_StartScan(uint32_t handle) { return ForwardGuarded<&varda::DeviceLibrary::StartScan>(handle); }

uint32_t VARDA_StopScan(uint32_t handle) { return ForwardGuarded<&varda::DeviceLibrary::StopScan>(handle); }

uint32_t VARDA_AddSlave(uint32_t handle, const VARDA_SLAVE_CONFIG* slaveConfig) {
    return ForwardGuarded<&varda::DeviceLibrary::AddSlave>(handle, slaveConfig);
}

uint32_t VARDA_RemoveSlave(uint32_t handle, uint32_t macId) {
    return ForwardGuarded<&varda::DeviceLibrary::RemoveSlave>(handle, macId);
}

uint32_t VARDA_SaveCfg(uint32_t handle) { return ForwardGuarded<&varda::DeviceLibrary::SaveCfg>(handle); }

uint32_t VARDA_EMRequest(uint32_t handle, uint32_t macId, uint32_t service, uint32_t classId, uint32_t instanceId,
                         const uint8_t* requestData, uint32_t requestLength, uint8_t* responseData,
                         uint32_t* responseLength, uint32_t timeoutMs) {
    return ForwardGuarded<&varda::DeviceLibrary::EMRequest>(handle, macId, service, classId, instanceId, requestData,
                                                            requestLength, responseData, responseLength, timeoutMs);
}

uint32_t VARDA_ReadSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, uint8_t* buffer, uint32_t* length,
                           uint32_t timeoutMs) {
    return ForwardGuarded<&varda::DeviceLibrary::ReadSlaveIO>(handle, macId, connectionType, buffer, length, timeoutMs);
}

uint32_t VARDA_WriteSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, const uint8_t* data,
                            uint32_t length, uint32_t timeoutMs) {
    return ForwardGuarded<&varda::DeviceLibrary::WriteSlaveIO>(handle, macId, connectionType, data, length, timeoutMs);
}

uint32_t VARDA_GetSlaveStatus(uint32_t handle, uint32_t macId) {
    return ForwardGuarded<&varda::DeviceLibrary::GetSlaveStatus>(handle, macId);
}

}  // extern "C"
