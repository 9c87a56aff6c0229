#include "network/network.h"

#include "services/global.h"

NetworkRegistry& GetNetwork() {
    GetGlobal();  // constructed first, destroyed after the network
    static NetworkRegistry network;
    return network;
}
