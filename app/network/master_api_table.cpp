#include "network/master_api_table.h"

#include <atomic>

namespace netsvc {

namespace {

std::atomic<const VardaFunctions*> installed{nullptr};

}  // namespace

const VardaFunctions& LinkedMasterApi() {
    static const VardaFunctions linked{
        &VARDA_Open,      &VARDA_ReadBoardInfo, &VARDA_Close,        &VARDA_Init,
        &VARDA_Uninit,    &VARDA_Online,        &VARDA_Offline,      &VARDA_StartScan,
        &VARDA_StopScan,  &VARDA_AddSlave,      &VARDA_RemoveSlave,  &VARDA_SaveCfg,
        &VARDA_EMRequest, &VARDA_ReadSlaveIO,   &VARDA_WriteSlaveIO, &VARDA_GetSlaveStatus,
    };
    return linked;
}

const VardaFunctions& MasterApi() {
    const VardaFunctions* table = installed.load(std::memory_order_acquire);
    return table != nullptr ? *table : LinkedMasterApi();
}

void SetMasterApi(const VardaFunctions* table) { installed.store(table, std::memory_order_release); }

ScopedMasterApi::ScopedMasterApi(const VardaFunctions& table)
    : previous_(installed.exchange(&table, std::memory_order_acq_rel)) {}

ScopedMasterApi::~ScopedMasterApi() { installed.store(previous_, std::memory_order_release); }

}  // namespace netsvc
