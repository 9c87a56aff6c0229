// The slave data panes (offscreen unless a display is set): timed reads of the input panes of
// all 63 slaves of a running master against the in-process adapter emulator, at 100 ms and at
// 10 ms periods. Reported: the user-interface thread's CPU share of one core, and the reads per
// second achieved beside those asked for, which shows the shortest period the window can hold.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <memory>

#include "network/master_api_table.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/bench_bus.h"
#include "support/bin_dir.h"
#include "support/emulated_adapter.h"
#include "support/quiet_host.h"
#include "support/thread_cpu_time.h"
#include "support/widget_bench_main.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/slave_data_panel.h"

namespace {

constexpr uint32_t kDeviceType = 101;
constexpr uint32_t kSlaves = 63;

// The linked master API with the reads counted.
std::atomic<uint64_t> g_reads{0};
PFN_VARDA_ReadSlaveIO g_linkedRead = nullptr;
uint32_t CountedRead(uint32_t handle, uint32_t mac, uint32_t type, uint8_t* buffer, uint32_t* length,
                     uint32_t timeout) {
    g_reads.fetch_add(1, std::memory_order_relaxed);
    return g_linkedRead(handle, mac, type, buffer, length, timeout);
}

void BM_TimedReadsOf63Slaves(benchmark::State& state) {
    const int periodMs = static_cast<int>(state.range(0));
    if (!bench::TamsenLibraryBuilt()) {
        state.SkipWithError(bench::kNoTamsenLibrary);
        return;
    }
    bench::EmulatedAdapter adapter("norvane-monitor-bench-dev-", bench::CountingBusText(kSlaves), "bench bus");
    bench::QuietHost quiet;
    GetGlobal().SetHost(&quiet);
    VardaFunctions table = netsvc::LinkedMasterApi();
    g_linkedRead = table.ReadSlaveIO;
    table.ReadSlaveIO = &CountedRead;
    netsvc::ScopedMasterApi counted(table);

    NetworkRegistry& network = GetNetwork();
    network.ClearNetwork();
    CServerDev* master = network.GetOrCreateMaster(kDeviceType, 0, 0);
    master->SetConfig(MasterConfigBlock::Defaults(0, 0));
    for (uint32_t mac = 1; mac <= kSlaves; ++mac) {
        SlaveConfigBlock block = SlaveConfigBlock::Fresh(mac);
        block.use[ConnectionUse::kPoll] = 1;
        VARDA_SLAVE_CONFIG r = block.record.Record();
        r.PollInputSize = 4;
        r.PollOutputSize = 2;
        r.ConnectionFlags = DeriveConnectionFlags(block.use);
        block.record.SetRecord(r);
        auto slave = std::make_unique<CSlaveDev>();
        slave->ReplaceConfig(block);
        master->AddChild(std::move(slave));
    }
    if (master->Start() == 0) {
        state.SkipWithError("the master did not start");
        network.ClearNetwork();
        return;
    }
    // Every slave's panel; the input panes read on their timers.
    auto panel = std::make_unique<QWidget>();
    int timed = 0;
    for (int i = 0; i < master->GetChildCount(); ++i) {
        CSlaveDev* slave = master->GetChild(i);
        (void)QTest::qWaitFor([slave] { return slave->IsRunning() != 0; }, 5000);
        BuildSlaveDataGroups(*slave, panel.get());
    }
    for (CDlgDataPane* pane : panel->findChildren<CDlgDataPane*>()) {
        if (pane->Direction() != 1) continue;
        pane->SetText(CDlgDataPane::kIdPeriod, std::to_string(periodMs));
        pane->ControlAs<QAbstractButton>(CDlgDataPane::kIdTimed)->click();
        timed += pane->IsTimed() ? 1 : 0;
    }
    double cpuShare = 0;
    double readsPerSecond = 0;
    for (auto _ : state) {
        const uint64_t reads0 = g_reads.load();
        const double cpu0 = bench::ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(3000);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        cpuShare = 100.0 * (bench::ThreadCpuSeconds() - cpu0) / seconds;
        readsPerSecond = static_cast<double>(g_reads.load() - reads0) / seconds;
    }
    state.counters["timed_panes"] = timed;
    state.counters["ui_thread_cpu_percent"] = cpuShare;
    state.counters["reads_per_s"] = readsPerSecond;
    state.counters["reads_per_s_asked"] = timed * 1000.0 / periodMs;
    panel.reset();
    master->Stop();
    network.ClearNetwork();
    GetGlobal().SetHost(nullptr);
}
BENCHMARK(BM_TimedReadsOf63Slaves)->Arg(100)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return bench::RunWidgetBenchmarks(argc, argv, "norvane-monitor-bench-"); }
