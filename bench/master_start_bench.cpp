// Start of a master with 63 slaves against the adapter emulator, through libvarda.so and
// libtamsen.so over the emulator's sockets: the time from Start until every slave shows
// "从站在线", then I/O exchanges per second (VARDA_ReadSlaveIO round robin over the 63 slaves)
// while the master's status poller keeps running beside them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "support/bench_bus.h"
#include "support/bench_network.h"
#include "support/bin_dir.h"
#include "support/emulated_adapter.h"
#include "varda_api.h"

namespace {

constexpr uint32_t kDeviceType = 101;
constexpr uint32_t kSlaves = 63;

bool AllOnline(const CServerDev& master) {
    for (int i = 0; i < master.GetChildCount(); ++i) {
        if (master.GetChild(i)->StatusText() != "从站在线") return false;
    }
    return true;
}

void BM_MasterStartAgainstEmulator(benchmark::State& state) {
    if (!bench::TamsenLibraryBuilt()) {
        state.SkipWithError(bench::kNoTamsenLibrary);
        return;
    }
    bench::EmulatedAdapter adapter("norvane-start-bench-", bench::CountingBusText(kSlaves), "bench bus");
    double onlineMs = 0;
    double exchangesPerSecond = 0;
    for (auto _ : state) {
        NetworkRegistry network;
        CServerDev* master = bench::AddMasterWithFreshSlaves(network, kDeviceType, 0, kSlaves);
        auto start = std::chrono::steady_clock::now();
        if (master->Start() == 0) {
            state.SkipWithError("the master did not start");
            return;
        }
        auto limit = start + std::chrono::seconds(30);
        while (!AllOnline(*master) && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!AllOnline(*master)) {
            master->Stop();
            state.SkipWithError("not every slave came on line within 30 s");
            return;
        }
        onlineMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();

        state.PauseTiming();
        uint64_t exchanges = 0;
        auto t0 = std::chrono::steady_clock::now();
        auto t1 = t0 + std::chrono::seconds(1);
        uint32_t mac = 1;
        while (std::chrono::steady_clock::now() < t1) {
            uint8_t buffer[64];
            uint32_t length = sizeof buffer;
            VARDA_ReadSlaveIO(master->Handle(), mac, VARDA_CONN_POLL, buffer, &length, 1000);
            ++exchanges;
            mac = mac % kSlaves + 1;
        }
        exchangesPerSecond = static_cast<double>(exchanges) /
                             std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        master->Stop();
        state.ResumeTiming();
    }
    state.counters["ms_to_all_online"] = onlineMs;
    state.counters["io_exchanges_per_s"] = exchangesPerSecond;
}
BENCHMARK(BM_MasterStartAgainstEmulator)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
