// Records from libtamsen.so's receive ring of one test-mode adapter. The ring's address comes
// with the WM_DNET_RECEIVED notifications, so Read must run on the thread they are posted to.
#pragma once

#include "dnettest.h"
#include "ring_reader.h"

namespace dnetmon {

class TamsenRingSource final : public RecordSource {
public:
    explicit TamsenRingSource(uint32_t key) : key_(key) {}
    std::size_t Read(std::span<uint8_t> out, std::chrono::milliseconds wait) override;

private:
    bool TakeMessage(uint32_t waitMs);

    uint32_t key_;
    DNetTestRingHeader* ring_ = nullptr;
};

}  // namespace dnetmon
