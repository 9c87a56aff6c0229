// Exchanges per second of VARDA_GetSlaveStatus through the dispatcher and libtamsen.so over the
// emulator socket driver, beside a raw SOCK_SEQPACKET round trip of the same sizes (a 64-byte
// command out, a 9-byte acknowledge back). Prints both rates and their ratio.
#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/module.h"
#include "platform/registry_file.h"
#include "socket_adapter.h"
#include "varda_api.h"

namespace {

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    // Beside this program.
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

// The adapter folder, registry file and loaded library for the whole run.
struct Setup {
    std::filesystem::path dir;
    std::unique_ptr<tamsen::testing::SocketAdapter> adapter;
    platform::Module module;
    std::string through;
    uint32_t handle = 0;
    PFN_VARDA_GetSlaveStatus getSlaveStatus = nullptr;

    bool Start() {
        dir = std::filesystem::path("/tmp") / ("tbench" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "devices");
        adapter = std::make_unique<tamsen::testing::SocketAdapter>((dir / "devices" / "usb0").string(),
                                                                   tamsen::testing::SocketAdapter::DefaultFirmware);
        ::setenv("TAMSEN_DEVICE_DIR", (dir / "devices").c_str(), 1);
        if (std::getenv("VARDA_DEBUG_OUTPUT") == nullptr) ::setenv("VARDA_DEBUG_OUTPUT", "/dev/null", 1);
        const std::string registry = (dir / "registry.reg").string();
        platform::RegWriteString(registry, "SOFTWARE\\BRAMWELL\\VARDA\\101", "DLL", BinDir() + "/libtamsen.so");
        ::setenv("VARDA_REGISTRY", registry.c_str(), 1);

        int error = 0;
        std::string message;
        const std::string varda = BinDir() + "/libvarda.so";
        if (std::filesystem::exists(varda)) {
            module = platform::Module::Load(varda, error, message);
            through = "libvarda.so + libtamsen.so";
        } else {
            module = platform::Module::Load(BinDir() + "/libtamsen.so", error, message);
            through = "libtamsen.so (libvarda.so not built)";
        }
        if (!module.IsLoaded()) {
            std::fprintf(stderr, "cannot load the library: %s\n", message.c_str());
            return false;
        }
        auto open = reinterpret_cast<PFN_VARDA_Open>(module.Symbol("VARDA_Open"));
        auto init = reinterpret_cast<PFN_VARDA_Init>(module.Symbol("VARDA_Init"));
        getSlaveStatus = reinterpret_cast<PFN_VARDA_GetSlaveStatus>(module.Symbol("VARDA_GetSlaveStatus"));
        if (open == nullptr || init == nullptr || getSlaveStatus == nullptr || open(101, 0, 0) != 0) return false;
        VARDA_INIT_PARAM p{};
        p.ScanDelay = 10;
        p.IntervalScanCycle = 1;
        p.ExpectedPacketRate = 75;
        p.RetryCount = 1;
        return init(101, 0, 0, &p, &handle) == 0;
    }

    void Stop() {
        if (module.IsLoaded()) {
            auto uninit = reinterpret_cast<PFN_VARDA_Uninit>(module.Symbol("VARDA_Uninit"));
            auto close = reinterpret_cast<PFN_VARDA_Close>(module.Symbol("VARDA_Close"));
            if (uninit != nullptr) uninit(handle);
            if (close != nullptr) close(101, 0);
        }
        module = platform::Module();
        adapter.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Setup* g_setup = nullptr;

void BM_GetSlaveStatus(benchmark::State& state) {
    for (auto _ : state) {
        const uint32_t status = g_setup->getSlaveStatus(g_setup->handle, 1);
        if (status != 0) {
            state.SkipWithError("exchange failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(g_setup->through);
}

// A 64-byte command out and a 9-byte acknowledge back over a SOCK_SEQPACKET pair, answered by a
// thread, as one exchange moves them without the library.
void BM_RawSeqpacketRoundTrip(benchmark::State& state) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    std::thread server([fd = fds[1]] {
        uint8_t in[128];
        uint8_t ack[9] = {0x7E, 0x4F, 1, 0, 0, 0, 0, 0, 0x7E ^ 0x4F ^ 1};
        while (::recv(fd, in, sizeof in, 0) > 0) {
            if (::send(fd, ack, sizeof ack, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof ack)) break;
        }
    });
    uint8_t command[64] = {0x7E, 0x4F, 2, 0, 0, 0, 0, 1, 1};
    uint8_t reply[64];
    for (auto _ : state) {
        if (::send(fds[0], command, sizeof command, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof command) ||
            ::recv(fds[0], reply, sizeof reply, 0) != 9) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    ::shutdown(fds[0], SHUT_RDWR);
    server.join();
    ::close(fds[0]);
    ::close(fds[1]);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_GetSlaveStatus)->UseRealTime();
BENCHMARK(BM_RawSeqpacketRoundTrip)->UseRealTime();

// Keeps the rates to print their ratio after the run.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it != run.counters.end()) rates[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Setup setup;
    if (!setup.Start()) {
        setup.Stop();
        return 1;
    }
    g_setup = &setup;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    setup.Stop();
    double api = 0, raw = 0;
    for (const auto& [name, rate] : reporter.rates) {
        if (name.rfind("BM_GetSlaveStatus", 0) == 0) api = rate;
        if (name.rfind("BM_RawSeqpacketRoundTrip", 0) == 0) raw = rate;
    }
    std::printf("\nVARDA_GetSlaveStatus through %s: %.0f exchanges/s\n", setup.through.c_str(), api);
    std::printf("raw SOCK_SEQPACKET round trip (64 out, 9 back): %.0f round trips/s\n", raw);
    if (api > 0) std::printf("ratio raw / API: %.2f\n", raw / api);
    benchmark::Shutdown();
    return 0;
}
