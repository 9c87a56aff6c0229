// norvanectl run: loads a network file, starts every master, prints slave status changes and
// every log line until SIGINT/SIGTERM or the given time, then stops cleanly.
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include "commands.h"
#include "network/network.h"
#include "network/network_file.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "terminal_host.h"

namespace {

std::atomic<int> g_stopSignal{0};

extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

// Installs the stop handlers for the lifetime of the object, then puts the old ones back.
class StopSignals {
public:
    StopSignals() {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};

// The log switches of the run: every line is printed, failed API calls once (no message boxes).
// The user's settings are put back before the program writes them at exit.
class RunSettings {
public:
    explicit RunSettings(CGlobal& global) : global_(global), saved_(global.Infobar()) {
        InfobarSettings& s = global.Infobar();
        s.logError = 1;
        s.logWarning = 1;
        s.logLog = 1;
        s.showMsg = 0;
    }
    ~RunSettings() { global_.Infobar() = saved_; }

private:
    CGlobal& global_;
    InfobarSettings saved_;
};

class HostInstall {
public:
    HostInstall(CGlobal& global, name_share::IHost* host) : global_(global), previous_(global.Host()) {
        global.SetHost(host);
    }
    ~HostInstall() { global_.SetHost(previous_); }

private:
    CGlobal& global_;
    name_share::IHost* previous_;
};

}  // namespace

int RunNetwork(const RunOptions& options) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(options.networkFile, ec)) {
        std::cerr << "norvanectl: cannot read network file '" << options.networkFile << "'" << std::endl;
        return kExitUsage;
    }
    CGlobal& global = GetGlobal();
    TerminalHost host(std::cout);
    HostInstall install(global, &host);
    RunSettings settings(global);
    NetworkRegistry& network = GetNetwork();

    NetworkFileResult loaded = LoadNetworkFile(network, options.networkFile);
    if (!loaded.opened) {
        std::cerr << "norvanectl: cannot read network file '" << options.networkFile << "'" << std::endl;
        return kExitUsage;
    }
    std::vector<CServerDev*> masters = network.Masters();
    std::size_t slaveCount = 0;
    for (CServerDev* master : masters) slaveCount += static_cast<std::size_t>(master->GetChildCount());
    host.Line(name_share::LogTimeText() + " network " + options.networkFile + ": " + std::to_string(masters.size()) +
              " master(s), " + std::to_string(slaveCount) + " slave(s)");

    StopSignals signals;
    bool failed = false;
    for (CServerDev* master : masters) {
        std::string name;
        master->GetName(name);
        if (master->Start() != 0) {
            host.Line(name_share::LogTimeText() + " started " + name);
        } else {
            host.Line(name_share::LogTimeText() + " master " + name + " could not start");
            failed = true;
        }
    }

    std::map<const CSlaveDev*, std::string> shown;
    auto deadline = options.seconds ? std::chrono::steady_clock::now() + std::chrono::seconds(*options.seconds)
                                    : std::chrono::steady_clock::time_point::max();
    while (g_stopSignal == 0 && std::chrono::steady_clock::now() < deadline) {
        for (CServerDev* master : masters) {
            if (master->IsRunning() == 0) continue;
            std::string masterName;
            master->GetName(masterName);
            for (int i = 0; i < master->GetChildCount(); ++i) {
                const CSlaveDev* slave = master->GetChild(i);
                std::string text = slave->StatusText();
                auto it = shown.find(slave);
                if (text.empty() || (it != shown.end() && it->second == text)) continue;
                shown[slave] = text;
                std::string slaveName;
                slave->GetName(slaveName);
                host.Line(name_share::LogTimeText() + " status " + masterName + " " + slaveName + ": [" + text + "]");
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (g_stopSignal != 0) host.Line(name_share::LogTimeText() + " stop requested (signal " + std::to_string(g_stopSignal.load()) + ")");

    for (CServerDev* master : masters) {
        if (master->IsRunning() == 0) continue;
        std::string name;
        master->GetName(name);
        master->Stop();
        host.Line(name_share::LogTimeText() + " stopped " + name);
    }
    network.ClearNetwork();
    return failed ? kExitFailed : kExitOk;
}
