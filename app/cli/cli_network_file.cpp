#include "cli_network_file.h"

#include <iostream>

std::unique_ptr<FileNetwork> ReadCommandNetwork(const std::string& path, bool withAdapters) {
    auto network = std::make_unique<FileNetwork>(path, withAdapters);
    const NetworkFileResult& result = network->Result();
    if (!result.opened) {
        std::cerr << "norvanectl: cannot read network file '" << path << "'" << std::endl;
        return nullptr;
    }
    if (!result.parsed) {
        std::string reason = result.problems.empty() ? std::string("damaged XML") : result.problems.front();
        std::cerr << "norvanectl: cannot read network file '" << path << "': " << reason << std::endl;
        return nullptr;
    }
    for (const std::string& problem : result.problems)
        std::cerr << "norvanectl: warning: " << path << ": " << problem << "\n";
    return network;
}
