#include "adapter_emu/clock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace adapter_emu {

namespace {
uint64_t SteadyNs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}
}  // namespace

SteadyClock::SteadyClock() : startNs_(SteadyNs()) {}

uint64_t SteadyClock::NowMs() const { return (SteadyNs() - startNs_) / 1000000u; }

bool SteadyClock::SleepFor(uint32_t ms, std::stop_token stop) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    cv.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
    return !stop.stop_requested();
}

}  // namespace adapter_emu
