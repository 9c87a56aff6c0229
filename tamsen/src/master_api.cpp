// The sixteen master-API functions over the adapter's command protocol.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "device_table.h"
#include "driver/driver.h"
#include "exec_cmd.h"
#include "log.h"
#include "packet.h"
#include "platform/byte_order.h"
#include "platform/debug_output.h"
#include "tamsen_exception.h"
#include "varda_api.h"

namespace tamsen {

namespace {

constexpr uint32_t kDeviceType = 101;
constexpr std::size_t kBoardInfoSize = sizeof(VARDA_BOARD_INFO);
constexpr uint32_t kMaxRequestLength = 106;
constexpr uint32_t kMaxIoLength = 255;
constexpr uint32_t kMaxIoTimeout = 30000;

// One exchange with a fresh receive buffer. `payload` receives the acknowledge's payload.
uint32_t Exchange(TamsenDevice& device, Cmd code, std::span<const uint8_t> payloadOut, ReceiveBuffer& rx,
                  std::span<const uint8_t>& ackPayload) {
    CommandPacket cmd(code, payloadOut);
    uint32_t ackLength = 0;
    const uint32_t result = ExecCmd(device, rx, cmd, ackLength);
    ackPayload = {};
    if (result == VARDA_OK && ackLength >= kPacketOverhead) {
        ackPayload = std::span<const uint8_t>(rx.data() + kHeaderSize, ackLength - kPacketOverhead);
    }
    return result;
}

uint32_t Exchange(TamsenDevice& device, Cmd code, std::span<const uint8_t> payloadOut) {
    ReceiveBuffer rx{};
    std::span<const uint8_t> ack;
    return Exchange(device, code, payloadOut, rx, ack);
}

// Finds the device of a handle and adds a use; nullptr for an invalid handle.
TamsenDevice* AcquireByHandle(uint32_t handle, uint32_t& channelIndex) {
    DeviceTables& tables = DeviceTables::Instance();
    std::lock_guard<std::mutex> guard(tables.Lock());
    TamsenChannel* channel = tables.FindHandle(handle);
    // A handle of a closed card is no longer usable, even while calls that began before the close
    // still hold the card: a new call would only send commands to an adapter that was closed.
    if (channel == nullptr || channel->device->closing != 0) return nullptr;
    channelIndex = channel->channelIndex;
    ++channel->device->useCount;
    return channel->device;
}

// Finds a master-mode device by index and adds a use; nullptr when absent or in test mode.
TamsenDevice* AcquireByIndex(uint32_t deviceIndex) {
    DeviceTables& tables = DeviceTables::Instance();
    std::lock_guard<std::mutex> guard(tables.Lock());
    TamsenDevice* device = tables.FindDevice(deviceIndex);
    if (device == nullptr || device->testMode != 0) return nullptr;
    ++device->useCount;
    return device;
}

// A command with the one payload byte channel + 1 (or none) on the device of a handle.
uint32_t SimpleChannelCommand(uint32_t handle, Cmd code, bool withChannel) {
    uint32_t channel = 0;
    TamsenDevice* found = AcquireByHandle(handle, channel);
    if (found == nullptr) return VARDA_ERR_INVALID_HANDLE;
    DeviceUse device(found);
    const uint8_t payload[1] = {static_cast<uint8_t>(channel + 1)};
    return Exchange(*device, code, withChannel ? std::span<const uint8_t>(payload) : std::span<const uint8_t>());
}

void LogCaught(const char* label, const std::string& text) {
    platform::DebugOutput(platform::TimestampedLine("tamsen.dll", label, text));
}

// Runs the body of an exported function so that no exception leaves the library.
template <typename Body>
uint32_t Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return VARDA_ERR_NO_MEMORY;
    } catch (const TamsenException& e) {
        return e.Code();
    } catch (...) {
        return VARDA_ERR_INTERNAL;
    }
}

// The same, with a use of the device of a handle held while `body` (device, channel index) runs;
// an invalid handle gives 48.
template <typename Body>
uint32_t GuardedOnHandle(uint32_t handle, Body body) {
    return Guarded([&]() -> uint32_t {
        uint32_t channel = 0;
        TamsenDevice* found = AcquireByHandle(handle, channel);
        if (found == nullptr) return VARDA_ERR_INVALID_HANDLE;
        DeviceUse device(found);
        return body(*device, channel);
    });
}

// The same, for the functions that log what they catch.
template <typename Body>
uint32_t GuardedLogged(const char* label, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        LogCaught(label, "Insufficient memory");
        return VARDA_ERR_NO_MEMORY;
    } catch (const TamsenException& e) {
        LogCaught(label, e.what());
        return e.Code();
    } catch (...) {
        LogCaught(label, "Unknown exception occured");
        return VARDA_ERR_INTERNAL;
    }
}

bool InitParamValid(const VARDA_INIT_PARAM& p) {
    return p.MacId <= 63 && p.BaudRate <= 2 && p.ScanDelay >= 1 && p.ScanDelay <= 65535 && p.IntervalScanCycle >= 1 &&
           p.IntervalScanCycle <= 65535 && p.ExpectedPacketRate >= 1 && p.ExpectedPacketRate <= 65535 &&
           p.RetryCount >= 1 && p.RetryCount <= 10 && p.Option1 <= 1 && p.Option2 <= 1 && p.AutoMapSize <= 32;
}

bool SlaveConfigValid(const VARDA_SLAVE_CONFIG& c) {
    return c.MacId <= 63 && c.VendorId <= 65535 && c.ProductType <= 65535 && c.ProductCode <= 65535 &&
           c.HeartbeatTime <= 65535 && c.AckTimeout <= 65535 && c.ProductionInhibitTime <= 65535 &&
           c.BackgroundPoll <= 1;
}

// Library load: one line naming the build.
struct LoadMessage {
    LoadMessage() {
        (void)DeviceTables::Instance();
        LogRaw("tamsen.dll : INFO : Release version, %s %s\n", __DATE__, __TIME__);
    }
} const loadMessage;

}  // namespace

}  // namespace tamsen

using namespace tamsen;

extern "C" {

uint32_t VARDA_Open(uint32_t deviceType, uint32_t deviceIndex, uint32_t /*reserved*/) {
    if (deviceType != kDeviceType) return VARDA_ERR_INVALID_PARAM;
    return GuardedLogged("VARDA_Open()", [&]() -> uint32_t {
        DeviceTables& tables = DeviceTables::Instance();
        std::lock_guard<std::mutex> guard(tables.Lock());
        // The adapter may also be open in test mode under a key of its user's.
        if (tables.FindDevice(deviceIndex) != nullptr || tables.FindByAdapter(deviceIndex) != nullptr) {
            TAMSEN_LOG_WARNING("VARDA_Open", "Device opened\n");
            return VARDA_ERR_ALREADY_OPEN;
        }
        std::shared_ptr<driver::Driver> drv = driver::ActiveDriver();
        auto device = std::make_unique<TamsenDevice>(std::make_unique<PipeSet>(*drv, deviceIndex), deviceIndex);
        uint32_t result = Exchange(*device, Cmd::DcReset, {});
        if (result == VARDA_OK) result = Exchange(*device, Cmd::Open, {});
        if (result != VARDA_OK) {
            device.reset();  // closes the pipes
            throw TamsenException("Device not ready", result);
        }
        device->useCount = 1;
        tables.AddDevice(deviceIndex, std::move(device));
        return VARDA_OK;
    });
}

uint32_t VARDA_ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VARDA_BOARD_INFO* info) {
    if (deviceType != kDeviceType || info == nullptr) return VARDA_ERR_INVALID_PARAM;
    std::memset(info, 0, sizeof *info);
    return Guarded([&]() -> uint32_t {
        TamsenDevice* found = AcquireByIndex(deviceIndex);
        if (found == nullptr) return VARDA_ERR_NOT_OPEN;
        DeviceUse device(found);
        ReceiveBuffer rx{};
        std::span<const uint8_t> ack;
        const uint32_t result = Exchange(*device, Cmd::GetInfo, {}, rx, ack);
        if (result != VARDA_OK) return result;
        // The identification as received; what the adapter did not send stays zero.
        uint8_t bytes[kBoardInfoSize] = {};
        std::copy_n(ack.begin(), std::min(ack.size(), kBoardInfoSize), bytes);
        const uint32_t serial = platform::GetU32LE(bytes, 48);
        std::memset(bytes + 48, 0, 16);
        std::snprintf(reinterpret_cast<char*>(bytes + 48), 16, "%u", serial);
        std::memcpy(info, bytes, kBoardInfoSize);
        return VARDA_OK;
    });
}

uint32_t VARDA_Close(uint32_t deviceType, uint32_t deviceIndex) {
    if (deviceType != kDeviceType) return VARDA_ERR_INVALID_PARAM;
    return Guarded([&]() -> uint32_t {
        DeviceTables& tables = DeviceTables::Instance();
        std::lock_guard<std::mutex> guard(tables.Lock());
        TamsenDevice* device = tables.FindDevice(deviceIndex);
        if (device == nullptr || device->testMode != 0) return VARDA_ERR_NOT_OPEN;
        (void)Exchange(*device, Cmd::Close, {});
        if (device->closing == 0) {
            device->closing = 1;
            tables.ReleaseLocked(device);
        }
        return VARDA_OK;
    });
}

uint32_t VARDA_Init(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex, const VARDA_INIT_PARAM* initParam,
                    uint32_t* handleOut) {
    if (handleOut != nullptr) *handleOut = VARDA_INVALID_HANDLE;
    if (deviceType != kDeviceType || channelIndex != 0 || initParam == nullptr || handleOut == nullptr ||
        !InitParamValid(*initParam)) {
        return VARDA_ERR_INVALID_PARAM;
    }
    return GuardedLogged("VARDA_Init()", [&]() -> uint32_t {
        DeviceTables& tables = DeviceTables::Instance();
        TamsenDevice* found = nullptr;
        {
            std::lock_guard<std::mutex> guard(tables.Lock());
            found = tables.FindDevice(deviceIndex);
            if (found == nullptr || found->testMode != 0) return VARDA_ERR_NOT_OPEN;
            if (tables.HasChannel(found, channelIndex)) return VARDA_ERR_ALREADY_OPEN;
            ++found->useCount;
        }
        DeviceUse device(found);
        const auto payload = InitPayload(*initParam, channelIndex);
        const uint32_t result = Exchange(*device, Cmd::Init, payload);
        if (result != VARDA_OK) return result;
        auto channel = std::make_unique<TamsenChannel>();
        channel->device = found;
        channel->channelIndex = channelIndex;
        std::lock_guard<std::mutex> guard(tables.Lock());
        // Another thread may have initialised the channel while this one exchanged.
        if (tables.HasChannel(found, channelIndex)) return VARDA_ERR_ALREADY_OPEN;
        *handleOut = tables.AddChannel(std::move(channel));
        return VARDA_OK;
    });
}

uint32_t VARDA_Uninit(uint32_t handle) {
    return GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t channel) -> uint32_t {
        const uint8_t payload[1] = {static_cast<uint8_t>(channel + 1)};
        (void)Exchange(device, Cmd::Uninit, payload);
        for (uint32_t mac = 0; mac <= 63; ++mac) (void)VARDA_RemoveSlave(handle, mac);
        DeviceTables& tables = DeviceTables::Instance();
        std::lock_guard<std::mutex> guard(tables.Lock());
        tables.RemoveChannel(handle);
        return VARDA_OK;
    });
}

uint32_t VARDA_Online(uint32_t handle) {
    return Guarded([&] { return SimpleChannelCommand(handle, Cmd::Online, true); });
}

uint32_t VARDA_Offline(uint32_t handle) {
    return Guarded([&] { return SimpleChannelCommand(handle, Cmd::Offline, true); });
}

uint32_t VARDA_StartScan(uint32_t handle) {
    return Guarded([&] { return SimpleChannelCommand(handle, Cmd::StartScan, true); });
}

uint32_t VARDA_StopScan(uint32_t handle) {
    return Guarded([&] { return SimpleChannelCommand(handle, Cmd::StopScan, true); });
}

uint32_t VARDA_SaveCfg(uint32_t handle) {
    return Guarded([&] { return SimpleChannelCommand(handle, Cmd::SaveCfg, false); });
}

uint32_t VARDA_AddSlave(uint32_t handle, const VARDA_SLAVE_CONFIG* slaveConfig) {
    if (slaveConfig == nullptr || !SlaveConfigValid(*slaveConfig)) return VARDA_ERR_INVALID_PARAM;
    return GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t /*channel*/) -> uint32_t {
        return Exchange(device, Cmd::AddSlave, AddSlavePayload(*slaveConfig));
    });
}

uint32_t VARDA_RemoveSlave(uint32_t handle, uint32_t macId) {
    if (macId > 63 && macId != VARDA_ALL_SLAVES) return VARDA_ERR_INVALID_PARAM;
    return GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t channel) -> uint32_t {
        const uint8_t payload[2] = {static_cast<uint8_t>(channel + 1), static_cast<uint8_t>(macId)};
        return Exchange(device, Cmd::RemoveSlave, payload);
    });
}

uint32_t VARDA_EMRequest(uint32_t handle, uint32_t macId, uint32_t service, uint32_t classId, uint32_t instanceId,
                         const uint8_t* requestData, uint32_t requestLength, uint8_t* responseData,
                         uint32_t* responseLength, uint32_t timeoutMs) {
    if (responseLength == nullptr) return VARDA_ERR_INVALID_PARAM;
    const uint32_t capacity = *responseLength;
    *responseLength = 0;
    if (requestLength > kMaxRequestLength || macId > 63 || requestData == nullptr || responseData == nullptr ||
        timeoutMs < 100 || timeoutMs > 30000) {
        return VARDA_ERR_INVALID_PARAM;
    }
    return GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t channel) -> uint32_t {
        const std::vector<uint8_t> payload =
            EmRequestPayload(channel, timeoutMs, macId, service, classId, instanceId, {requestData, requestLength});
        ReceiveBuffer rx{};
        std::span<const uint8_t> ack;
        const uint32_t result = Exchange(device, Cmd::EMRequest, payload, rx, ack);
        if (result != VARDA_OK) return result;
        const std::size_t n = std::min<std::size_t>(capacity, ack.size());
        std::copy_n(ack.begin(), n, responseData);
        *responseLength = static_cast<uint32_t>(n);
        return VARDA_OK;
    });
}

uint32_t VARDA_ReadSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, uint8_t* buffer, uint32_t* length,
                           uint32_t timeoutMs) {
    if (length == nullptr) return VARDA_ERR_INVALID_PARAM;
    const uint32_t capacity = *length;
    *length = 0;
    if (macId > 63 || connectionType > 3 || buffer == nullptr || capacity == 0 || capacity > kMaxIoLength ||
        timeoutMs > kMaxIoTimeout) {
        return VARDA_ERR_INVALID_PARAM;
    }
    const uint32_t result = GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t channel) -> uint32_t {
        ReceiveBuffer rx{};
        std::span<const uint8_t> ack;
        const uint32_t r =
            Exchange(device, Cmd::ReadSlaveIO, ReadSlaveIoPayload(channel, macId, connectionType, capacity), rx, ack);
        if (r != VARDA_OK) return r;
        const std::size_t n = std::min<std::size_t>(capacity, ack.size());
        std::copy_n(ack.begin(), n, buffer);
        *length = static_cast<uint32_t>(n);
        return VARDA_OK;
    });
    if (result != VARDA_OK) TAMSEN_LOG_ERROR("VARDA_ReadSlaveIO", "err=%d\n", static_cast<int>(result));
    return result;
}

uint32_t VARDA_WriteSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, const uint8_t* data,
                            uint32_t length, uint32_t timeoutMs) {
    if (macId > 63 || connectionType > 3 || data == nullptr || length == 0 || length > kMaxIoLength ||
        timeoutMs > kMaxIoTimeout || length + 36 > kMaxPacket) {
        return VARDA_ERR_INVALID_PARAM;
    }
    const uint32_t result = GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t channel) -> uint32_t {
        return Exchange(device, Cmd::WriteSlaveIO,
                        WriteSlaveIoPayload(channel, timeoutMs, macId, connectionType, {data, length}));
    });
    if (result != VARDA_OK) TAMSEN_LOG_ERROR("VARDA_WriteSlaveIO", "err=%d\n", static_cast<int>(result));
    return result;
}

uint32_t VARDA_GetSlaveStatus(uint32_t handle, uint32_t macId) {
    if (macId > 63) return VARDA_ERR_INVALID_PARAM;
    return GuardedOnHandle(handle, [&](TamsenDevice& device, uint32_t channel) -> uint32_t {
        const uint8_t payload[2] = {static_cast<uint8_t>(channel + 1), static_cast<uint8_t>(macId)};
        ReceiveBuffer rx{};
        std::span<const uint8_t> ack;
        const uint32_t result = Exchange(device, Cmd::GetNodeStatus, payload, rx, ack);
        // A status is one payload byte; an acknowledge without it is a failed exchange.
        if (result != VARDA_OK || ack.empty()) return VARDA_ERR_INTERNAL;
        return ack[0];
    });
}

}  // extern "C"
