// norvanectl export: the network file as stable, sorted text (or JSON) on standard output, for
// reading and for version control (git textconv).
#include <iostream>

#include "cli_network_file.h"
#include "commands.h"
#include "report/network_export.h"
#include "report/network_listing.h"

int ExportNetwork(const std::string& networkFile, bool json) {
    std::unique_ptr<FileNetwork> network = ReadCommandNetwork(networkFile);
    if (!network) return kExitUsage;
    const NetworkListing listing = ListNetwork(network->Network(), networkFile);
    std::cout << (json ? ExportJson(listing) : ExportText(listing)) << std::flush;
    return std::cout ? kExitOk : kExitFailed;
}
