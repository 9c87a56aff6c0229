// The DeviceNet test interface: the seven DNetTest_ functions, the thread-message fetchers and
// the receive thread of a test-mode adapter.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "card_selection.h"
#include "device_table.h"
#include "dnettest.h"
#include "driver/driver.h"
#include "exec_cmd.h"
#include "log.h"
#include "packet.h"
#include "platform/byte_order.h"
#include "tamsen_exception.h"
#include "thread_messages.h"

namespace tamsen {

namespace {

constexpr auto kFullPoll = std::chrono::milliseconds(1);
// After a failed fetch the thread waits this long before the next one, so that an adapter that
// is gone does not keep a core busy and flood the debug output.
constexpr auto kFailurePause = std::chrono::milliseconds(10);
constexpr std::size_t kStartPayloadSize = 128;

uint32_t Exchange(TamsenDevice& device, Cmd code, std::span<const uint8_t> payload) {
    CommandPacket cmd(code, payload);
    ReceiveBuffer rx{};
    uint32_t ackLength = 0;
    return ExecCmd(device, rx, cmd, ackLength);
}

// Finds a test-mode device by key and adds a use; nullptr when there is none.
TamsenDevice* AcquireTestDevice(uint32_t key) {
    DeviceTables& tables = DeviceTables::Instance();
    std::lock_guard<std::mutex> guard(tables.Lock());
    TamsenDevice* device = tables.FindDevice(key);
    if (device == nullptr || device->testMode == 0 || device->closing != 0) return nullptr;
    ++device->useCount;
    return device;
}

// Runs one test command on the device of `key`; 1 on success, 0 otherwise. `failure` is the log
// text of a failed exchange.
uint32_t TestCommand(uint32_t key, Cmd code, std::span<const uint8_t> payload, const char* function,
                     const char* failure) {
    try {
        TamsenDevice* found = AcquireTestDevice(key);
        if (found == nullptr) return 0;
        DeviceUse device(found);
        const uint32_t result = Exchange(*device, code, payload);
        if (result != VARDA_OK) {
            LogAt("ERROR", function, __LINE__, "%s failed: err=%d\n", failure, static_cast<int>(result));
            return 0;
        }
        return 1;
    } catch (...) {
        return 0;
    }
}

void PostReceived(TestSession& session) {
    (void)PostThreadMessage(session.NotifyThread(), WM_DNET_RECEIVED, session.Key(),
                            reinterpret_cast<uintptr_t>(&session.Ring().Header()));
}

void StartDrv(uint8_t* block) {
    const uint32_t selection = SelectCard();
    if ((selection & 0xFF) == kCardCancelled) return;
    const uint32_t card = selection / 256;
    const std::span<const uint8_t, DNETTEST_BLOCK_SIZE> caller(block, DNETTEST_BLOCK_SIZE);
    const uint32_t key = platform::GetU32LE(caller, DNETTEST_BLOCK_KEY);

    DeviceTables& tables = DeviceTables::Instance();
    std::lock_guard<std::mutex> guard(tables.Lock());
    // One key for both tests: the key must be free and the adapter must not be open already.
    if (tables.FindDevice(key) != nullptr || tables.FindByAdapter(card) != nullptr) {
        TAMSEN_LOG_WARNING("DNetTest_StartDrv", "Device opened\n");
        return;
    }
    std::shared_ptr<driver::Driver> drv = driver::ActiveDriver();
    auto device = std::make_unique<TamsenDevice>(std::make_unique<PipeSet>(*drv, card), card);
    device->testMode = 1;
    device->testSession = std::make_unique<TestSession>(caller, key);
    uint32_t result = Exchange(*device, Cmd::DcReset, {});
    if (result == VARDA_OK) {
        std::array<uint8_t, kStartPayloadSize> payload{};
        payload[DNETTEST_BLOCK_CONFIG] = caller[DNETTEST_BLOCK_CONFIG];
        result = Exchange(*device, Cmd::DcDntStartDrv, payload);
    }
    if (result != VARDA_OK) throw TamsenException("Device not ready", result);
    TamsenDevice* raw = device.get();
    TestSession* session = device->testSession.get();
    try {
        session->StartThread([raw, session] { raw->RxThread(*session); });
    } catch (const std::system_error&) {
        throw TamsenException("Failed to create Rx-Thread", 0);
    }
    device->useCount = 1;
    tables.AddDevice(key, std::move(device));
    platform::PutU32LE(std::span<uint8_t>(block, DNETTEST_BLOCK_SIZE), DNETTEST_BLOCK_STARTED, 1);
}

}  // namespace

uint32_t TamsenDevice::RxThread(TestSession& session) {
    (void)PostThreadMessage(session.NotifyThread(), WM_DNET_STARTED, 0,
                            reinterpret_cast<uintptr_t>(session.Block().data()));
    CommandPacket cmd(Cmd::DcDntRecv, {});
    ReceiveBuffer rx{};
    RxRing& ring = session.Ring();
    while (!session.StopRequested()) {
        // Fetch only when a whole acknowledge fits: no record is dropped or overwrites an unread one.
        while (ring.Free() < DNETTEST_RECORDS_PER_FETCH && !session.StopRequested()) {
            session.WaitForStop(kFullPoll);
            PostReceived(session);
        }
        if (session.StopRequested()) break;

        uint32_t total = 0;
        const uint32_t result = ExecCmdUnlock(*this, rx, cmd, total);
        if (result != VARDA_OK) {
            TAMSEN_LOG_ERROR("TamsenDevice::RxThread", "ExecCmdUnlock(DcDntRecv) failed: err=%d\n",
                             static_cast<int>(result));
            session.WaitForStop(kFailurePause);
            continue;
        }
        if (total == 0 || (total - kPacketOverhead) % DNETTEST_RECORD_SIZE != 0) {
            TAMSEN_LOG_ERROR("TamsenDevice::RxThread", "Invalid ack len: bytesReturned=%d\n", static_cast<int>(total));
            continue;
        }
        const std::size_t bytes = total - kPacketOverhead;
        (void)ring.Write(std::span<const uint8_t>(rx.data() + kHeaderSize, bytes));
        PostReceived(session);
    }
    return 0;
}

}  // namespace tamsen

using namespace tamsen;

extern "C" {

void DNetTest_StartDrv(uint8_t* block) {
    if (block == nullptr) return;
    try {
        StartDrv(block);
    } catch (...) {
        // The caller sees only that offset 12 stayed as it was.
    }
}

void DNetTest_StopDrv(uint32_t key) {
    try {
        DeviceTables& tables = DeviceTables::Instance();
        std::lock_guard<std::mutex> guard(tables.Lock());
        TamsenDevice* device = tables.FindDevice(key);
        if (device == nullptr || device->testMode == 0 || device->closing != 0) return;
        device->closing = 1;
        tables.ReleaseLocked(device);
    } catch (...) {
    }
}

void DNetTest_Produce(uint32_t length, uint32_t value, const uint8_t* data, uint32_t key) {
    // 8 header bytes + 8 + 48 data bytes + check: the packet fits the 64-byte first transfer.
    if (length > DNETTEST_MAX_PRODUCE || (length > 0 && data == nullptr)) {
        TAMSEN_LOG_ERROR("DNetTest_Produce", "invalid data: length=%u\n", length);
        return;
    }
    std::array<uint8_t, 8 + DNETTEST_MAX_PRODUCE> payload{};
    platform::PutU32LE(payload, 0, length);
    platform::PutU32LE(payload, 4, value);
    if (length > 0) std::memcpy(payload.data() + 8, data, length);
    (void)TestCommand(key, Cmd::DcDntProduce, std::span<const uint8_t>(payload.data(), 8 + length), "DNetTest_Produce",
                      "ExecCmd(Produce)");
}

uint32_t DNetTest_ReConfig(uint32_t key, uint32_t value) {
    const uint8_t payload[1] = {static_cast<uint8_t>(value & 0xFF)};
    return TestCommand(key, Cmd::DcDntReConfig, payload, "DNetTest_ReConfig", "ExecCmd(ReConfig)");
}

uint32_t DNetTest_Offline(uint32_t key) {
    return TestCommand(key, Cmd::DcDntOffline, {}, "DNetTest_Offline", "ExecCmd(Offline)");
}

uint32_t DNetTest_Online(uint32_t key) {
    return TestCommand(key, Cmd::DcDntOnline, {}, "DNetTest_Online", "ExecCmd(Online)");
}

void DNetTest_SetScreen(void) {}

uint32_t DNetTest_GetMessage(DNetTestMessage* message, uint32_t timeoutMs) {
    if (message == nullptr) return 0;
    try {
        std::optional<DNetTestMessage> m = GetThreadMessage(timeoutMs);
        if (!m) return 0;
        *message = *m;
        return 1;
    } catch (...) {
        return 0;
    }
}

uint32_t DNetTest_PeekMessage(DNetTestMessage* message, uint32_t remove) {
    if (message == nullptr) return 0;
    try {
        std::optional<DNetTestMessage> m = PeekThreadMessage(remove == DNETTEST_PM_REMOVE);
        if (!m) return 0;
        *message = *m;
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
