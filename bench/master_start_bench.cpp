// Start of a master with 63 slaves against the adapter emulator, through libvarda.so and
// libtamsen.so over the emulator's sockets: the time from Start until every slave shows
// "从站在线", then I/O exchanges per second (VARDA_ReadSlaveIO round robin over the 63 slaves)
// while the master's status poller keeps running beside them.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "varda_api.h"

namespace {

constexpr uint32_t kDeviceType = 101;
constexpr uint32_t kSlaves = 63;

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

// A bus of slaves at MAC IDs 1..63, each polled with 4 input and 2 output bytes.
std::string BusText() {
    std::ostringstream out;
    out << "<bus name=\"bench\">\n";
    for (uint32_t mac = 1; mac <= kSlaves; ++mac) {
        out << "<slave mac=\"" << mac << "\" name=\"s" << mac << "\">"
            << "<identity vendor-id=\"1250\" device-type=\"7\" product-code=\"101\" product-name=\"Bench "
            << mac << "\"/>"
            << "<poll input=\"4\" output=\"2\" inputs=\"counter\"/></slave>\n";
    }
    out << "</bus>\n";
    return out.str();
}

// The emulator in this process and a registry file naming the built libtamsen.so.
class EmulatedAdapter {
public:
    EmulatedAdapter() : dir_(std::filesystem::temp_directory_path() / ("norvane-start-bench-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        adapter_emu::EmulatorOptions options;
        options.dir = dir_ / "dev";
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
        std::filesystem::remove_all(dir_, ec);
    }
    EmulatedAdapter(const EmulatedAdapter&) = delete;
    EmulatedAdapter& operator=(const EmulatedAdapter&) = delete;

private:
    std::filesystem::path dir_;
    std::unique_ptr<adapter_emu::Emulator> emulator_;
};

bool AllOnline(const CServerDev& master) {
    for (int i = 0; i < master.GetChildCount(); ++i) {
        if (master.GetChild(i)->StatusText() != "从站在线") return false;
    }
    return true;
}

void BM_MasterStartAgainstEmulator(benchmark::State& state) {
    if (!std::filesystem::exists(BinDir() + "/libtamsen.so")) {
        state.SkipWithError("libtamsen.so not found; set NORVANE_BIN_DIR to the build's bin folder");
        return;
    }
    EmulatedAdapter adapter;
    double onlineMs = 0;
    double exchangesPerSecond = 0;
    for (auto _ : state) {
        NetworkRegistry network;
        CServerDev* master = network.GetOrCreateMaster(kDeviceType, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(0, 0));
        for (uint32_t mac = 1; mac <= kSlaves; ++mac) {
            auto slave = std::make_unique<CSlaveDev>();
            slave->MutableConfig() = SlaveConfigBlock::Fresh(mac);
            master->AddChild(std::move(slave));
        }
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
