// The adapter's firmware: answers every command packet with its acknowledge, runs the master on
// the simulated bus and, in test mode, acts as a plain node on that bus.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/bus_hub.h"
#include "adapter_emu/clock.h"
#include "adapter_emu/saved_config.h"
#include "adapter_emu/scanner.h"

namespace adapter_emu {

// One message the test-mode node saw on the bus, as DcDntRecv delivers it (19 bytes):
//   0      u8   flags: bit 0 set (a received CAN frame); bit 7 set when records were lost before it
//   1..2   u16  CAN identifier (11 bits), little-endian
//   3      u8   data length, 0 to 8
//   4..11  8 x u8  data, unused bytes zero
//   12..15 u32  time stamp, milliseconds of the adapter's clock, little-endian
//   16     u8   DeviceNet message group of the identifier (1 to 4)
//   17     u8   MAC ID field of the identifier (0xFF for group 4)
//   18     u8   message ID field of the identifier
inline constexpr std::size_t kRecordSize = 19;
using ReceivedRecord = std::array<uint8_t, kRecordSize>;
ReceivedRecord MakeRecord(uint16_t canId, std::span<const uint8_t> data, uint32_t timeMs, bool lostBefore);

struct FirmwareOptions {
    bool fast = false;                           // explicit time-outs and slow replies do not wait
    std::optional<std::filesystem::path> stateFile;  // non-volatile memory; none: kept in memory
    uint32_t serialNumber = 0;
    uint8_t adapterIndex = 0;
    // The bus shared with other adapters (none: this adapter's bus is its own).
    std::shared_ptr<BusHub> sharedBus;
};

class Firmware : private BusListener {
public:
    // Reads the state file when there is one (StateFileError when it is malformed).
    Firmware(const BusDescription& bus, std::shared_ptr<Clock> clock, FirmwareOptions options);
    ~Firmware() override;
    Firmware(const Firmware&) = delete;
    Firmware& operator=(const Firmware&) = delete;

    // One command: its code and payload. Returns the whole acknowledge packet. `stop` ends waits
    // early (the host gave up or the adapter shuts down). `hostWaitMs`, when known, is how long the
    // host still waits for this acknowledge: an explicit request that nobody answers then fails
    // with 59 within that time rather than after the host stopped listening.
    std::vector<uint8_t> Execute(uint8_t code, std::span<const uint8_t> payload, std::stop_token stop = {},
                                 std::optional<uint32_t> hostWaitMs = std::nullopt);

    // The identification reply (GetInfo payload).
    std::vector<uint8_t> BoardInfo() const;

    // Faults of slaves, changed at run time. False when there is no slave at that MAC ID.
    bool StopSlave(uint8_t mac);
    bool ResumeSlave(uint8_t mac);
    bool SetSlaveAbsent(uint8_t mac, bool absent);
    bool SetSlaveIdle(uint8_t mac, bool idle);
    bool SetSlaveDelay(uint8_t mac, uint32_t ms);

    // Status of a listed slave as the next GetNodeStatus would return it.
    std::optional<uint8_t> SlaveStatus(uint8_t mac);

    Clock& GetClock() { return *clock_; }

private:
    struct Result {
        Result() = default;
        Result(uint32_t c) : code(c) {}  // NOLINT: an error code converts to a result
        Result(uint32_t c, std::vector<uint8_t> p) : code(c), payload(std::move(p)) {}
        uint32_t code = 0;
        std::vector<uint8_t> payload;
    };
    Result Dispatch(uint8_t code, std::span<const uint8_t> p, std::unique_lock<std::mutex>& lock, std::stop_token stop);
    Result ExplicitRequest(std::span<const uint8_t> p, std::unique_lock<std::mutex>& lock, std::stop_token stop);
    Result ReadSlaveIO(std::span<const uint8_t> p);
    Result WriteSlaveIO(std::span<const uint8_t> p);
    Result Receive(std::unique_lock<std::mutex>& lock, std::stop_token stop);
    Result Produce(std::span<const uint8_t> p);
    void Reset();
    void Save();
    void Record(uint16_t canId, std::span<const uint8_t> data, uint64_t atMs);
    void NodeDuplicateCheck();
    // Applies `change` (slave, now) to the slave at `mac` once the scan has caught up with now.
    template <class Change>
    bool ChangeSlave(uint8_t mac, Change change);
    // Shared bus: frames this adapter put on the bus go out once its lock is released.
    void OnBusFrames(std::span<const BusFrame> frames) override;
    void Emit(std::vector<BusFrame> frames);
    std::vector<BusFrame> TakeEmitted();

    std::shared_ptr<Clock> clock_;
    FirmwareOptions options_;
    std::mutex mutex_;
    std::condition_variable_any received_;
    Scanner::Bus bus_;
    Scanner scanner_{bus_};
    SavedConfig saved_;
    std::optional<uint32_t> hostWaitMs_;  // of the command being executed
    bool opened_ = false;
    // Test mode: the adapter is a node on the bus.
    bool testMode_ = false;
    bool nodeOnline_ = false;
    uint8_t nodeMac_ = 63;
    uint8_t nodeBaud_ = 0;
    std::deque<ReceivedRecord> records_;
    bool recordsLost_ = false;
    std::vector<BusFrame> emitted_;  // shared bus only; guarded by mutex_
};

}  // namespace adapter_emu
