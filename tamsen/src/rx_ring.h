// The receive ring of a test-mode adapter: 1024 slots of 19 bytes, the slot-pointer table and
// the header that the test program reads (layout and rule in dnettest.h). The library is the
// only writer of head and of the slots; the consumer the only writer of tail.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "dnettest.h"

namespace tamsen {

class RxRing {
public:
    RxRing();
    RxRing(const RxRing&) = delete;
    RxRing& operator=(const RxRing&) = delete;

    DNetTestRingHeader& Header() { return header_; }
    // Slots the consumer has not read yet, and slots the library may still write.
    uint32_t Unread() const;
    uint32_t Free() const { return DNETTEST_RING_MASK - Unread(); }
    // Copies whole records (19 bytes each) into the slots from head on, wrapping at 1024, and
    // then publishes the new head. Never writes more than Free() records; returns how many it
    // wrote.
    uint32_t Write(std::span<const uint8_t> records);

private:
    DNetTestRingHeader header_{};
    std::array<uint8_t*, DNETTEST_RING_SLOTS> table_{};
    std::array<uint8_t, std::size_t{DNETTEST_RING_SLOTS} * DNETTEST_RECORD_SIZE> slots_{};
};

}  // namespace tamsen
