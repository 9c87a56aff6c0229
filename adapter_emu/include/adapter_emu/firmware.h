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
//   0      u8   flags: bit 0 set (a received CAN frame); bit 7 set on the first record after a gap,
//               i.e. when records older than this one were lost because nobody fetched them
//   1..2   u16  CAN identifier (11 bits), little-endian
//   3      u8   data length, 0 to 8
//   4..11  8 x u8  data, unused bytes zero
//   12..15 u32  time stamp, milliseconds of the adapter's clock, little-endian
//   16     u8   DeviceNet message group of the identifier (1 to 4)
//   17     u8   MAC ID field of the identifier (0xFF for group 4)
//   18     u8   message ID field of the identifier
inline constexpr std::size_t kRecordSize = 19;
inline constexpr uint8_t kRecordReceived = 0x01;
inline constexpr uint8_t kRecordLostBefore = 0x80;
// Records kept for DcDntRecv; when more arrive the oldest are lost.
inline constexpr std::size_t kMaxRecordsKept = 1024;
using ReceivedRecord = std::array<uint8_t, kRecordSize>;
ReceivedRecord MakeRecord(uint16_t canId, std::span<const uint8_t> data, uint32_t timeMs, bool lostBefore);

// A node going on line sends the duplicate MAC ID check request, waits this long for an answer,
// sends it again and waits again (DeviceNet: 1 s each).
inline constexpr uint32_t kDeviceNetDuplicateMacTimeoutMs = 1000;
// The emulator waits less by default, so that masters and test nodes on the steady clock come on
// line quickly; the frames on the bus are the same, only closer together.
inline constexpr uint32_t kEmulatorDuplicateMacTimeoutMs = 100;

struct FirmwareOptions {
    bool fast = false;  // explicit time-outs and slow replies do not wait
    // The wait after each duplicate MAC ID request, in the clock's milliseconds.
    uint32_t duplicateMacTimeoutMs = kEmulatorDuplicateMacTimeoutMs;
    std::optional<std::filesystem::path> stateFile;  // non-volatile memory; none: kept in memory
    uint32_t serialNumber = 0;
    uint8_t adapterIndex = 0;
    // The bus shared with other adapters (none: this adapter's bus is its own).
    std::shared_ptr<BusHub> sharedBus;
};

class Firmware final : private BusListener {
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
    Result Produce(std::span<const uint8_t> p, std::unique_lock<std::mutex>& lock);
    // Going on line after a passed duplicate MAC ID check.
    void MasterGoOnline(std::unique_lock<std::mutex>& lock, std::stop_token stop);
    void NodeGoOnline(std::unique_lock<std::mutex>& lock, std::stop_token stop);
    void Reset();
    void Save();
    // Commissioning: the node at `mac` took a new MAC ID (it goes on line there after its
    // duplicate MAC ID check) or a new baud rate; the change is kept in the state file.
    void MoveNode(uint8_t mac, uint8_t newMac, uint64_t now);
    void ApplySavedNodes();
    void SaveNodes();
    void Record(uint16_t canId, std::span<const uint8_t> data, uint64_t atMs);
    // The duplicate MAC ID check of this adapter going on line at `mac` (as master or as test
    // node): request, time-out, request, time-out. True when nobody answered; false when a
    // device holds the MAC ID (its answer is on the wire) or the wait was stopped. Waits without
    // the lock; `stillWanted` tells after each wait whether going on line is still asked for.
    template <class StillWanted>
    bool PassDuplicateMacCheck(uint8_t mac, std::unique_lock<std::mutex>& lock, std::stop_token stop,
                               StillWanted stillWanted);
    // The answer of this adapter to another's duplicate MAC ID request, when it is on line there.
    std::optional<std::array<uint8_t, 7>> AnswerDuplicateMac(uint8_t mac) override;
    std::array<uint8_t, 7> OwnDuplicateMacMessage(bool response) const;
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
    // Nodes given a MAC ID that another node holds: they failed their duplicate MAC ID check.
    std::vector<SimulatedSlave> offLine_;
    Scanner scanner_{bus_};
    SavedConfig saved_;
    std::optional<uint32_t> hostWaitMs_;  // of the command being executed
    bool opened_ = false;
    bool masterMacTaken_ = false;  // the master's duplicate MAC ID check failed: it stays off line
    // Test mode: the adapter is a node on the bus.
    bool testMode_ = false;
    bool nodeOnline_ = false;
    bool nodeChecking_ = false;  // in its duplicate MAC ID check: keeps what it receives
    uint64_t onlineGeneration_ = 0;  // changes with every on-line or off-line request
    uint8_t nodeMac_ = 63;
    uint8_t nodeBaud_ = 0;
    std::deque<ReceivedRecord> records_;
    std::vector<BusFrame> emitted_;  // shared bus only; guarded by mutex_
};

}  // namespace adapter_emu
