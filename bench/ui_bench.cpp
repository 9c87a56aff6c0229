// The main window of Norvane (offscreen unless a display is set): the time from nothing to the
// shown window with the demo network loaded; the user-interface thread's CPU share while the
// 500 ms refresh runs over 4 masters x 63 slaves started against the in-process adapter
// emulator (the aim is below 2 % of one core); and the time to rebuild the tree for them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDeviceType = 101;
constexpr unsigned kMasters = 4;
constexpr uint32_t kSlaves = 63;

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    return fs::canonical("/proc/self/exe").parent_path().string();
}

std::string SourceDir() {
    if (const char* dir = std::getenv("NORVANE_SOURCE_DIR")) return dir;
    return NORVANE_SOURCE_DIR;
}

// Reports go nowhere: no message box may stop a measurement.
class QuietHost : public name_share::IHost {
public:
    int ShowMessageBox(const name_share::MessageBoxRequest&) override { return 1; }
    void AppendLogRow(const name_share::LogRow&) override {}
};

// A program folder of its own (a copy of the build's settings), so config.xml of the build is
// never rewritten; made before anything asks CGlobal.
struct ProgramHome {
    ProgramHome() : root(fs::temp_directory_path() / ("norvane-ui-bench-" + std::to_string(::getpid()))) {
        std::error_code ec;
        fs::create_directories(root, ec);
        for (const char* name : {"Norvane.xml", "config.xml", "language", "edsfile"}) {
            fs::copy(fs::path(BinDir()) / name, root / name, fs::copy_options::recursive, ec);
        }
        ::setenv("NORVANE_HOME", root.c_str(), 1);
    }
    ~ProgramHome() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root;
};

std::string BusText() {
    std::ostringstream out;
    out << "<bus name=\"bench\">\n";
    for (uint32_t mac = 1; mac <= kSlaves; ++mac) {
        out << "<slave mac=\"" << mac << "\" name=\"s" << mac << "\">"
            << "<identity vendor-id=\"1250\" device-type=\"7\" product-code=\"101\" product-name=\"Bench " << mac
            << "\"/><poll input=\"4\" output=\"2\" inputs=\"counter\"/></slave>\n";
    }
    out << "</bus>\n";
    return out.str();
}

// The emulator with four adapters in this process, and the registry file for libtamsen.so.
class EmulatedAdapters {
public:
    EmulatedAdapters() : dir_(fs::temp_directory_path() / ("norvane-ui-bench-dev-" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
        adapter_emu::EmulatorOptions options;
        options.dir = dir_ / "dev";
        options.adapters = kMasters;
        options.bus = adapter_emu::ParseBusText(BusText(), "bench bus");
        options.fast = true;
        emulator_ = std::make_unique<adapter_emu::Emulator>(std::move(options));
        emulator_->Start();
        std::ofstream(dir_ / "registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n\"DLL\"=\""
                                             << BinDir() << "/libtamsen.so\"\n";
        ::setenv("VARDA_REGISTRY", (dir_ / "registry.reg").c_str(), 1);
        ::setenv("TAMSEN_DEVICE_DIR", (dir_ / "dev").c_str(), 1);
        if (std::getenv("VARDA_DEBUG_OUTPUT") == nullptr) ::setenv("VARDA_DEBUG_OUTPUT", "/dev/null", 1);
    }
    ~EmulatedAdapters() {
        emulator_->Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    EmulatedAdapters(const EmulatedAdapters&) = delete;
    EmulatedAdapters& operator=(const EmulatedAdapters&) = delete;

private:
    fs::path dir_;
    std::unique_ptr<adapter_emu::Emulator> emulator_;
};

// 4 masters (one per adapter) with 63 slaves each, polled 4/2.
void BuildLargeNetwork() {
    NetworkRegistry& network = GetNetwork();
    network.ClearNetwork();
    for (unsigned card = 0; card < kMasters; ++card) {
        CServerDev* master = network.GetOrCreateMaster(kDeviceType, card, 0);
        master->SetConfig(MasterConfigBlock::Defaults(0, 0));
        for (uint32_t mac = 1; mac <= kSlaves; ++mac) {
            auto slave = std::make_unique<CSlaveDev>();
            slave->MutableConfig() = SlaveConfigBlock::Fresh(mac);
            master->AddChild(std::move(slave));
        }
    }
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void BM_StartupToShownWindowWithDemoNetwork(benchmark::State& state) {
    const QString demo = QString::fromStdString(SourceDir() + "/resources/demo/demo.kld");
    QuietHost quiet;
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
    if (!fs::exists(BinDir() + "/libtamsen.so")) {
        state.SkipWithError("libtamsen.so not found; set NORVANE_BIN_DIR to the build's bin folder");
        return;
    }
    EmulatedAdapters adapters;
    QuietHost quiet;
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
        const double cpu0 = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(3000);
        const double cpu = ThreadCpuSeconds() - cpu0;
        cpuShare = 100.0 * cpu / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
        // One tick on its own.
        const double tick0 = ThreadCpuSeconds();
        frame->OnRefreshTimer();
        tickMs = (ThreadCpuSeconds() - tick0) * 1000.0;
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
    QuietHost quiet;
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ProgramHome home;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    CMainFrame::SetProfileFile(QString::fromStdString((home.root / "profile.ini").string()));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GetNetwork().ClearNetwork();
    return 0;
}
