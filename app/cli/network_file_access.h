// Reading the network file a command names; failures are reported on stderr as
// "norvanectl: cannot read network file '<path>'".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class CServerDev;
class NetworkRegistry;

// True when the path is a regular file; checked before the application services are started.
bool NetworkFilePresent(const std::string& path);

// Loads the file into the network; false when it could not be opened.
bool LoadCommandNetwork(NetworkRegistry& network, const std::string& path);

// The master at a command's --master position (from 1); nullptr after
// "norvanectl: the network file has N master(s), no master M" on stderr.
CServerDev* CommandMaster(const std::vector<CServerDev*>& masters, std::size_t position);
