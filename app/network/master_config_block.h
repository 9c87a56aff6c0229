// The master's 52-byte configuration block: the VARDA_INIT_PARAM record in bytes 0..35, then 16
// bytes that are kept and saved exactly as they are.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "varda_api.h"

struct MasterConfigBlock {
    static constexpr std::size_t kSize = 52;
    static constexpr std::size_t kRecordSize = 36;

    std::array<uint8_t, kSize> bytes{};

    // The record parsed from bytes 0..35.
    VARDA_INIT_PARAM Record() const;
    // Writes the record into bytes 0..35; bytes 36..51 are left as they are.
    void SetRecord(const VARDA_INIT_PARAM& record);

    uint32_t MacId() const;
    uint32_t BaudIndex() const;

    // The values a new master starts with: scan delay 10, interval scan cycle 1, expected packet
    // rate 75, retry count 1, options 0, auto map size 0.
    static MasterConfigBlock Defaults(uint32_t macId, uint32_t baudIndex);

    friend bool operator==(const MasterConfigBlock&, const MasterConfigBlock&) = default;
};

static_assert(sizeof(VARDA_INIT_PARAM) == MasterConfigBlock::kRecordSize);
