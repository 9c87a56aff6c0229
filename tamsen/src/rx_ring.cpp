#include "rx_ring.h"

#include <algorithm>

namespace tamsen {

RxRing::RxRing() {
    for (std::size_t i = 0; i < DNETTEST_RING_SLOTS; ++i) table_[i] = slots_.data() + i * DNETTEST_RECORD_SIZE;
    header_.head = 0;
    header_.tail = 0;
    header_.mask = DNETTEST_RING_MASK;
    header_.slots = table_.data();
}

uint32_t RxRing::Unread() const {
    const uint32_t head = __atomic_load_n(&header_.head, __ATOMIC_RELAXED);
    const uint32_t tail = __atomic_load_n(&header_.tail, __ATOMIC_ACQUIRE);
    return (head - tail) & DNETTEST_RING_MASK;
}

uint32_t RxRing::Write(std::span<const uint8_t> records) {
    const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(records.size() / DNETTEST_RECORD_SIZE), Free());
    uint32_t head = __atomic_load_n(&header_.head, __ATOMIC_RELAXED);
    for (uint32_t i = 0; i < n; ++i) {
        std::copy_n(records.begin() + static_cast<std::ptrdiff_t>(i) * DNETTEST_RECORD_SIZE, DNETTEST_RECORD_SIZE,
                    table_[head]);
        head = (head + 1) & DNETTEST_RING_MASK;
    }
    // The records are in place before the consumer can see the head that covers them.
    __atomic_store_n(&header_.head, head, __ATOMIC_RELEASE);
    return n;
}

}  // namespace tamsen
