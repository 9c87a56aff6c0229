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
