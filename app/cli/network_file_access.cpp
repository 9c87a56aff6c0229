#include "network_file_access.h"

#include <filesystem>
#include <iostream>

#include "network/network_file.h"

namespace {

void ReportUnreadable(const std::string& path) {
    std::cerr << "norvanectl: cannot read network file '" << path << "'" << std::endl;
}

}  // namespace

bool NetworkFilePresent(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return true;
    ReportUnreadable(path);
    return false;
}

bool LoadCommandNetwork(NetworkRegistry& network, const std::string& path) {
    if (LoadNetworkFile(network, path).opened) return true;
    ReportUnreadable(path);
    return false;
}

CServerDev* CommandMaster(const std::vector<CServerDev*>& masters, std::size_t position) {
    if (position >= 1 && position <= masters.size()) return masters[position - 1];
    std::cerr << "norvanectl: the network file has " << masters.size() << " master(s), no master " << position
              << std::endl;
    return nullptr;
}
