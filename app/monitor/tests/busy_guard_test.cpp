#include "monitor/busy_guard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

TEST(BusyGuardTest, ATickWhileHeldIsRefusedAndTheGuardIsFreeAgainAfterwards) {
    monitor::BusyGuard guard;
    int runs = 0;
    int skipped = 0;
    // A tick whose report runs a nested loop that delivers three more ticks.
    std::function<void(int)> tick = [&](int nested) {
        auto hold = guard.TryHold();
        if (!hold) {
            ++skipped;
            return;
        }
        ++runs;
        for (int i = 0; i < nested; ++i) tick(0);
    };
    tick(3);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(skipped, 3);
    EXPECT_FALSE(guard.Busy());
    tick(0);
    EXPECT_EQ(runs, 2);
}

TEST(BusyGuardTest, OnlyOneThreadHoldsItAtATime) {
    monitor::BusyGuard guard;
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (auto hold = guard.TryHold()) {
                    const int now = ++inside;
                    int seen = most.load();
                    while (now > seen && !most.compare_exchange_weak(seen, now)) {
                    }
                    --inside;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(most.load(), 1);
    EXPECT_FALSE(guard.Busy());
}

}  // namespace
