// norvanectl diff: what changed between two network files, in words.
#include <iostream>

#include "cli_network_file.h"
#include "commands.h"
#include "report/network_diff.h"
#include "report/network_listing.h"

int DiffNetworkFiles(const std::string& before, const std::string& after) {
    NetworkListing listings[2];
    const std::string* paths[2] = {&before, &after};
    for (int i = 0; i < 2; ++i) {
        // One file at a time: each read replaces the master API for its lifetime.
        std::unique_ptr<FileNetwork> network = ReadCommandNetwork(*paths[i]);
        if (!network) return kExitUsage;
        listings[i] = ListNetwork(network->Network(), *paths[i]);
    }
    const std::vector<std::string> lines = DiffNetworks(listings[0], listings[1]);
    for (const std::string& line : lines) std::cout << line << "\n";
    std::cout << std::flush;
    return lines.empty() ? kExitOk : kExitFailed;
}
