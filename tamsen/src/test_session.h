// What a test-mode adapter has beyond a master: the copy of the caller's start block, the receive
// ring and the receive thread with its stop request.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "dnettest.h"
#include "rx_ring.h"

namespace tamsen {

class TestSession {
public:
    TestSession(std::span<const uint8_t, DNETTEST_BLOCK_SIZE> block, uint32_t key);
    // Stops and joins the receive thread.
    ~TestSession();
    TestSession(const TestSession&) = delete;
    TestSession& operator=(const TestSession&) = delete;

    std::array<uint8_t, DNETTEST_BLOCK_SIZE>& Block() { return block_; }
    uint32_t Key() const { return key_; }
    uint32_t NotifyThread() const;
    RxRing& Ring() { return ring_; }

    // Starts `body` as the receive thread (std::system_error when it cannot be created).
    template <class Body>
    void StartThread(Body body) {
        thread_ = std::thread(std::move(body));
    }
    // Sets the stop request and waits until the receive thread has left its loop.
    void Stop();
    bool StopRequested() const { return stopRequest_.load(std::memory_order_acquire) != 0; }
    // Sleeps up to `duration`, returning early when the stop request is set.
    void WaitForStop(std::chrono::milliseconds duration);

private:
    std::array<uint8_t, DNETTEST_BLOCK_SIZE> block_{};
    uint32_t key_;
    RxRing ring_;
    std::atomic<uint32_t> stopRequest_{0};
    std::mutex stopLock_;
    std::condition_variable stopWake_;
    std::thread thread_;
};

}  // namespace tamsen
