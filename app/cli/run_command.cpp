// norvanectl run: loads a network file, starts every master, prints slave status changes and
// every log line until SIGINT/SIGTERM or the given time, then stops cleanly.
#include <chrono>
#include <iostream>
#include <map>
#include <thread>

#include "commands.h"
#include "network/network.h"
#include "network_file_access.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "stop_signals.h"
#include "terminal_host.h"
#include "terminal_session.h"

int RunNetwork(const RunOptions& options) {
    if (!NetworkFilePresent(options.networkFile)) return kExitUsage;
    TerminalHost host(std::cout);
    // Every log line is printed.
    TerminalSession session(GetGlobal(), &host);
    session.Infobar().logWarning = 1;
    session.Infobar().logLog = 1;
    NetworkRegistry& network = GetNetwork();

    if (!LoadCommandNetwork(network, options.networkFile)) return kExitUsage;
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

    // Names do not change while the masters run; the loop reads them from here rather than
    // format them again every round.
    std::map<const CServerDev*, std::string> masterNames;
    for (CServerDev* master : masters) master->GetName(masterNames[master]);
    std::map<const CSlaveDev*, std::string> shown;
    auto deadline = options.seconds ? std::chrono::steady_clock::now() + std::chrono::seconds(*options.seconds)
                                    : std::chrono::steady_clock::time_point::max();
    while (signals.Received() == 0 && std::chrono::steady_clock::now() < deadline) {
        for (CServerDev* master : masters) {
            if (master->IsRunning() == 0) continue;
            for (int i = 0; i < master->GetChildCount(); ++i) {
                const CSlaveDev* slave = master->GetChild(i);
                std::string text = slave->StatusText();
                auto it = shown.find(slave);
                if (text.empty() || (it != shown.end() && it->second == text)) continue;
                shown[slave] = text;
                std::string slaveName;
                slave->GetName(slaveName);
                host.Line(name_share::LogTimeText() + " status " + masterNames[master] + " " + slaveName + ": [" +
                          text + "]");
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (signals.Received() != 0) {
        host.Line(name_share::LogTimeText() + " stop requested (signal " + std::to_string(signals.Received()) + ")");
    }

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
