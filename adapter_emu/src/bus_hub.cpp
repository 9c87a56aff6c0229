#include "adapter_emu/bus_hub.h"

#include <algorithm>

namespace adapter_emu {

namespace {

constexpr uint8_t kFirst = 0, kMiddle = 1, kLast = 2;

uint8_t FragmentByte(uint8_t type, std::size_t count) { return static_cast<uint8_t>((type << 6) | (count & 0x3F)); }

}  // namespace

std::vector<BusFrame> IoFrames(uint16_t canId, std::span<const uint8_t> data, uint64_t atMs) {
    if (data.size() <= 8) return {BusFrame{canId, std::vector<uint8_t>(data.begin(), data.end()), atMs}};
    std::vector<BusFrame> frames;
    for (std::size_t at = 0, count = 0; at < data.size(); at += 7, ++count) {
        const std::size_t n = std::min<std::size_t>(7, data.size() - at);
        const uint8_t type = at == 0 ? kFirst : at + n >= data.size() ? kLast : kMiddle;
        BusFrame f{canId, {FragmentByte(type, count)}, atMs};
        f.data.insert(f.data.end(), data.begin() + at, data.begin() + at + n);
        frames.push_back(std::move(f));
    }
    return frames;
}

std::vector<BusFrame> ExplicitFrames(uint16_t canId, std::span<const uint8_t> message, uint64_t atMs) {
    if (message.size() <= 8 || message.empty()) {
        return {BusFrame{canId, std::vector<uint8_t>(message.begin(), message.end()), atMs}};
    }
    const uint8_t header = static_cast<uint8_t>(message[0] | 0x80);
    const std::span<const uint8_t> body = message.subspan(1);
    std::vector<BusFrame> frames;
    for (std::size_t at = 0, count = 0; at < body.size(); at += 6, ++count) {
        const std::size_t n = std::min<std::size_t>(6, body.size() - at);
        const uint8_t type = at == 0 ? kFirst : at + n >= body.size() ? kLast : kMiddle;
        BusFrame f{canId, {header, FragmentByte(type, count)}, atMs};
        f.data.insert(f.data.end(), body.begin() + at, body.begin() + at + n);
        frames.push_back(std::move(f));
    }
    return frames;
}

void BusHub::Attach(BusListener* listener) {
    std::lock_guard<std::mutex> guard(lock_);
    listeners_.push_back(listener);
}

void BusHub::Detach(BusListener* listener) {
    std::lock_guard<std::mutex> guard(lock_);
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void BusHub::Publish(const BusListener* sender, std::span<const BusFrame> frames) {
    if (frames.empty()) return;
    // Held while delivering, so that Detach waits for a delivery in progress. Listeners take only
    // their own lock inside, and no sender holds its own lock here.
    std::lock_guard<std::mutex> guard(lock_);
    for (BusListener* l : listeners_) {
        if (l != sender) l->OnBusFrames(frames);
    }
}

std::optional<std::array<uint8_t, 7>> BusHub::AskDuplicateMac(const BusListener* sender, uint8_t mac, uint64_t atMs) {
    std::lock_guard<std::mutex> guard(lock_);
    for (BusListener* l : listeners_) {
        if (l == sender) continue;
        std::optional<std::array<uint8_t, 7>> answer = l->AnswerDuplicateMac(mac);
        if (!answer) continue;
        const BusFrame frame{can_id::Group2(mac, can_id::kDuplicateMacCheck), {answer->begin(), answer->end()}, atMs};
        for (BusListener* other : listeners_) {
            if (other != l) other->OnBusFrames(std::span<const BusFrame>(&frame, 1));
        }
        return answer;
    }
    return std::nullopt;
}

}  // namespace adapter_emu
