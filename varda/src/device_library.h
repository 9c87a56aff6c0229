// A device library: the shared library the registry names for one device type, with the
// sixteen master API entry points resolved from it.
#pragma once

#include <cstdint>

#include "platform/module.h"
#include "varda_api.h"

namespace varda {

struct DeviceLibrary {
    // Entry points in export order; any of them is null when the library lacks that export.
    PFN_VARDA_Open Open = nullptr;
    PFN_VARDA_ReadBoardInfo ReadBoardInfo = nullptr;
    PFN_VARDA_Close Close = nullptr;
    PFN_VARDA_Init Init = nullptr;
    PFN_VARDA_Uninit Uninit = nullptr;
    PFN_VARDA_Online Online = nullptr;
    PFN_VARDA_Offline Offline = nullptr;
    PFN_VARDA_StartScan StartScan = nullptr;
    PFN_VARDA_StopScan StopScan = nullptr;
    PFN_VARDA_AddSlave AddSlave = nullptr;
    PFN_VARDA_RemoveSlave RemoveSlave = nullptr;
    PFN_VARDA_SaveCfg SaveCfg = nullptr;
    PFN_VARDA_EMRequest EMRequest = nullptr;
    PFN_VARDA_ReadSlaveIO ReadSlaveIO = nullptr;
    PFN_VARDA_WriteSlaveIO WriteSlaveIO = nullptr;
    PFN_VARDA_GetSlaveStatus GetSlaveStatus = nullptr;

    uint32_t deviceType = 0;
    platform::Module module;  // unloaded when the record goes away
};

// Finds the device library of `deviceType` in the registry, loads it and resolves its entry
// points. Throws VARDAException (code 41) with the reason, or std::bad_alloc.
DeviceLibrary LoadDeviceLibrary(uint32_t deviceType);

}  // namespace varda
