// norvanectl commission: gives the device at one address of a master's bus a new MAC ID (and
// baud rate), printing each step; the network file is only read.
#include <atomic>
#include <cctype>
#include <chrono>
#include <iostream>
#include <thread>

#include "commands.h"
#include "services/core_services.h"
#include "network/network.h"
#include "network/network_file.h"
#include "network/node_commissioning.h"
#include "network/server_dev.h"
#include "network_file_access.h"
#include "services/global.h"
#include "stop_signals.h"
#include "terminal_host.h"
#include "terminal_session.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A baud-rate name of the settings ("250K") or its code ("1").
std::optional<uint32_t> BaudCode(const std::string& text) {
    for (uint32_t code = 0; code <= kCommissionHighestBaud; ++code) {
        if (text == std::to_string(code) || Upper(text) == Upper(netsvc::BaudName(code))) return code;
    }
    return std::nullopt;
}

}  // namespace

int CommissionNode(const CommissionCommandOptions& options) {
    if (!NetworkFilePresent(options.networkFile)) return kExitUsage;
    CGlobal& global = GetGlobal();
    TerminalHost host(std::cout);
    TerminalSession session(global, &host);
    CommissionRequest request;
    request.mac = options.mac;
    request.newMac = *options.newMac;
    request.timeoutMs = options.timeoutMs;
    if (options.baud) {
        request.newBaud = BaudCode(*options.baud);
        if (!request.newBaud) {
            std::cerr << "norvanectl: --baud needs 125K, 250K or 500K, not '" << *options.baud << "'" << std::endl;
            return kExitUsage;
        }
    }
    NetworkRegistry& network = GetNetwork();
    if (!LoadCommandNetwork(network, options.networkFile)) return kExitUsage;
    CServerDev* master = CommandMaster(network.Masters(), options.master);
    if (master == nullptr) {
        network.ClearNetwork();
        return kExitUsage;
    }

    NodeCommissioning commissioning;
    CommissionOutcome outcome;
    std::atomic<bool> finished{false};
    {
        // SIGINT and SIGTERM cancel before the next step; the scan-list entries are still removed.
        StopSignals signals;
        std::jthread worker([&] {
            outcome =
                commissioning.Run(*master, request, [&](CommissionStep, const std::string& text) { host.Line(text); });
            finished = true;
        });
        while (!finished.load()) {
            if (signals.Received() != 0) commissioning.Cancel();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    network.ClearNetwork();
    return outcome.end == CommissionEnd::Done && outcome.answeredAtNewAddress ? kExitOk : kExitFailed;
}
