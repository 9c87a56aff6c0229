// Networks built in memory for the benchmarks.
#pragma once

#include <cstdint>

class CServerDev;
class NetworkRegistry;

namespace bench {

// The master of the given device type and card with default settings and fresh slaves at MAC
// IDs 1..slaves.
CServerDev* AddMasterWithFreshSlaves(NetworkRegistry& network, uint32_t deviceType, unsigned card, uint32_t slaves);

}  // namespace bench
