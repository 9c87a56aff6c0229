#include "test_session.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace tamsen {

TestSession::TestSession(std::span<const uint8_t, DNETTEST_BLOCK_SIZE> block, uint32_t key) : key_(key) {
    std::copy(block.begin(), block.end(), block_.begin());
}

TestSession::~TestSession() { Stop(); }

uint32_t TestSession::NotifyThread() const { return platform::GetU32LE(block_, DNETTEST_BLOCK_THREAD); }

void TestSession::Stop() {
    {
        std::lock_guard<std::mutex> guard(stopLock_);
        stopRequest_.store(1, std::memory_order_release);
    }
    stopWake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void TestSession::WaitForStop(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> guard(stopLock_);
    stopWake_.wait_for(guard, duration, [&] { return StopRequested(); });
}

}  // namespace tamsen
