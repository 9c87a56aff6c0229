// The network search of a master with no configured slaves (63 addresses) against the adapter
// emulator serving the demo bus (6 present slaves), through libvarda.so and libtamsen.so: the time
// of the whole search (scan-list set-up, pause until every address reports, identity requests,
// clean-up) and the explicit requests sent per slave found. The emulator answers absent addresses
// at once (--fast), so the figure is the program's and the adapter path's own cost.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>

#include "network/network_registry.h"
#include "network/network_search.h"
#include "network/server_dev.h"
#include "support/bin_dir.h"
#include "support/emulated_adapter.h"

namespace {

std::string DemoBus() {
    std::ifstream in(std::string(NORVANE_SOURCE_DIR) + "/resources/demo/bus.xml");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void BM_SearchDemoBus(benchmark::State& state) {
    if (!bench::TamsenLibraryBuilt()) {
        state.SkipWithError(bench::kNoTamsenLibrary);
        return;
    }
    bench::EmulatedAdapter adapter("norvane-search-bench-", DemoBus(), "demo bus");
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
