// norvanectl search: searches one master of a network file for the slaves it does not have yet,
// prints each one found, and with --add writes the network with the found slaves added.
#include <iostream>

#include "commands.h"
#include "network/eds_identity_map.h"
#include "network/network.h"
#include "network/network_file.h"
#include "network/network_search.h"
#include "network/server_dev.h"
#include "network/slave_setup.h"
#include "network_file_access.h"
#include "services/global.h"
#include "stop_signals.h"
#include "terminal_host.h"
#include "terminal_session.h"

namespace {

std::string RevisionText(uint32_t revision) {
    return std::to_string(revision & 0xFFu) + "." + std::to_string((revision >> 8) & 0xFFu);
}

std::string FoundLine(const SearchResult& r) {
    return "slave " + std::to_string(r.macId) + ": vendor " + std::to_string(r.identity.vendorId) + ", device type " +
           std::to_string(r.identity.deviceType) + ", product code " + std::to_string(r.identity.productCode) +
           ", revision " + RevisionText(r.identity.revision) + ", EDS " + r.edsName;
}

}  // namespace

int SearchNetwork(const SearchCommandOptions& options) {
    if (!NetworkFilePresent(options.networkFile)) return kExitUsage;
    CGlobal& global = GetGlobal();
    TerminalHost host(std::cout);
    TerminalSession session(global, &host);
    NetworkRegistry& network = GetNetwork();
    if (!LoadCommandNetwork(network, options.networkFile)) return kExitUsage;
    CServerDev* master = CommandMaster(network.Masters(), options.master);
    if (master == nullptr) {
        network.ClearNetwork();
        return kExitUsage;
    }
    std::string masterName;
    master->GetName(masterName);

    SearchOptions search;
    search.startAddress = options.from;
    search.timeoutMs = options.timeoutMs;
    search.defaultEdsName = global.EdsNames().empty() ? std::string(CGlobal::kNoEdsName) : global.EdsNames().front();
    EdsIdentityMap identities =
        EdsIdentityMap::Build(global.EdsNames(), [&](const std::string& name) { return global.GetEdsPath(name); });

    host.Line("searching " + masterName + " from address " + std::to_string(options.from));
    SearchEnd end = SearchEnd::Completed;
    SearchCallbacks callbacks;
    callbacks.started = [&](std::size_t count) { host.Line(std::to_string(count) + " address(es) to probe"); };
    callbacks.found = [&](const SearchResult& r) { host.Line(FoundLine(r)); };
    callbacks.finished = [&](SearchEnd e) { end = e; };

    NetworkSearch worker;
    {
        // SIGINT and SIGTERM stop the search (its scan-list entries are still removed).
        StopSignals signals;
        worker.Start(master, search, std::move(identities), callbacks);
        while (!worker.Wait(100)) {
            if (signals.Received() != 0) worker.RequestStop();
        }
    }
    std::vector<SearchResult> results = worker.Results();
    if (end == SearchEnd::OpenFailed) {
        host.Line("主站打开失败，已停止搜索");
        network.ClearNetwork();
        return kExitFailed;
    }
    host.Line(std::string(end == SearchEnd::Stopped ? "search stopped: " : "search finished: ") +
              std::to_string(results.size()) + " slave(s) found");

    int code = kExitOk;
    if (options.addTo) {
        std::vector<SearchedSlave> found;
        for (const SearchResult& r : results) found.push_back({r.macId, r.edsName});
        AddSearchedSlaves(master, found);
        if (SaveNetworkFile(network, *options.addTo)) {
            host.Line("wrote " + *options.addTo + " with " + std::to_string(found.size()) + " slave(s) added");
        } else {
            std::cerr << "norvanectl: cannot write network file '" << *options.addTo << "'" << std::endl;
            code = kExitFailed;
        }
    }
    network.ClearNetwork();
    return code;
}
