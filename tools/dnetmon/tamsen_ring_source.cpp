#include "tamsen_ring_source.h"

namespace dnetmon {

bool TamsenRingSource::TakeMessage(uint32_t waitMs) {
    DNetTestMessage m{};
    const uint32_t got = waitMs == 0 ? DNetTest_PeekMessage(&m, DNETTEST_PM_REMOVE) : DNetTest_GetMessage(&m, waitMs);
    if (got != 1) return false;
    if (m.message == WM_DNET_RECEIVED && m.wParam == key_) {
        ring_ = reinterpret_cast<DNetTestRingHeader*>(static_cast<uintptr_t>(m.lParam));
    }
    return true;
}

std::size_t TamsenRingSource::Read(std::span<uint8_t> out, std::chrono::milliseconds wait) {
    // Notifications only say "look at the ring": those queued so far are used up at once.
    while (TakeMessage(0)) {
    }
    const auto max = static_cast<uint32_t>(out.size() / DNETTEST_RECORD_SIZE);
    if (ring_ != nullptr) {
        if (const uint32_t n = DNetTestRing_Read(ring_, out.data(), max); n > 0) return n;
    }
    if (!TakeMessage(static_cast<uint32_t>(wait.count()))) return 0;
    return ring_ != nullptr ? DNetTestRing_Read(ring_, out.data(), max) : 0;
}

}  // namespace dnetmon
