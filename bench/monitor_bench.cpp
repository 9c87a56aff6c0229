// The slave data panes (offscreen unless a display is set): timed reads of the input panes of
// all 63 slaves of a running master against the in-process adapter emulator, at 100 ms and at
// 10 ms periods. Reported: the user-interface thread's CPU share of one core, and the reads per
// second achieved beside those asked for, which shows the shortest period the window can hold.
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QWidget>

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "network/master_api_table.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/slave_data_panel.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kDeviceType = 101;
constexpr uint32_t kSlaves = 63;

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    return fs::canonical("/proc/self/exe").parent_path().string();
}

class QuietHost : public name_share::IHost {
public:
    int ShowMessageBox(const name_share::MessageBoxRequest&) override { return 1; }
    void AppendLogRow(const name_share::LogRow&) override {}
};

struct ProgramHome {
    ProgramHome() : root(fs::temp_directory_path() / ("norvane-monitor-bench-" + std::to_string(::getpid()))) {
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

class EmulatedAdapter {
public:
    EmulatedAdapter() : dir_(fs::temp_directory_path() / ("norvane-monitor-bench-dev-" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
        adapter_emu::EmulatorOptions options;
        options.dir = dir_ / "dev";
        options.adapters = 1;
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
    ~EmulatedAdapter() {
        emulator_->Stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    EmulatedAdapter(const EmulatedAdapter&) = delete;
    EmulatedAdapter& operator=(const EmulatedAdapter&) = delete;

private:
    fs::path dir_;
    std::unique_ptr<adapter_emu::Emulator> emulator_;
};

// The linked master API with the reads counted.
std::atomic<uint64_t> g_reads{0};
PFN_VARDA_ReadSlaveIO g_linkedRead = nullptr;
uint32_t CountedRead(uint32_t handle, uint32_t mac, uint32_t type, uint8_t* buffer, uint32_t* length, uint32_t timeout) {
    g_reads.fetch_add(1, std::memory_order_relaxed);
    return g_linkedRead(handle, mac, type, buffer, length, timeout);
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void BM_TimedReadsOf63Slaves(benchmark::State& state) {
    const int periodMs = static_cast<int>(state.range(0));
    if (!fs::exists(BinDir() + "/libtamsen.so")) {
        state.SkipWithError("libtamsen.so not found; set NORVANE_BIN_DIR to the build's bin folder");
        return;
    }
    EmulatedAdapter adapter;
    QuietHost quiet;
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
        const double cpu0 = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(3000);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        cpuShare = 100.0 * (ThreadCpuSeconds() - cpu0) / seconds;
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

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ProgramHome home;
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GetNetwork().ClearNetwork();
    return 0;
}
