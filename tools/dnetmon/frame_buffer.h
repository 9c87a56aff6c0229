// The monitor's store between the thread that drains the adapter's ring and the output: bounded,
// so that a stalled output costs memory only up to a limit. Records that do not fit are dropped
// and counted; the count travels with the next record that fits, so the output can say where
// frames are missing and how many.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

#include "frame_text.h"

namespace dnetmon {

using RecordBytes = std::array<uint8_t, kRecordSize>;

class FrameBuffer {
public:
    // About a million frames: minutes of a fully loaded 500 kbit/s bus.
    static constexpr std::size_t kDefaultCapacity = 1u << 20;

    struct Entry {
        RecordBytes record{};
        uint64_t droppedBefore = 0;  // records the buffer dropped right before this one
    };
    struct Batch {
        std::vector<Entry> entries;
        uint64_t droppedAfter = 0;  // records dropped after the last entry (none came since)
        bool closed = false;  // closed and nothing left
    };

    explicit FrameBuffer(std::size_t capacity = kDefaultCapacity);

    // Adds whole 19-byte records; a trailing partial record is ignored.
    void Push(std::span<const uint8_t> records);
    // Takes up to `max` entries, waiting up to `wait` while there are none.
    Batch Pop(std::size_t max, std::chrono::milliseconds wait);
    // No more records will come: a waiting Pop returns.
    void Close();

    std::size_t Size() const;
    uint64_t DroppedTotal() const;

private:
    const std::size_t capacity_;
    mutable std::mutex lock_;
    std::condition_variable ready_;
    std::deque<Entry> entries_;
    uint64_t pendingDropped_ = 0;
    uint64_t droppedTotal_ = 0;
    bool closed_ = false;
};

}  // namespace dnetmon
