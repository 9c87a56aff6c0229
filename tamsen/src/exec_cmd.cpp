#include "exec_cmd.h"

#include <algorithm>
#include <string>

#include "log.h"
#include "platform/byte_order.h"
#include "varda_api.h"

namespace tamsen {

namespace {

constexpr uint16_t kAckTimeoutMs = 3000;
constexpr uint16_t kResetAckTimeoutMs = 1000;
constexpr uint16_t kAckExTimeoutMs = 1000;
constexpr int kStateTries = 3;

// The pipe's state, or nothing when the request failed or returned no state.
std::optional<uint16_t> QueryPipeState(driver::Pipe& pipe) {
    uint8_t state[2] = {};
    std::optional<std::size_t> n = pipe.Control(driver::kControlGetPipeState, state);
    if (!n || *n < 2) return std::nullopt;
    return platform::GetU16LE(state, 0);
}

std::optional<uint16_t> QueryPipeStateWithRetries(driver::Pipe& pipe) {
    for (int attempt = 0; attempt < kStateTries; ++attempt) {
        if (std::optional<uint16_t> state = QueryPipeState(pipe)) return state;
    }
    return std::nullopt;
}

struct Group {
    driver::Pipe& cmd;
    driver::Pipe& ack;
    driver::Pipe& cmdEx;
    driver::Pipe& ackEx;
};

Group GroupFor(PipeSet& pipes, uint8_t code) {
    if (UsesExplicitGroup(code)) {
        return {pipes[kPipeEmCmd], pipes[kPipeEmAck], pipes[kPipeEmCmdEx], pipes[kPipeEmAckEx]};
    }
    return {pipes[kPipeCmd], pipes[kPipeAck], pipes[kPipeCmdEx], pipes[kPipeAckEx]};
}

// Restores byte 7 of an extended command when the exchange leaves, however it leaves.
class SavedByte {
public:
    explicit SavedByte(uint8_t& byte) : byte_(byte), saved_(byte) {}
    ~SavedByte() { byte_ = saved_; }
    SavedByte(const SavedByte&) = delete;
    SavedByte& operator=(const SavedByte&) = delete;
    void Restore() { byte_ = saved_; }

private:
    uint8_t& byte_;
    uint8_t saved_;
};

void LogBadAck(const char* fn, const CommandPacket& cmd, const ReceiveBuffer& rx, std::size_t bytesRead) {
    TAMSEN_LOG_ERROR(fn,
                     "cmd(%s)/ack(%s) failed, bytesRead=%d: %02x %02x %02x %02x %02x %02x %02x %02x %02x %02x "
                     "%02x %02x %02x %02x %02x %02x %02x %02x %02x %02x\n",
                     std::string(CommandName(cmd.Code())).c_str(), std::string(CommandName(rx[1])).c_str(),
                     static_cast<int>(bytesRead), rx[0], rx[1], rx[2], rx[3], rx[4], rx[5], rx[6], rx[7], rx[8], rx[9],
                     rx[10], rx[11], rx[12], rx[13], rx[14], rx[15], rx[16], rx[17], rx[18], rx[19]);
}

// The exchange after the lock (if any) is taken; `fn` names the caller in log lines.
uint32_t Exchange(const char* fn, PipeSet& pipes, ReceiveBuffer& rx, CommandPacket& cmd, uint32_t& ackLength) {
    ackLength = 0;
    const uint8_t code = cmd.Code();
    Group group = GroupFor(pipes, code);

    if (!CheckPipeState(group.ack)) {
        TAMSEN_LOG_ERROR(fn, "获取USB管道状态失败\n");
        return VARDA_ERR_INTERNAL;
    }

    // The receive buffer starts with the read request; the rest is cleared so that nothing of an
    // earlier exchange can be mistaken for this acknowledge.
    rx.fill(0);
    const auto request =
        MakeReadRequest(code == static_cast<uint8_t>(Cmd::DcReset) ? kResetAckTimeoutMs : kAckTimeoutMs);
    std::copy(request.begin(), request.end(), rx.begin());
    if (!group.ack.StartRead(kFirstTransfer, std::span<const uint8_t, 4>(rx.data(), 4))) {
        TAMSEN_LOG_ERROR(fn, "无法发送读ACK请求\n");
        return VARDA_ERR_INTERNAL;
    }

    {
        const bool extended = cmd.Extended() == 1;
        std::span<uint8_t> bytes = cmd.Bytes();
        SavedByte byte7(cmd.FirstTransfer()[7]);
        if (extended) {
            // The first 64 bytes carry a valid header check in byte 7.
            cmd.FirstTransfer()[7] = XorChecksum(std::span<const uint8_t>(bytes.data(), kHeaderSize));
        }
        if (!group.cmd.Write(cmd.FirstTransfer())) {
            TAMSEN_LOG_ERROR(fn, "无法发送命令\n");
            group.ack.CancelRead();
            return VARDA_ERR_INTERNAL;
        }
        if (extended) {
            byte7.Restore();
            if (!group.cmdEx.Write(cmd.Bytes())) {
                TAMSEN_LOG_ERROR(fn, "无法发送命令扩展数据\n");
                group.ack.CancelRead();
                return VARDA_ERR_INTERNAL;
            }
        }
    }

    const std::optional<std::size_t> read = group.ack.WaitRead(rx);
    const std::size_t bytesRead = read.value_or(0);
    const uint32_t length = bytesRead >= kHeaderSize ? platform::GetU32LE(rx, 2) : 0;
    if (!read || bytesRead < kHeaderSize || (length & kErrorAckBit) != 0 || rx[1] != code) {
        uint32_t result = VARDA_ERR_INTERNAL;
        if (bytesRead == 0) {
            TAMSEN_LOG_ERROR(fn, "ack(%s) failed: bytesRead=0\n", std::string(CommandName(code)).c_str());
        } else {
            LogBadAck(fn, cmd, rx, bytesRead);
            // An error acknowledge carries the adapter's code; one that is cut short or carries 0
            // is still a failure.
            if (rx[1] == code && length == kErrorAckLength && bytesRead >= kHeaderSize + 4) {
                const uint32_t adapterCode = platform::GetU32LE(rx, kHeaderSize);
                if (adapterCode != 0) result = adapterCode;
            }
        }
        if (rx[1] != code) {
            // A late acknowledge of an earlier command must not answer the next one.
            (void)ResetPipe(group.ack);
            (void)CheckPipeState(group.ack);
            (void)ResetPipe(group.ackEx);
            (void)CheckPipeState(group.ackEx);
        }
        return result;
    }

    const uint64_t total = static_cast<uint64_t>(length) + kPacketOverhead;
    if (total > kMaxPacket) {
        TAMSEN_LOG_ERROR(fn, "无效ACK长度: %d\n", static_cast<int>(total));
        return VARDA_ERR_INTERNAL;
    }

    std::size_t received = bytesRead;
    if (rx[6] != 0) {
        if (!CheckPipeState(group.ack)) {
            TAMSEN_LOG_ERROR(fn, "获取USB管道状态失败\n");
            return VARDA_ERR_INTERNAL;
        }
        const uint8_t first[kHeaderSize] = {rx[0], rx[1], rx[2], rx[3], rx[4], rx[5], rx[6]};
        rx.fill(0);
        const auto exRequest = MakeReadRequest(kAckExTimeoutMs);
        std::copy(exRequest.begin(), exRequest.end(), rx.begin());
        std::optional<std::size_t> exRead;
        if (group.ackEx.StartRead(total, std::span<const uint8_t, 4>(rx.data(), 4))) {
            exRead = group.ackEx.WaitRead(rx);
        }
        if (!exRead || *exRead == 0) {
            TAMSEN_LOG_ERROR(fn, "读ACK扩展数据失败\n");
            return VARDA_ERR_INTERNAL;
        }
        received = *exRead;
        // The whole acknowledge must repeat the header it was announced with.
        if (received < kHeaderSize || !std::equal(first + 1, first + kHeaderSize - 1, rx.begin() + 1)) {
            LogBadAck(fn, cmd, rx, received);
            return VARDA_ERR_INTERNAL;
        }
    }

    if (received < total) {
        // The length field promises more than arrived: the payload would be read from bytes
        // that the adapter never sent.
        LogBadAck(fn, cmd, rx, received);
        return VARDA_ERR_INTERNAL;
    }
    ackLength = static_cast<uint32_t>(total);
    return VARDA_OK;
}

uint32_t Run(const char* fn, TamsenDevice& device, ReceiveBuffer& rx, CommandPacket& cmd, uint32_t& ackLength,
             bool lock) {
    std::unique_lock<std::mutex> guard(device.CommandLock(UsesExplicitGroup(cmd.Code())), std::defer_lock);
    if (lock) guard.lock();
    const uint32_t result = Exchange(fn, device.Pipes(), rx, cmd, ackLength);
    if (guard.owns_lock()) guard.unlock();
    if (result != VARDA_OK) TAMSEN_LOG_ERROR(fn, "err=%d\n", static_cast<int>(result));
    return result;
}

}  // namespace

uint32_t ExecCmd(TamsenDevice& device, ReceiveBuffer& rx, CommandPacket& cmd, uint32_t& ackLength) {
    return Run("ExecCmd", device, rx, cmd, ackLength, true);
}

uint32_t ExecCmdUnlock(TamsenDevice& device, ReceiveBuffer& rx, CommandPacket& cmd, uint32_t& ackLength) {
    return Run("ExecCmdUnlock", device, rx, cmd, ackLength, false);
}

bool CheckPipeState(driver::Pipe& pipe) {
    std::optional<uint16_t> state = QueryPipeStateWithRetries(pipe);
    if (!state) {
        TAMSEN_LOG_ERROR("CheckPipeState", "无法获取管道状态(0x%08x)\n", pipe.Id());
        return false;
    }
    if (*state == 0) return true;
    if (!pipe.Control(driver::kControlResetPipe, {})) {
        TAMSEN_LOG_ERROR("CheckPipeState", "复位管道失败(0x%08x)\n", pipe.Id());
        return false;
    }
    state = QueryPipeStateWithRetries(pipe);
    if (!state) {
        TAMSEN_LOG_ERROR("CheckPipeState", "无法获取管道状态(0x%08x)\n", pipe.Id());
        return false;
    }
    if (*state != 0) {
        TAMSEN_LOG_ERROR("CheckPipeState", "管道状态无效(0x%08x)\n", pipe.Id());
        return false;
    }
    return true;
}

bool ResetPipe(driver::Pipe& pipe) {
    if (!pipe.Control(driver::kControlResetPipe, {})) {
        TAMSEN_LOG_ERROR("ResetPipe", "复位管道失败(0x%08x)\n", pipe.Id());
        return false;
    }
    return true;
}

}  // namespace tamsen
