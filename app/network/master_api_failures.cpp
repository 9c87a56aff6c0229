#include "network/master_api_failures.h"

#include <atomic>
#include <stdexcept>

namespace netsvc {

namespace {

// The functions of the table are plain pointers: they find the table they forward to and the
// counts here. Calls come from the user-interface thread, the pollers and the editor's workers.
// The table stays set after the counter goes: a call that read the counting table just before
// may still arrive.
std::atomic<const VardaFunctions*> forwardTo{nullptr};
std::atomic<bool> claimed{false};
std::atomic<uint64_t> failed[MasterApiFailureCount::kFunctionCount];
std::atomic<bool> countExplicit{false};

uint32_t CountedEMRequest(uint32_t handle, uint32_t mac, uint32_t service, uint32_t classId, uint32_t instance,
                          const uint8_t* request, uint32_t requestLength, uint8_t* reply, uint32_t* replyLength,
                          uint32_t timeoutMs) {
    const uint32_t rc = forwardTo.load()->EMRequest(handle, mac, service, classId, instance, request, requestLength,
                                                    reply, replyLength, timeoutMs);
    if (rc != 0 && rc != VARDA_ERR_MASTER_OFFLINE && countExplicit.load()) ++failed[MasterApiFailureCount::kEMRequest];
    return rc;
}

uint32_t CountedReadSlaveIO(uint32_t handle, uint32_t mac, uint32_t type, uint8_t* buffer, uint32_t* length,
                            uint32_t timeoutMs) {
    const uint32_t rc = forwardTo.load()->ReadSlaveIO(handle, mac, type, buffer, length, timeoutMs);
    if (rc != 0) ++failed[MasterApiFailureCount::kReadSlaveIO];
    return rc;
}

uint32_t CountedWriteSlaveIO(uint32_t handle, uint32_t mac, uint32_t type, const uint8_t* data, uint32_t length,
                             uint32_t timeoutMs) {
    const uint32_t rc = forwardTo.load()->WriteSlaveIO(handle, mac, type, data, length, timeoutMs);
    if (rc != 0) ++failed[MasterApiFailureCount::kWriteSlaveIO];
    return rc;
}

const VardaFunctions& Claim() {
    if (claimed.exchange(true)) throw std::logic_error("a failure counter is installed already");
    const VardaFunctions* current = &MasterApi();
    forwardTo = current;
    for (auto& count : failed) count = 0;
    countExplicit = false;
    return *current;
}

VardaFunctions CountingTable(const VardaFunctions& inner) {
    VardaFunctions table = inner;
    table.EMRequest = &CountedEMRequest;
    table.ReadSlaveIO = &CountedReadSlaveIO;
    table.WriteSlaveIO = &CountedWriteSlaveIO;
    return table;
}

}  // namespace

MasterApiFailureCount::MasterApiFailureCount() : table_(CountingTable(Claim())) { scope_.emplace(table_); }

MasterApiFailureCount::~MasterApiFailureCount() {
    scope_.reset();
    claimed = false;
}

uint64_t MasterApiFailureCount::Failed(Function function) const { return failed[function].load(); }

void MasterApiFailureCount::CountExplicitRequests(bool on) { countExplicit = on; }

const char* MasterApiFailureCount::Name(Function function) {
    static const char* const kNames[kFunctionCount] = {"VARDA_EMRequest", "VARDA_ReadSlaveIO", "VARDA_WriteSlaveIO"};
    return kNames[function];
}

}  // namespace netsvc
