// The receive ring under a slow consumer: the receive thread and a consumer thread share the ring
// without a lock; every record arrives once, in order, and none is overwritten before it is read.
#include <gtest/gtest.h>

#include <thread>

#include "dnet_fixture.h"

namespace tamsen::testing {
namespace {

class DnetRingConcurrencyTest : public DnetTestFixture {};

TEST_F(DnetRingConcurrencyTest, SlowConsumerLosesNothing) {
    constexpr uint32_t kTotal = 6000;
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    // The adapter answers as fast as it can, in acknowledges of 1 to 26 records.
    std::thread adapter([&] {
        uint32_t seq = 0;
        uint32_t size = 1;
        while (seq < kTotal) {
            const uint32_t n = std::min(size, kTotal - seq);
            script_.Push(FakeDriver::Reply::Data(RecvAck(seq, n)));
            seq += n;
            size = size % 26 + 1;
            while (script_.Pending() > 4) std::this_thread::yield();
        }
    });
    // The consumer is the notified thread; it reads few records at a time and dawdles.
    std::vector<uint8_t> out(7 * DNETTEST_RECORD_SIZE);
    uint32_t expected = 0;
    uint32_t reads = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    DNetTestRingHeader* ring = nullptr;
    while (expected < kTotal && std::chrono::steady_clock::now() < until) {
        // A notification, or a look now and then: what is left after the last batch is read too.
        DNetTestMessage m{};
        if (DNetTest_GetMessage(&m, 5) == 1 && m.message == WM_DNET_RECEIVED) {
            ring = reinterpret_cast<DNetTestRingHeader*>(static_cast<uintptr_t>(m.lParam));
        }
        if (ring == nullptr) continue;
        const uint32_t n = DNetTestRing_Read(ring, out.data(), 7);
        for (uint32_t i = 0; i < n; ++i) {
            const Bytes got(out.begin() + i * DNETTEST_RECORD_SIZE, out.begin() + (i + 1) * DNETTEST_RECORD_SIZE);
            ASSERT_EQ(got, RecordBytes(expected)) << "record " << expected;
            ++expected;
        }
        if (++reads % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    adapter.join();
    EXPECT_EQ(expected, kTotal);
}

}  // namespace
}  // namespace tamsen::testing
