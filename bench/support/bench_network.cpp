#include "support/bench_network.h"

#include <memory>

#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"

namespace bench {

CServerDev* AddMasterWithFreshSlaves(NetworkRegistry& network, uint32_t deviceType, unsigned card, uint32_t slaves) {
    CServerDev* master = network.GetOrCreateMaster(deviceType, card, 0);
    master->SetConfig(MasterConfigBlock::Defaults(0, 0));
    for (uint32_t mac = 1; mac <= slaves; ++mac) {
        auto slave = std::make_unique<CSlaveDev>();
        slave->MutableConfig() = SlaveConfigBlock::Fresh(mac);
        master->AddChild(std::move(slave));
    }
    return master;
}

}  // namespace bench
