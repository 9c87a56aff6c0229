// Threads on one adapter and on two adapters, and closing under a running call.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <thread>

#include "fake_fixture.h"

namespace tamsen::testing {
namespace {

using Reply = FakeDriver::Reply;
using namespace std::chrono_literals;

class ConcurrencyTest : public FakeAdapterTest {};

// A gate that a responder waits at until the test opens it (or a time limit passes, so that a
// fault shows as a failure, not a hang).
class Gate {
public:
    void Arrive() {
        std::lock_guard<std::mutex> guard(lock_);
        ++arrived_;
        cv_.notify_all();
    }
    bool WaitArrived(int count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        return cv_.wait_for(guard, limit, [&] { return arrived_ >= count; });
    }
    void Open() {
        std::lock_guard<std::mutex> guard(lock_);
        open_ = true;
        cv_.notify_all();
    }
    bool WaitOpen(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        return cv_.wait_for(guard, limit, [&] { return open_; });
    }
    bool IsOpen() {
        std::lock_guard<std::mutex> guard(lock_);
        return open_;
    }

private:
    std::mutex lock_;
    std::condition_variable cv_;
    int arrived_ = 0;
    bool open_ = false;
};

TEST_F(ConcurrencyTest, CloseDuringExplicitRequestReturnsAtOnceAndDestroysLater) {
    const uint32_t handle = OpenAndInit();
    Gate gate;
    fake_->SetResponder([&](const std::string&, int pipe, const Bytes& command) {
        if (pipe == 6) {
            gate.Arrive();
            (void)gate.WaitOpen(10s);
            return Reply::Data(FakeDriver::Ack(command[1], {0xAB}));
        }
        return Reply::Data(FakeDriver::Ack(command[1]));
    });
    std::atomic<uint32_t> requestResult{99};
    uint8_t response[8] = {};
    uint32_t responseLength = sizeof response;
    std::thread request([&] {
        const uint8_t data[1] = {1};
        requestResult = VARDA_EMRequest(handle, 3, 0x0E, 1, 1, data, 1, response, &responseLength, 5000);
    });
    ASSERT_TRUE(gate.WaitArrived(1, 10s));

    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_FALSE(gate.IsOpen()) << "Close waited for the explicit request";
    // Still alive under the running request: pipes open, handle known, no second close.
    EXPECT_EQ(fake_->OpenPipes("fake/dev0").size(), 8u);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_EQ(Writes(1).size(), 2u);  // Close sent once per call, device closed once
    // The card is closed: a new call on its handle is refused and sends nothing, although the
    // running request still holds the card.
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Uninit(handle), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(Writes(1).size(), 2u);
    gate.Open();
    request.join();
    EXPECT_EQ(requestResult.load(), 0u);
    EXPECT_EQ(responseLength, 1u);
    EXPECT_EQ(response[0], 0xAB);
    // The request was the last user: now everything is gone.
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Close(101, 0), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Open(101, 0, 0), 0u);
}

TEST_F(ConcurrencyTest, TwoAdaptersExchangeInParallel) {
    const uint32_t first = OpenAndInit(0);
    const uint32_t second = OpenAndInit(1);
    Gate gate;
    std::atomic<int> metBoth{0};
    fake_->SetResponder([&](const std::string&, int, const Bytes& command) {
        if (command[1] == 0x4F) {
            gate.Arrive();
            // Both exchanges must be in flight at the same time.
            if (gate.WaitArrived(2, 5s)) ++metBoth;
            return Reply::Data(FakeDriver::Ack(command[1], {0}));
        }
        return Reply::Data(FakeDriver::Ack(command[1]));
    });
    std::atomic<uint32_t> a{99}, b{99};
    std::thread ta([&] { a = VARDA_GetSlaveStatus(first, 1); });
    std::thread tb([&] { b = VARDA_GetSlaveStatus(second, 2); });
    ta.join();
    tb.join();
    EXPECT_EQ(a.load(), 0u);
    EXPECT_EQ(b.load(), 0u);
    EXPECT_EQ(metBoth.load(), 2);
}

TEST_F(ConcurrencyTest, ThreadsOnOneAdapterAreSerialised) {
    const uint32_t handle = OpenAndInit();
    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};
    fake_->SetResponder([&](const std::string&, int, const Bytes& command) {
        const int now = ++inFlight;
        int seen = maxInFlight.load();
        while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(200us);
        --inFlight;
        return Reply::Data(FakeDriver::Ack(command[1], {static_cast<uint8_t>(command.size() > 8 ? command[8] : 0)}));
    });
    constexpr int kThreads = 4;
    constexpr int kCalls = 40;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kCalls; ++i) {
                // Each thread asks for its own MAC ID and must get its own answer back.
                const uint32_t mac = static_cast<uint32_t>(t * 10 + 1);
                if (VARDA_GetSlaveStatus(handle, mac) != mac) ++wrong;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(maxInFlight.load(), 1);
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(Writes(1).size(), static_cast<std::size_t>(kThreads * kCalls));
}

TEST_F(ConcurrencyTest, CallsRacingCloseAndUninitNeverTouchAFreedDevice) {
    for (int round = 0; round < 20; ++round) {
        const uint32_t handle = OpenAndInit();
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        std::atomic<int> unexpected{0};
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([&] {
                while (!go) std::this_thread::yield();
                for (int i = 0; i < 20; ++i) {
                    // A call that took the card before the close but reaches the adapter after
                    // it fails (57); later calls find the handle refused (48).
                    const uint32_t r = VARDA_GetSlaveStatus(handle, 1);
                    if (r != 0 && r != VARDA_ERR_INVALID_HANDLE && r != VARDA_ERR_INTERNAL) ++unexpected;
                }
            });
        }
        threads.emplace_back([&] {
            while (!go) std::this_thread::yield();
            (void)VARDA_Uninit(handle);
        });
        go = true;
        EXPECT_EQ(VARDA_Close(101, 0), 0u);
        for (auto& t : threads) t.join();
        EXPECT_EQ(unexpected.load(), 0);
        EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
        EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INVALID_HANDLE);
    }
}

}  // namespace
}  // namespace tamsen::testing
