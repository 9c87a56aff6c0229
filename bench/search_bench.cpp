// The network search of a master with no configured slaves (63 addresses) against the adapter
// emulator serving the demo bus (6 present slaves), through libvarda.so and libtamsen.so: the time
// of the whole search (scan-list set-up, pause until every address reports, identity requests,
// clean-up) and the explicit requests sent per slave found. The emulator answers absent addresses
// at once (--fast), so the figure is the program's and the adapter path's own cost.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "network/network_registry.h"
#include "network/network_search.h"
#include "network/server_dev.h"

namespace {

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

std::string DemoBus() {
    std::ifstream in(std::string(NORVANE_SOURCE_DIR) + "/resources/demo/bus.xml");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The emulator in this process and a registry file naming the built libtamsen.so.
class EmulatedAdapter {
public:
    EmulatedAdapter()
        : dir_(std::filesystem::temp_directory_path() / ("norvane-search-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        adapter_emu::EmulatorOptions options;
        options.dir = dir_ / "dev";
        options.bus = adapter_emu::ParseBusText(DemoBus(), "demo bus");
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
        std::filesystem::remove_all(dir_, ec);
    }
    EmulatedAdapter(const EmulatedAdapter&) = delete;
    EmulatedAdapter& operator=(const EmulatedAdapter&) = delete;

private:
    std::filesystem::path dir_;
    std::unique_ptr<adapter_emu::Emulator> emulator_;
};

void BM_SearchDemoBus(benchmark::State& state) {
    if (!std::filesystem::exists(BinDir() + "/libtamsen.so")) {
        state.SkipWithError("libtamsen.so not found; set NORVANE_BIN_DIR to the build's bin folder");
        return;
    }
    EmulatedAdapter adapter;
    NetworkRegistry network;
    CServerDev* master = network.GetOrCreateMaster(101, 0, 0);
    master->SetConfig(MasterConfigBlock::Defaults(0, 0));
    std::size_t found = 0;
    uint32_t requests = 0;
    for (auto _ : state) {
        NetworkSearch search;
        SearchOptions options;
        if (!search.Start(master, options, {}, {})) {
            state.SkipWithError("the search did not start");
            return;
        }
        search.Wait();
        found = search.Results().size();
        requests = search.RequestCount();
    }
    if (found != 6) state.SkipWithError("the demo bus has 6 slaves; the search found another number");
    state.counters["slaves_found"] = static_cast<double>(found);
    state.counters["requests"] = requests;
    state.counters["requests_per_found_slave"] = found == 0 ? 0.0 : static_cast<double>(requests) / found;
}
BENCHMARK(BM_SearchDemoBus)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
