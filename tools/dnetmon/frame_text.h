// What dnetmon makes of a received-message record: the fields of its CAN identifier, a readable
// line with the DeviceNet meaning, and the candump log line; and the ID#DATA notation it reads.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dnetmon {

inline constexpr std::size_t kRecordSize = 19;

// One record as the adapter delivers it (see dnettest.h).
struct Record {
    uint8_t flags = 0;
    uint16_t canId = 0;
    std::vector<uint8_t> data;  // at most 8 bytes
    uint32_t timeMs = 0;
};

// Parses one 19-byte record; a data length above 8 is cut to 8.
Record ParseRecord(std::span<const uint8_t, kRecordSize> bytes);

// The fields of an 11-bit identifier: message group 1 to 4, MAC ID (none in group 4) and
// message ID.
struct IdFields {
    int group = 0;
    std::optional<uint8_t> mac;
    uint8_t messageId = 0;
};
IdFields SplitId(uint16_t canId);

// The DeviceNet meaning of a frame, e.g. "poll command to slave 4"; a generic text when it is not
// clear.
std::string Meaning(uint16_t canId, std::span<const uint8_t> data);

// "    12.345  3C1  G1 mac  1 msg 15  [4] 01 00 00 00              poll response from slave 1".
std::string ReadableLine(const Record& r);

// candump log format: "(1700000000.123456) can0 3C1#01000000".
std::string CandumpLine(double unixSeconds, std::string_view interface, uint16_t canId, std::span<const uint8_t> data);

// "ID#DATA" (ID 1 to 3 hex digits up to 7FF, DATA hex pairs, '.' between bytes allowed, up to 8
// bytes); nothing when malformed.
struct ProduceFrame {
    uint16_t canId = 0;
    std::vector<uint8_t> data;
};
std::optional<ProduceFrame> ParseFrameText(std::string_view text);

}  // namespace dnetmon
