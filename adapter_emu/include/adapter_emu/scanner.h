// The master's scan list and scan cycles: one status code per listed slave, refreshed every
// simulated scan cycle (ScanDelay ms) while the master is on line and scanning.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "adapter_emu/bus_hub.h"
#include "adapter_emu/simulated_slave.h"
#include "cip/status.h"

namespace adapter_emu {

// The 13-byte Init payload.
struct InitSettings {
    uint8_t macId = 0;
    uint8_t baudRate = 0;
    uint8_t intervalScanCycle = 1;
    uint16_t scanDelay = 10;
    uint16_t expectedPacketRate = 75;
    uint8_t retryCount = 1;
    uint8_t option1 = 0;
    uint8_t option2 = 0;
    uint8_t autoMapSize = 0;
    uint8_t channel = 0;

    static InitSettings Parse(std::span<const uint8_t, 13> payload);
    std::array<uint8_t, 13> Encode() const;
    // The first field out of range, nothing when all are valid.
    const char* Invalid() const;
};

// The 21-byte AddSlave payload.
struct ScanListConfig {
    std::array<uint8_t, 21> raw{};

    uint8_t Mac() const { return raw[0]; }
    uint16_t VendorId() const { return static_cast<uint16_t>(raw[1] | raw[2] << 8); }
    uint16_t ProductType() const { return static_cast<uint16_t>(raw[3] | raw[4] << 8); }
    uint16_t ProductCode() const { return static_cast<uint16_t>(raw[5] | raw[6] << 8); }
    uint8_t Flags() const { return raw[7]; }
    uint8_t BackgroundPoll() const { return raw[8]; }
    // Whether the connection type (0 strobe, 1 poll, 2 change of state, 3 cyclic) is allocated.
    bool Uses(std::size_t type) const;
    uint8_t InputSize(std::size_t type) const;
    uint8_t OutputSize(std::size_t type) const;
    // Only the MAC ID is set (identity, flags and sizes zero): on line for any present slave.
    bool Bare() const;
};

class Scanner {
public:
    using Bus = std::map<uint8_t, SimulatedSlave>;
    explicit Scanner(Bus& bus) : bus_(bus) {}

    struct Entry {
        ScanListConfig config;
        cip::ScannerStatus status = cip::ScannerStatus::NotInitialised;
        bool scanned = false;
        bool exchanged = false;
        std::array<std::vector<uint8_t>, 4> inputs;
        std::vector<uint8_t> sharedOutputs;
        std::vector<uint8_t> strobeOutputs;
    };

    // Runs every scan cycle due up to `nowMs`.
    void Advance(uint64_t nowMs);

    void Initialise(const InitSettings& s);
    void Uninitialise();
    const std::optional<InitSettings>& Settings() const { return settings_; }
    void SetOnline(bool online, uint64_t nowMs);
    void SetScanning(bool scanning, uint64_t nowMs);
    bool Online() const { return online_; }
    bool Scanning() const { return scanning_; }

    bool Add(const ScanListConfig& c);  // false when the MAC ID is listed
    bool Remove(uint8_t mac);  // false when absent
    void Clear();
    const std::map<uint8_t, Entry>& Entries() const { return entries_; }
    Entry* Find(uint8_t mac);

    // Where the frames of the scan cycles go (nothing: they are not built). The frames are
    // appended; the owner takes them away.
    void SetTrace(std::vector<BusFrame>* trace) { trace_ = trace; }

private:
    void TraceExchange(uint8_t mac, Entry& e, SimulatedSlave& slave, uint64_t atMs, bool firstContact,
                       std::vector<BusFrame>& strobeResponses, std::array<uint8_t, 8>& strobeBits);
    bool Effective() const { return settings_ && online_ && scanning_; }
    void Halt();
    void RunCycle(uint64_t atMs);

    Bus& bus_;
    std::optional<InitSettings> settings_;
    bool online_ = false;
    bool scanning_ = false;
    uint64_t nextCycleMs_ = 0;
    uint64_t cycleIndex_ = 0;
    std::map<uint8_t, Entry> entries_;
    std::vector<BusFrame>* trace_ = nullptr;
};

}  // namespace adapter_emu
