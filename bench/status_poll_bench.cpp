// The whole path of status polling over real sockets, as `norvanectl run` drives it: the built
// adapter-emu serves a bus of 63 slaves in a process of its own, and the built norvanectl runs a
// network file of one master with those 63 slaves (its status poller asks every slave's status
// through libvarda.so -> libtamsen.so -> the socket driver, about every 10 ms, and its main loop
// reads the status texts every 20 ms). After a warm-up the CPU time of both processes and the
// emulator's command count are sampled over several windows; the medians are printed as percent
// of one core beside their goals, and per status query (the polling rate rises as exchanges get
// quicker), with the machine's load (other work on the same cores makes the figures noisy).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "support/bench_bus.h"
#include "support/bin_dir.h"
#include "support/program_home.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kSlaves = 63;
constexpr double kClientGoalPercent = 5.0;
constexpr double kEmulatorGoalPercent = 10.0;

// A child process started with posix_spawn; stopped with SIGTERM and waited for when it goes.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, const std::string& outFile) {
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<char*> envp;
        for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running() const {
        int status = 0;
        return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0;
    }

private:
    pid_t pid_ = -1;
};

// Seconds of CPU time of every thread of a process so far (user + system), from /proc.
std::optional<double> ProcessCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    // Fields after the name start at field 3 (state); utime is field 14, stime field 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Busy and total jiffies of the whole machine, from the first line of /proc/stat.
std::pair<unsigned long long, unsigned long long> MachineJiffies() {
    std::ifstream in("/proc/stat");
    std::string cpu;
    in >> cpu;
    unsigned long long value = 0, total = 0, idle = 0;
    for (int i = 0; i < 8 && in >> value; ++i) {
        total += value;
        if (i == 3 || i == 4) idle += value;  // idle, iowait
    }
    return {total - idle, total};
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) return 0;
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A network file of one master (device type 101, card 0) and slaves 1..63 that match the bench
// bus: poll connection, 4 input and 2 output bytes, the bus's identity.
void WriteNetworkFile(const fs::path& path) {
    NetworkRegistry network;
    CServerDev* master = network.GetOrCreateMaster(101, 0, 0);
    master->SetConfig(MasterConfigBlock::Defaults(0, 0));
    for (uint32_t mac = 1; mac <= kSlaves; ++mac) {
        auto slave = std::make_unique<CSlaveDev>();
        SlaveConfigBlock& config = slave->MutableConfig();
        config = SlaveConfigBlock::Fresh(mac);
        config.use[ConnectionUse::kPoll] = 1;
        VARDA_SLAVE_CONFIG r = config.record.Record();
        r.VendorId = 1250;
        r.ProductType = 7;
        r.ProductCode = 101;
        r.ConnectionFlags = DeriveConnectionFlags(config.use);
        r.PollInputSize = 4;
        r.PollOutputSize = 2;
        config.record.SetRecord(r);
        config.name = "s" + std::to_string(mac);
        master->AddChild(std::move(slave));
    }
    if (!SaveNetworkFile(network, path.string())) throw std::runtime_error("cannot write " + path.string());
}

bool WaitFor(const fs::path& path, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!fs::exists(path)) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool Contains(const fs::path& file, const std::string& text) {
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return all.find(text) != std::string::npos;
}

// The commands adapter 0 has taken so far, asked on the emulator's control socket.
std::optional<double> CommandCount(const fs::path& control) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, control.c_str(), sizeof a.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    std::string reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 &&
        ::send(fd, "0 commands\n", 11, MSG_NOSIGNAL) == 11) {
        char buffer[64];
        ssize_t n;
        while (reply.find('\n') == std::string::npos && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            reply.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (reply.rfind("ok ", 0) != 0) return std::nullopt;
    return std::stod(reply.substr(3));
}

int EnvInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

void BM_StatusPolling63SlavesOverSockets(benchmark::State& state) {
    const std::string bin = bench::BinDir();
    for (const char* program : {"adapter-emu", "norvanectl", "libtamsen.so", "libvarda.so"}) {
        if (!fs::exists(bin + "/" + program)) {
            state.SkipWithError(
                (std::string(program) + " not built; set NORVANE_BIN_DIR to the build's bin folder").c_str());
            return;
        }
    }
    const int windows = EnvInt("NORVANE_POLL_BENCH_WINDOWS", 5);
    const int windowSeconds = EnvInt("NORVANE_POLL_BENCH_SECONDS", 3);

    bench::ProgramHome home("norvane-poll-bench-home-");
    const fs::path dir = fs::temp_directory_path() / ("norvane-poll-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "bus.xml") << bench::CountingBusText(kSlaves);
    std::ofstream(dir / "registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n\"DLL\"=\""
                                        << bin << "/libtamsen.so\"\n";
    WriteNetworkFile(dir / "bench.kld");

    std::vector<double> client, emulator, machine, rate, clientPer, emulatorPer;
    {
        Child emu({bin + "/adapter-emu", "--dir", (dir / "dev").string(), "--bus", (dir / "bus.xml").string()}, {},
                  (dir / "emu.log").string());
        if (!WaitFor(dir / "dev" / "control", std::chrono::seconds(10))) {
            state.SkipWithError("adapter-emu did not start (see its log)");
            return;
        }
        Child run({bin + "/norvanectl", "run", (dir / "bench.kld").string()},
                  {"TAMSEN_DEVICE_DIR=" + (dir / "dev").string(), "VARDA_REGISTRY=" + (dir / "registry.reg").string(),
                   "VARDA_DEBUG_OUTPUT=/dev/null", "NORVANE_HOME=" + home.root.string(),
                   "XDG_CONFIG_HOME=" + (dir / "config").string(), "XDG_DATA_HOME=" + (dir / "data").string()},
                  (dir / "run.log").string());
        // Warm-up: the master is started and every slave reached on line ("从站在线").
        const auto limit = Clock::now() + std::chrono::seconds(30);
        std::size_t online = 0;
        while (Clock::now() < limit && run.Running()) {
            std::ifstream in(dir / "run.log");
            std::string line;
            online = 0;
            while (std::getline(in, line)) online += line.find("[从站在线]") != std::string::npos ? 1 : 0;
            if (online >= kSlaves) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (online < kSlaves || !Contains(dir / "run.log", "started")) {
            state.SkipWithError("norvanectl did not bring all 63 slaves on line (see run.log)");
            fs::remove_all(dir);
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));

        for (auto _ : state) {
            for (int w = 0; w < windows; ++w) {
                const auto c0 = ProcessCpuSeconds(run.Pid());
                const auto e0 = ProcessCpuSeconds(emu.Pid());
                const auto m0 = MachineJiffies();
                const auto n0 = CommandCount(dir / "dev" / "control");
                const auto t0 = Clock::now();
                std::this_thread::sleep_for(std::chrono::seconds(windowSeconds));
                const auto c1 = ProcessCpuSeconds(run.Pid());
                const auto e1 = ProcessCpuSeconds(emu.Pid());
                const auto m1 = MachineJiffies();
                const auto n1 = CommandCount(dir / "dev" / "control");
                const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
                if (!c0 || !c1 || !e0 || !e1 || !n0 || !n1 || *n1 <= *n0) {
                    state.SkipWithError("a process ended during the measurement");
                    break;
                }
                client.push_back((*c1 - *c0) / wall * 100.0);
                emulator.push_back((*e1 - *e0) / wall * 100.0);
                // Every command of the run is a GetNodeStatus of the poller.
                rate.push_back((*n1 - *n0) / wall);
                clientPer.push_back((*c1 - *c0) / (*n1 - *n0) * 1e6);
                emulatorPer.push_back((*e1 - *e0) / (*n1 - *n0) * 1e6);
                const double total = static_cast<double>(m1.second - m0.second);
                machine.push_back(total > 0 ? static_cast<double>(m1.first - m0.first) / total * 100.0 : 0.0);
            }
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (client.empty()) return;

    double load1 = 0;
    std::ifstream("/proc/loadavg") >> load1;
    const double clientMedian = Median(client);
    const double emulatorMedian = Median(emulator);
    state.counters["client_cpu_pct"] = clientMedian;
    state.counters["client_goal_pct"] = kClientGoalPercent;
    state.counters["emu_cpu_pct"] = emulatorMedian;
    state.counters["emu_goal_pct"] = kEmulatorGoalPercent;
    state.counters["machine_busy_pct"] = Median(machine);
    state.counters["queries_per_s"] = Median(rate);
    state.counters["client_us_per_query"] = Median(clientPer);
    state.counters["emu_us_per_query"] = Median(emulatorPer);
    auto list = [](const std::vector<double>& v) {
        std::string s;
        char buffer[16];
        for (double x : v) {
            std::snprintf(buffer, sizeof buffer, "%s%.1f", s.empty() ? "" : " ", x);
            s += buffer;
        }
        return s;
    };
    std::printf(
        "status polling of %u slaves over sockets, %d windows of %d s:\n"
        "  norvanectl run: %.1f %% of a core (median; goal <= %.0f %%)   windows: %s\n"
        "  adapter-emu:    %.1f %% of a core (median; goal <= %.0f %%)   windows: %s\n"
        "  status queries: %.0f per second; CPU per query: norvanectl %.1f us, adapter-emu %.1f us\n"
        "  machine busy (both cores, all processes): %.0f %% median, load average %.2f\n",
        kSlaves, windows, windowSeconds, clientMedian, kClientGoalPercent, list(client).c_str(), emulatorMedian,
        kEmulatorGoalPercent, list(emulator).c_str(), Median(rate), Median(clientPer), Median(emulatorPer),
        Median(machine), load1);
}
BENCHMARK(BM_StatusPolling63SlavesOverSockets)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
