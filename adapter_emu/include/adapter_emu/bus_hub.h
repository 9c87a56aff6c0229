// One simulated CAN bus shared by several adapters: what one adapter puts on the bus (its master's
// I/O and explicit traffic, a test-mode node's produced frames and the answers to them) reaches
// every other adapter attached to the hub, as DeviceNet frames with their real identifiers.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace adapter_emu {

// One CAN frame: 11-bit identifier, 0 to 8 data bytes, time on the emulator's clock.
struct BusFrame {
    uint16_t canId = 0;
    std::vector<uint8_t> data;
    uint64_t atMs = 0;
};

// DeviceNet identifiers of the predefined master/slave connection set.
namespace can_id {
// Group 1: 0 mmmm mmmmmm (message ID, source MAC ID).
inline constexpr uint16_t Group1(uint8_t messageId, uint8_t mac) {
    return static_cast<uint16_t>(((messageId & 0x0F) << 6) | (mac & 0x3F));
}
// Group 2: 10 mmmmmm iii (MAC ID, message ID).
inline constexpr uint16_t Group2(uint8_t mac, uint8_t messageId) {
    return static_cast<uint16_t>(0x400 | ((mac & 0x3F) << 3) | (messageId & 0x07));
}
inline constexpr uint8_t kSlaveCosCyclic = 13;  // group 1: slave's change of state / cyclic data
inline constexpr uint8_t kSlaveStrobeResponse = 14;  // group 1: slave's bit-strobe response
inline constexpr uint8_t kSlavePollResponse = 15;  // group 1: poll response, COS/cyclic acknowledge
inline constexpr uint8_t kMasterStrobe = 0;  // group 2 (master's MAC ID): bit-strobe command
inline constexpr uint8_t kMasterCosAck = 2;  // group 2: master's COS/cyclic acknowledge
inline constexpr uint8_t kSlaveExplicitResponse = 3;  // group 2: slave's explicit/unconnected response
inline constexpr uint8_t kMasterExplicitRequest = 4;  // group 2: master's explicit request
inline constexpr uint8_t kMasterPoll = 5;  // group 2: poll command, master's COS/cyclic data
inline constexpr uint8_t kUnconnectedRequest = 6;  // group 2: group-2-only unconnected request
inline constexpr uint8_t kDuplicateMacCheck = 7;  // group 2: duplicate MAC ID check
}  // namespace can_id

// Data longer than 8 bytes as fragments: I/O fragments carry the fragmentation byte (type 0
// first, 1 middle, 2 last in bits 6-7, count in bits 0-5) and 7 data bytes; explicit ones the
// message header with bit 7 set, the fragmentation byte and 6 data bytes.
std::vector<BusFrame> IoFrames(uint16_t canId, std::span<const uint8_t> data, uint64_t atMs);
std::vector<BusFrame> ExplicitFrames(uint16_t canId, std::span<const uint8_t> message, uint64_t atMs);

class BusListener {
public:
    virtual ~BusListener() = default;
    // Frames another adapter put on the bus. Called without any lock of the sender held.
    virtual void OnBusFrames(std::span<const BusFrame> frames) = 0;
    // The duplicate MAC ID response (0x80, vendor ID, serial number) when this listener is a node
    // on line at `mac`. Called without any lock of the asker held.
    virtual std::optional<std::array<uint8_t, 7>> AnswerDuplicateMac(uint8_t mac) = 0;
};

class BusHub {
public:
    void Attach(BusListener* listener);
    // After Detach returns no delivery to the listener is running or will start.
    void Detach(BusListener* listener);
    // Hands the frames to every attached listener but the sender.
    void Publish(const BusListener* sender, std::span<const BusFrame> frames);
    // A duplicate MAC ID request of `sender` for `mac`: the first other node on line there
    // answers; its response reaches every listener but that node (the sender included).
    std::optional<std::array<uint8_t, 7>> AskDuplicateMac(const BusListener* sender, uint8_t mac, uint64_t atMs);

private:
    std::mutex lock_;
    std::vector<BusListener*> listeners_;
};

}  // namespace adapter_emu
