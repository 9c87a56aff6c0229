#include "monitor/console_session.h"

#include <utility>

#include "network/master_api_table.h"
#include "network/slave_dev.h"

namespace monitor {

ConsoleApi MasterConsoleApi(uint32_t handle) {
    ConsoleApi api;
    api.emRequest = [handle](uint32_t mac, uint32_t service, uint32_t cls, uint32_t inst, std::span<const uint8_t> req,
                             std::span<uint8_t> reply, uint32_t& length, uint32_t timeout) {
        return netsvc::MasterApi().EMRequest(handle, mac, service, cls, inst, req.data(),
                                             static_cast<uint32_t>(req.size()), reply.data(), &length, timeout);
    };
    api.readIo = [handle](uint32_t mac, uint32_t type, std::span<uint8_t> buffer, uint32_t& length, uint32_t timeout) {
        return netsvc::MasterApi().ReadSlaveIO(handle, mac, type, buffer.data(), &length, timeout);
    };
    api.writeIo = [handle](uint32_t mac, uint32_t type, std::span<const uint8_t> data, uint32_t timeout) {
        return netsvc::MasterApi().WriteSlaveIO(handle, mac, type, data.data(), static_cast<uint32_t>(data.size()),
                                                timeout);
    };
    api.slaveStatus = [handle](uint32_t mac) { return netsvc::MasterApi().GetSlaveStatus(handle, mac); };
    return api;
}

IoInputSizes InputSizesOf(const CSlaveDev& slave) {
    const VARDA_SLAVE_CONFIG record = slave.Config().record.Record();
    return {record.StrobeInputSize, record.PollInputSize, record.CosInputSize};
}

ConsoleSession::ConsoleSession(ConsoleApi api, IConsoleReports& reports) : api_(std::move(api)), reports_(reports) {}

std::optional<SendOutcome> ConsoleSession::Send(uint32_t mac, const ExplicitRequest& request, uint32_t timeoutMs,
                                                bool timed, int retryCount) {
    const auto hold = sending_.TryHold();
    if (!hold) {
        ++skipped_;
        return std::nullopt;
    }
    return SendRequest(api_, reports_, mac, request, timeoutMs, timed, retryCount);
}

IoReadOutcome ConsoleSession::ReadIo(uint32_t mac, int connectionType, const IoInputSizes& sizes, uint32_t timeoutMs) {
    return monitor::ReadIo(api_, reports_, mac, connectionType, sizes, timeoutMs);
}

IoWriteOutcome ConsoleSession::WriteIo(uint32_t mac, int connectionType, std::span<const uint8_t> editorBytes,
                                       uint32_t timeoutMs) {
    return monitor::WriteIo(api_, reports_, mac, connectionType, editorBytes, timeoutMs);
}

uint32_t ConsoleSession::SlaveStatus(uint32_t mac) { return api_.slaveStatus(mac); }

}  // namespace monitor
