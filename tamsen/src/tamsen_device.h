// One open adapter and one initialised channel.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "pipe_set.h"
#include "test_session.h"

namespace tamsen {

class TamsenDevice {
public:
    TamsenDevice(std::unique_ptr<PipeSet> pipes, uint32_t deviceIndex)
        : pipes_(std::move(pipes)), deviceIndex_(deviceIndex) {}
    // A test-mode adapter's receive thread is stopped and joined before its pipes close.
    ~TamsenDevice() {
        if (testSession) testSession->Stop();
    }
    TamsenDevice(const TamsenDevice&) = delete;
    TamsenDevice& operator=(const TamsenDevice&) = delete;

    PipeSet& Pipes() { return *pipes_; }
    uint32_t DeviceIndex() const { return deviceIndex_; }

    // Serialises the command exchanges of one pipe group of this adapter. Each group has its own
    // lock, so a long explicit request does not hold up a Close on the normal group.
    std::mutex& CommandLock(bool explicitGroup) { return explicitGroup ? emCommandLock_ : commandLock_; }

    // Guarded by the device-table lock.
    uint32_t useCount = 1;
    uint32_t closing = 0;
    uint8_t testMode = 0;

    // Test mode only: block copy, receive ring and receive thread.
    std::unique_ptr<TestSession> testSession;

    // The receive thread of a test-mode adapter: fetches received-message records on the
    // explicit-message pipe group without the command lock until the stop request is set.
    uint32_t RxThread(TestSession& session);

private:
    std::unique_ptr<PipeSet> pipes_;
    uint32_t deviceIndex_;
    std::mutex commandLock_;
    std::mutex emCommandLock_;
};

// One channel initialised by VARDA_Init.
struct TamsenChannel {
    TamsenDevice* device = nullptr;  // owned by the device table; outlives the record
    uint32_t channelIndex = 0;
    std::mutex lock;  // the record's own lock; no operation needs it
};

}  // namespace tamsen
