// The main window of Norvane (offscreen unless a display is set): the time from nothing to the
// shown window with the demo network loaded; the user-interface thread's CPU share while the
// 500 ms refresh runs over 4 masters x 63 slaves started against the in-process adapter
// emulator (the aim is below 2 % of one core); and the time to rebuild the tree for them.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <string>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/bench_bus.h"
#include "support/bench_network.h"
#include "support/bin_dir.h"
#include "support/emulated_adapter.h"
#include "support/quiet_host.h"
#include "support/thread_cpu_time.h"
#include "support/widget_bench_main.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/frame/window_profile.h"

namespace {

constexpr uint32_t kDeviceType = 101;
constexpr unsigned kMasters = 4;
constexpr uint32_t kSlaves = 63;

std::string SourceDir() {
    if (const char* dir = std::getenv("NORVANE_SOURCE_DIR")) return dir;
    return NORVANE_SOURCE_DIR;
}

// 4 masters (one per adapter) with 63 slaves each, polled 4/2.
void BuildLargeNetwork() {
    NetworkRegistry& network = GetNetwork();
    network.ClearNetwork();
    for (unsigned card = 0; card < kMasters; ++card) {
        bench::AddMasterWithFreshSlaves(network, kDeviceType, card, kSlaves);
    }
}

void BM_StartupToShownWindowWithDemoNetwork(benchmark::State& state) {
    const QString demo = QString::fromStdString(SourceDir() + "/resources/demo/demo.kld");
    bench::QuietHost quiet;
    for (auto _ : state) {
        auto frame = std::make_unique<CMainFrame>();
        GetGlobal().SetHost(&quiet);
        frame->show();
        if (!QTest::qWaitForWindowExposed(frame.get())) {
            state.SkipWithError("the window was not shown");
            return;
        }
        frame->OpenNetworkFile(demo, true);
        QCoreApplication::processEvents();
        state.PauseTiming();
        frame.reset();
        GetNetwork().ClearNetwork();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToShownWindowWithDemoNetwork)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RefreshOf4x63RunningSlaves(benchmark::State& state) {
    if (!bench::TamsenLibraryBuilt()) {
        state.SkipWithError(bench::kNoTamsenLibrary);
        return;
    }
    // The emulator with four adapters, one per master.
    bench::EmulatedAdapter adapters("norvane-ui-bench-dev-", bench::CountingBusText(kSlaves), "bench bus", kMasters);
    bench::QuietHost quiet;
    auto frame = std::make_unique<CMainFrame>();
    GetGlobal().SetHost(&quiet);
    frame->show();
    BuildLargeNetwork();
    frame->Tree()->Rebuild();
    frame->Tree()->expandAll();
    for (CServerDev* master : GetNetwork().Masters()) {
        frame->Tree()->SelectNode(master);
        QSignalSpy finished(frame.get(), &CMainFrame::startFinished);
        frame->StartSelectedMaster();
        if (!finished.wait(60000) || !finished.front().front().toBool()) {
            state.SkipWithError("a master did not start");
            return;
        }
    }
    frame->Tree()->SelectNode(GetNetwork().Masters().front()->GetChild(0));
    double cpuShare = 0;
    double tickMs = 0;
    for (auto _ : state) {
        // Three seconds of the event loop with the 500 ms timer running: the UI thread's CPU.
        const double cpu0 = bench::ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(3000);
        const double cpu = bench::ThreadCpuSeconds() - cpu0;
        cpuShare = 100.0 * cpu / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
        // One tick on its own.
        const double tick0 = bench::ThreadCpuSeconds();
        frame->OnRefreshTimer();
        tickMs = (bench::ThreadCpuSeconds() - tick0) * 1000.0;
    }
    state.counters["ui_thread_cpu_percent"] = cpuShare;
    state.counters["cpu_ms_per_tick"] = tickMs;
    state.counters["timer_active"] = frame->RefreshTimerActive() ? 1 : 0;
    for (CServerDev* master : GetNetwork().Masters()) {
        frame->Tree()->SelectNode(master);
        frame->StopSelectedMaster();
    }
    frame.reset();
    GetNetwork().ClearNetwork();
}
BENCHMARK(BM_RefreshOf4x63RunningSlaves)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RebuildTreeOf4x63Slaves(benchmark::State& state) {
    bench::QuietHost quiet;
    auto frame = std::make_unique<CMainFrame>();
    GetGlobal().SetHost(&quiet);
    BuildLargeNetwork();  // the cards cannot be opened here: only the tree is measured
    for (auto _ : state) {
        frame->Tree()->Rebuild();
        benchmark::DoNotOptimize(frame->Tree()->NodeCount());
    }
    state.counters["nodes"] = frame->Tree()->NodeCount();
    frame.reset();
    GetNetwork().ClearNetwork();
}
BENCHMARK(BM_RebuildTreeOf4x63Slaves)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return bench::RunWidgetBenchmarks(argc, argv, "norvane-ui-bench-", [](const bench::ProgramHome& home) {
        window_profile::SetFile(QString::fromStdString((home.root / "profile.ini").string()));
    });
}
