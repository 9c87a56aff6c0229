#include "frame_buffer.h"

#include <algorithm>

namespace dnetmon {

FrameBuffer::FrameBuffer(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {}

void FrameBuffer::Push(std::span<const uint8_t> records) {
    const std::size_t n = records.size() / kRecordSize;
    if (n == 0) return;
    {
        std::lock_guard guard(lock_);
        for (std::size_t i = 0; i < n; ++i) {
            if (entries_.size() >= capacity_) {
                const uint64_t lost = n - i;
                pendingDropped_ += lost;
                droppedTotal_ += lost;
                break;
            }
            Entry e;
            std::copy_n(records.begin() + static_cast<std::ptrdiff_t>(i * kRecordSize), kRecordSize, e.record.begin());
            e.droppedBefore = pendingDropped_;
            pendingDropped_ = 0;
            entries_.push_back(e);
        }
    }
    ready_.notify_one();
}

FrameBuffer::Batch FrameBuffer::Pop(std::size_t max, std::chrono::milliseconds wait) {
    std::unique_lock guard(lock_);
    ready_.wait_for(guard, wait, [&] { return !entries_.empty() || pendingDropped_ > 0 || closed_; });
    Batch b;
    const std::size_t n = std::min(max, entries_.size());
    b.entries.assign(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(n));
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(n));
    if (entries_.empty()) {
        // Everything before the drop was taken: the count belongs after these entries.
        b.droppedAfter = pendingDropped_;
        pendingDropped_ = 0;
        b.closed = closed_ && n == 0 && b.droppedAfter == 0;
    }
    return b;
}

void FrameBuffer::Close() {
    {
        std::lock_guard guard(lock_);
        closed_ = true;
    }
    ready_.notify_all();
}

std::size_t FrameBuffer::Size() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

uint64_t FrameBuffer::DroppedTotal() const {
    std::lock_guard guard(lock_);
    return droppedTotal_;
}

}  // namespace dnetmon
