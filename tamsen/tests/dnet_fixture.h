// Test fixture of the test interface: the fake driver with four adapters, a scripted adapter
// for DcDntRecv (each acknowledge is handed out once; with nothing scripted the read waits), and
// the calling thread as the receiver of the notifications.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "dnettest.h"
#include "fake_fixture.h"
#include "packet.h"
#include "platform/byte_order.h"
#include "thread_messages.h"

namespace tamsen::testing {

// One 19-byte record whose data carry `seq` (u32 LE) and whose identifier is `canId`.
inline Bytes RecordBytes(uint32_t seq, uint16_t canId = 0x3C1) {
    Bytes r(DNETTEST_RECORD_SIZE, 0);
    r[0] = 1;
    platform::PutU16LE(r, 1, canId);
    r[3] = 8;
    platform::PutU32LE(r, 4, seq);
    platform::PutU32LE(r, 12, seq * 10);
    return r;
}

// A DcDntRecv acknowledge carrying records `first` .. `first + count - 1`.
inline Bytes RecvAck(uint32_t first, uint32_t count) {
    Bytes payload;
    for (uint32_t i = 0; i < count; ++i) {
        Bytes r = RecordBytes(first + i);
        payload.insert(payload.end(), r.begin(), r.end());
    }
    return FakeDriver::Ack(0x58, payload, payload.size() + 8 > 64 ? 1 : 0);
}

class RecvScript {
public:
    void Push(FakeDriver::Reply reply) {
        std::lock_guard<std::mutex> guard(lock_);
        replies_.push_back(std::move(reply));
        wake_.notify_all();
    }
    // Blocks the next exchange until Release (or stopping).
    void Hold() {
        std::lock_guard<std::mutex> guard(lock_);
        hold_ = true;
    }
    void Release() {
        std::lock_guard<std::mutex> guard(lock_);
        hold_ = false;
        wake_.notify_all();
    }
    bool WaitingInExchange(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(lock_);
        return wake_.wait_for(guard, timeout, [&] { return waiting_; });
    }
    // From now on every read fails at once, so that the receive thread can be stopped.
    void Stop() {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        wake_.notify_all();
    }
    std::size_t Pending() {
        std::lock_guard<std::mutex> guard(lock_);
        return replies_.size();
    }

    FakeDriver::Reply Next() {
        std::unique_lock<std::mutex> guard(lock_);
        waiting_ = true;
        wake_.notify_all();
        wake_.wait(guard, [&] { return stopping_ || (!hold_ && !replies_.empty()); });
        waiting_ = false;
        if (replies_.empty() || hold_) return FakeDriver::Reply::Fail();
        FakeDriver::Reply r = std::move(replies_.front());
        replies_.pop_front();
        return r;
    }

private:
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<FakeDriver::Reply> replies_;
    bool hold_ = false;
    bool waiting_ = false;
    bool stopping_ = false;
};

class DnetTestFixture : public FakeAdapterTest {
protected:
    static constexpr uint32_t kKey = 0x1234;

    void SetUp() override {
        FakeAdapterTest::SetUp();
        fake_->AddDevice("fake/dev2");
        fake_->AddDevice("fake/dev3");
        fake_->SetResponder([this](const std::string&, int pipe, const Bytes& command) {
            if (pipe == 6 && command.size() >= 2 && command[1] == 0x58) {
                FakeDriver::Reply r = script_.Next();
                if (r.kind != FakeDriver::Reply::Kind::Data || r.bytes.size() <= 64) return r;
                // A long acknowledge: 64 bytes with the header check first, the whole one on pipe 08.
                std::lock_guard<std::mutex> guard(extensionLock_);
                extension_ = r.bytes;
                Bytes first(r.bytes.begin(), r.bytes.begin() + 64);
                first[7] = XorChecksum(std::span<const uint8_t>(first.data(), 7));
                return FakeDriver::Reply::Data(first);
            }
            if (pipe == 8) {
                std::lock_guard<std::mutex> guard(extensionLock_);
                return FakeDriver::Reply::Data(std::exchange(extension_, {}));
            }
            if ((pipe == 0 || pipe == 6) && command.size() >= 2)
                return FakeDriver::Reply::Data(FakeDriver::Ack(command[1]));
            return FakeDriver::Reply::Nothing();
        });
        ::unsetenv("TAMSEN_TEST_CARD");
    }

    void TearDown() override {
        script_.Stop();
        FakeAdapterTest::TearDown();
        ::unsetenv("TAMSEN_TEST_CARD");
        DNetTestMessage m;
        while (DNetTest_PeekMessage(&m, DNETTEST_PM_REMOVE) != 0) {
        }
    }

    // A start block for the calling thread with `key` and configuration byte `config`.
    std::array<uint8_t, DNETTEST_BLOCK_SIZE> Block(uint32_t key = kKey, uint8_t config = 0x05) {
        std::array<uint8_t, DNETTEST_BLOCK_SIZE> b{};
        b[0] = 0xAA;
        platform::PutU32LE(b, DNETTEST_BLOCK_THREAD, CurrentThreadId());
        platform::PutU32LE(b, DNETTEST_BLOCK_KEY, key);
        b[DNETTEST_BLOCK_CONFIG] = config;
        b[127] = 0x77;
        return b;
    }

    // Starts adapter `card` under `key`; returns the library's ring header (from WM_DNET_RECEIVED
    // or the started message's block) or nullptr.
    bool Start(uint32_t card, std::array<uint8_t, DNETTEST_BLOCK_SIZE>& block) {
        ::setenv("TAMSEN_TEST_CARD", std::to_string(card).c_str(), 1);
        DNetTest_StartDrv(block.data());
        return platform::GetU32LE(block, DNETTEST_BLOCK_STARTED) == 1;
    }

    // The next message of this thread other than none within `ms`.
    std::optional<DNetTestMessage> NextMessage(uint32_t ms = 2000) {
        DNetTestMessage m{};
        if (DNetTest_GetMessage(&m, ms) == 0) return std::nullopt;
        return m;
    }

    // Waits for the next WM_DNET_RECEIVED and returns its ring header.
    DNetTestRingHeader* NextReceived(uint32_t ms = 2000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            std::optional<DNetTestMessage> m = NextMessage(ms);
            if (!m) return nullptr;
            if (m->message == WM_DNET_RECEIVED) {
                EXPECT_EQ(m->wParam, kKey);
                return reinterpret_cast<DNetTestRingHeader*>(static_cast<uintptr_t>(m->lParam));
            }
        }
        return nullptr;
    }

    RecvScript script_;
    std::mutex extensionLock_;
    Bytes extension_;
};

}  // namespace tamsen::testing
