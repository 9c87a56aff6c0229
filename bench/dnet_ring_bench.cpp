// Received-message records per second from adapter-emu through libtamsen.so's receive thread and
// ring to a consumer thread. A feeder puts frames on the shared bus of the emulated adapter as
// fast as it takes them; the consumer is the notified thread and reads the ring on every
// WM_DNET_RECEIVED. Frames the adapter had to drop (its queue holds 1024) are counted apart.
#include <benchmark/benchmark.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "adapter_emu/adapter.h"
#include "adapter_emu/bus_hub.h"
#include "adapter_emu/clock.h"
#include "dnettest.h"

namespace {

constexpr uint32_t kKey = 7;

void BM_RecordsThroughRing(benchmark::State& state) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dnet-ring-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ::setenv("TAMSEN_DEVICE_DIR", dir.c_str(), 1);
    ::setenv("TAMSEN_TEST_CARD", "0", 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir.string() + ".log").c_str(), 1);

    auto hub = std::make_shared<adapter_emu::BusHub>();
    adapter_emu::FirmwareOptions options;
    options.sharedBus = hub;
    auto adapter = std::make_unique<adapter_emu::Adapter>(dir / "adapter0", adapter_emu::BusDescription{},
                                                          std::make_shared<adapter_emu::SteadyClock>(), options);
    adapter->Start();

    uint8_t block[DNETTEST_BLOCK_SIZE] = {};
    const uint32_t tid = static_cast<uint32_t>(::syscall(SYS_gettid));
    for (int i = 0; i < 4; ++i) {
        block[DNETTEST_BLOCK_THREAD + i] = static_cast<uint8_t>(tid >> (8 * i));
        block[DNETTEST_BLOCK_KEY + i] = static_cast<uint8_t>(kKey >> (8 * i));
    }
    block[DNETTEST_BLOCK_CONFIG] = 62;
    DNetTest_StartDrv(block);
    if (block[DNETTEST_BLOCK_STARTED] != 1 || DNetTest_Online(kKey) != 1) {
        state.SkipWithError("the emulated adapter did not start in test mode");
        return;
    }

    // The feeder: batches of 26 poll responses, as fast as the bus takes them.
    std::atomic<bool> feeding{true};
    std::thread feeder([&] {
        std::vector<adapter_emu::BusFrame> batch(26);
        uint32_t seq = 0;
        while (feeding.load(std::memory_order_relaxed)) {
            for (auto& f : batch) {
                f.canId = 0x3C1;
                f.data = {static_cast<uint8_t>(seq), static_cast<uint8_t>(seq >> 8), static_cast<uint8_t>(seq >> 16),
                          0};
                ++seq;
            }
            hub->Publish(nullptr, batch);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    std::vector<uint8_t> records(DNETTEST_RING_SLOTS * DNETTEST_RECORD_SIZE);
    int64_t received = 0;
    int64_t lostMarks = 0;
    for (auto _ : state) {
        int64_t got = 0;
        while (got < 2600) {
            DNetTestMessage m{};
            if (DNetTest_GetMessage(&m, 1000) == 0) break;
            if (m.message != WM_DNET_RECEIVED) continue;
            auto* ring = reinterpret_cast<DNetTestRingHeader*>(static_cast<uintptr_t>(m.lParam));
            const uint32_t n = DNetTestRing_Read(ring, records.data(), DNETTEST_RING_SLOTS);
            for (uint32_t i = 0; i < n; ++i) {
                if ((records[i * DNETTEST_RECORD_SIZE] & 0x80) != 0) ++lostMarks;
            }
            got += n;
        }
        received += got;
    }
    state.SetItemsProcessed(received);
    state.counters["adapter_drops"] = static_cast<double>(lostMarks);

    feeding.store(false);
    feeder.join();
    DNetTest_StopDrv(kKey);
    adapter->Stop();
    adapter.reset();
    std::filesystem::remove_all(dir);
}

BENCHMARK(BM_RecordsThroughRing)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
