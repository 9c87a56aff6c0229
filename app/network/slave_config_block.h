// A slave's configuration: which I/O connections it uses (ConnectionUse), its scan-list record
// (SlaveRecordBlock), its data item groups and its name.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "network/io_data_item.h"
#include "varda_api.h"

// 17 bytes, one per field. An "entry" is the number N of the EDS IO_Info entry "Input"N or
// "Output"N chosen for the connection.
struct ConnectionUse {
    static constexpr std::size_t kSize = 17;
    enum Index : std::size_t {
        kFromEds = 0,
        kPoll = 1,
        kPollInput = 2,
        kPollOutput = 3,
        kStrobe = 4,
        kStrobeInput = 5,
        kStrobeOutput = 6,
        kAckTimeout = 7,
        kCos = 8,
        kCosInput = 9,
        kCosOutput = 10,
        kCyclic = 11,
        kCyclicInput = 12,
        kCyclicOutput = 13,
        kMulticast = 14,
        kMulticastInput = 15,
        kMulticastOutput = 16,
    };

    std::array<uint8_t, kSize> bytes{};

    ConnectionUse() { Reset(); }
    // All 17 bytes zero, then the acknowledge time-out enabled.
    void Reset();

    uint8_t& operator[](std::size_t i) { return bytes[i]; }
    uint8_t operator[](std::size_t i) const { return bytes[i]; }

    friend bool operator==(const ConnectionUse&, const ConnectionUse&) = default;
};

// ConnectionFlags of the scan-list record from the enabled connections: bits 0-1 from (poll,
// strobe) - neither 3, poll only 1, both 2, strobe only 0; bit 2 change of state; bit 3 cyclic;
// bit 4 when the acknowledge time-out is not enabled. Multicast poll does not enter it.
uint8_t DeriveConnectionFlags(const ConnectionUse& use);

// 52 bytes: the VARDA_SLAVE_CONFIG record in bytes 0..35, then 16 bytes kept as they are.
struct SlaveRecordBlock {
    static constexpr std::size_t kSize = 52;
    static constexpr std::size_t kRecordSize = 36;

    std::array<uint8_t, kSize> bytes{};

    VARDA_SLAVE_CONFIG Record() const;
    // Writes bytes 0..35; bytes 36..51 are left as they are.
    void SetRecord(const VARDA_SLAVE_CONFIG& record);

    uint32_t MacId() const;
    void SetMacId(uint32_t mac);

    friend bool operator==(const SlaveRecordBlock&, const SlaveRecordBlock&) = default;
};

static_assert(sizeof(VARDA_SLAVE_CONFIG) == SlaveRecordBlock::kRecordSize);

using IoDataGroup = std::vector<std::unique_ptr<IoDataItem>>;

struct SlaveConfigBlock {
    ConnectionUse use;
    SlaveRecordBlock record;
    std::vector<IoDataGroup> groups;
    std::string name = "Slave";

    SlaveConfigBlock() = default;
    SlaveConfigBlock(const SlaveConfigBlock& other);  // deep copy of the items
    SlaveConfigBlock& operator=(const SlaveConfigBlock& other);
    SlaveConfigBlock(SlaveConfigBlock&&) noexcept = default;
    SlaveConfigBlock& operator=(SlaveConfigBlock&&) noexcept = default;

    // A fresh block as the program creates one: ConnectionUse reset with [0] = 1, record zero
    // except the MAC ID and the timing defaults 250 / 16 / 1, no groups, name "Slave".
    static SlaveConfigBlock Fresh(uint32_t macId);

    // Replaces the groups by the default input and output groups built from the record's sizes:
    // input items Poll_Input, Strobe_Input, COS/Cycle_Input and output items Poll_Output,
    // Strobe_Output, COS/Cycle_Output for every size that is not 0.
    void BuildDefaultGroups();
};
