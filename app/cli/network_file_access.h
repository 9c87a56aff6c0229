// Reading the network file a command names; failures are reported on stderr as
// "norvanectl: cannot read network file '<path>'".
#pragma once

#include <string>

class NetworkRegistry;

// True when the path is a regular file; checked before the application services are started.
bool NetworkFilePresent(const std::string& path);

// Loads the file into the network; false when it could not be opened.
bool LoadCommandNetwork(NetworkRegistry& network, const std::string& path);
