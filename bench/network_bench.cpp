// Network model figures: saving and loading a network of 4 cards x 63 slaves (each with an EDS
// description), and the CPU share of a master's status poller with 63 slaves (behind the scripted
// master device library, so the figure is the poller's own cost).
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "network/slave_setup.h"

namespace {

std::filesystem::path WorkDir() {
    static std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("norvane-network-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        std::ofstream(d / "dev.eds", std::ios::binary)
            << "[Device]\r\nVendCode = 1250;\r\nProdType = 2;\r\nProdCode = 104;\r\nMajRev = 3;\r\n"
               "ProdName = \"Bench device\";\r\n"
               "[IO_Info]\r\nDefault = 0x0001;\r\nPollInfo = 0x0001, 1, 1;\r\n"
               "Input1 = 4, 0, 0x0001, \"In\", 6, \"20 04 24 65 30 03\", \"\";\r\n"
               "Output1 = 4, 0, 0x0001, \"Out\", 6, \"20 04 24 64 30 03\", \"\";\r\n"
               "[Params]\r\n"
               "Param1 = 0, 6, \"20 0F 24 01 30 01\", 0x0000, 0xC7, 2, \"P1\", \"\", \"\", 0, 100, 1, "
               "1,1,1,0,0,0,0,0,0;\r\n";
        return d;
    }();
    return dir;
}

std::string Resolve(const std::string&) { return (WorkDir() / "dev.eds").string(); }

void Fill(NetworkRegistry& network, uint32_t cards, uint32_t slaves) {
    for (uint32_t card = 0; card < cards; ++card) {
        CServerDev* master = network.GetOrCreateMaster(101, card, 0);
        master->SetConfig(MasterConfigBlock::Defaults(0, 0));
        std::vector<SearchedSlave> found;
        for (uint32_t mac = 1; mac <= slaves; ++mac) found.push_back({mac, "dev"});
        AddSearchedSlaves(master, found, &Resolve);
    }
}

void BM_SaveNetwork(benchmark::State& state) {
    ::setenv("VARDA_REGISTRY", "/nonexistent/norvane-bench.reg", 1);
    NetworkRegistry network;
    Fill(network, 4, 63);
    std::string path = (WorkDir() / "save.kld").string();
    for (auto _ : state) benchmark::DoNotOptimize(SaveNetworkFile(network, path));
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_SaveNetwork)->Unit(benchmark::kMillisecond);

void BM_LoadNetwork(benchmark::State& state) {
    ::setenv("VARDA_REGISTRY", "/nonexistent/norvane-bench.reg", 1);
    std::string path = (WorkDir() / "load.kld").string();
    {
        NetworkRegistry network;
        Fill(network, 4, 63);
        SaveNetworkFile(network, path);
    }
    NetworkRegistry network;
    for (auto _ : state) benchmark::DoNotOptimize(LoadNetworkFile(network, path).parsed);
    state.counters["slaves"] = 4 * 63;
}
BENCHMARK(BM_LoadNetwork)->Unit(benchmark::kMillisecond);

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

// The poller of one running master with 63 slaves, over one second of wall time.
void BM_StatusPollerCpuShare(benchmark::State& state) {
    const char* bin = std::getenv("NORVANE_BIN_DIR");
    std::string library = std::string(bin != nullptr ? bin : ".") + "/libfake_master_device.so";
    if (!std::filesystem::exists(library)) {
        state.SkipWithError("set NORVANE_BIN_DIR to the build's bin folder (libfake_master_device.so)");
        return;
    }
    std::filesystem::path registry = WorkDir() / "registry.reg";
    std::ofstream(registry) << "Windows Registry Editor Version 5.00\n\n"
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n\"DLL\"=\""
                            << library << "\"\n";
    ::setenv("VARDA_REGISTRY", registry.c_str(), 1);
    NetworkRegistry network;
    Fill(network, 1, 63);
    CServerDev* master = network.FindMaster(101, 0, 0);
    if (master->Start() == 0) {
        state.SkipWithError("the master did not start");
        return;
    }
    double share = 0;
    for (auto _ : state) {
        double cpu0 = ProcessCpuSeconds();
        auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        share = (ProcessCpuSeconds() - cpu0) / wall;
    }
    master->Stop();
    state.counters["cpu_share_percent"] = share * 100.0;
}
BENCHMARK(BM_StatusPollerCpuShare)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
