// Simulated time of the adapter. The daemon runs on the steady clock; tests use a manual clock
// whose sleeps advance time at once, so transitions over minutes take no real time.
#pragma once

#include <atomic>
#include <cstdint>
#include <stop_token>

namespace adapter_emu {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start.
    virtual uint64_t NowMs() const = 0;
    // Waits `ms` of simulated time. Returns false when `stop` was requested first.
    virtual bool SleepFor(uint32_t ms, std::stop_token stop) = 0;
};

class SteadyClock final : public Clock {
public:
    SteadyClock();
    uint64_t NowMs() const override;
    bool SleepFor(uint32_t ms, std::stop_token stop) override;

private:
    uint64_t startNs_;
};

// Time moves only when a test advances it or a simulated wait passes.
class ManualClock final : public Clock {
public:
    explicit ManualClock(uint64_t startMs = 0) : now_(startMs) {}
    uint64_t NowMs() const override { return now_.load(); }
    bool SleepFor(uint32_t ms, std::stop_token stop) override {
        if (stop.stop_requested()) return false;
        now_ += ms;
        return true;
    }
    void Advance(uint64_t ms) { now_ += ms; }

private:
    std::atomic<uint64_t> now_;
};

}  // namespace adapter_emu
