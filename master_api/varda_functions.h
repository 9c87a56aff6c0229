// The sixteen master API functions as one table of pointers, in export order. Whoever calls the
// API through a table can be handed the linked functions, the ones of a loaded library or
// scripted stand-ins.
#pragma once

#include <type_traits>

#include "varda_api.h"

struct VardaFunctions {
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

    // True when every entry is set.
    bool Complete() const {
        return Open && ReadBoardInfo && Close && Init && Uninit && Online && Offline && StartScan && StopScan &&
               AddSlave && RemoveSlave && SaveCfg && EMRequest && ReadSlaveIO && WriteSlaveIO && GetSlaveStatus;
    }

    // Fills every entry from a symbol lookup `resolve(name) -> void*` (names of
    // VARDA_FUNCTION_NAMES). Returns false when any entry stays empty.
    template <typename Resolver>
    bool Resolve(Resolver&& resolve) {
        auto one = [&](auto& entry, const char* name) {
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(resolve(name));
            return entry != nullptr;
        };
        bool all = true;
        all &= one(Open, VARDA_FUNCTION_NAMES[0]);
        all &= one(ReadBoardInfo, VARDA_FUNCTION_NAMES[1]);
        all &= one(Close, VARDA_FUNCTION_NAMES[2]);
        all &= one(Init, VARDA_FUNCTION_NAMES[3]);
        all &= one(Uninit, VARDA_FUNCTION_NAMES[4]);
        all &= one(Online, VARDA_FUNCTION_NAMES[5]);
        all &= one(Offline, VARDA_FUNCTION_NAMES[6]);
        all &= one(StartScan, VARDA_FUNCTION_NAMES[7]);
        all &= one(StopScan, VARDA_FUNCTION_NAMES[8]);
        all &= one(AddSlave, VARDA_FUNCTION_NAMES[9]);
        all &= one(RemoveSlave, VARDA_FUNCTION_NAMES[10]);
        all &= one(SaveCfg, VARDA_FUNCTION_NAMES[11]);
        all &= one(EMRequest, VARDA_FUNCTION_NAMES[12]);
        all &= one(ReadSlaveIO, VARDA_FUNCTION_NAMES[13]);
        all &= one(WriteSlaveIO, VARDA_FUNCTION_NAMES[14]);
        all &= one(GetSlaveStatus, VARDA_FUNCTION_NAMES[15]);
        return all;
    }
};
