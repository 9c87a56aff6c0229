// Networks for tests, built through the model's public API: the pane, panel and model tests
// take their masters and slaves from here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"

namespace test_network {

// A hand-configured slave with a poll connection of the given sizes and its default data
// groups; `name` replaces the fresh configuration's name when not empty.
inline SlaveConfigBlock PollSlaveBlock(uint32_t mac, uint8_t pollIn, uint8_t pollOut, const std::string& name = {}) {
    SlaveConfigBlock block = SlaveConfigBlock::Fresh(mac);
    if (!name.empty()) block.name = name;
    block.use[ConnectionUse::kPoll] = 1;
    VARDA_SLAVE_CONFIG r = block.record.Record();
    r.PollInputSize = pollIn;
    r.PollOutputSize = pollOut;
    r.ConnectionFlags = DeriveConnectionFlags(block.use);
    block.record.SetRecord(r);
    block.BuildDefaultGroups();
    return block;
}

// A slave of PollSlaveBlock.
inline std::unique_ptr<CSlaveDev> MakePollSlave(uint32_t mac, uint8_t pollIn, uint8_t pollOut,
                                                const std::string& name = {}) {
    auto slave = std::make_unique<CSlaveDev>();
    slave->ReplaceConfig(PollSlaveBlock(mac, pollIn, pollOut, name));
    return slave;
}

// MakePollSlave added to `master`; the slave as the master holds it.
inline CSlaveDev* AddPollSlave(CServerDev& master, uint32_t mac, uint8_t pollIn, uint8_t pollOut,
                               const std::string& name = {}) {
    auto slave = MakePollSlave(mac, pollIn, pollOut, name);
    CSlaveDev* raw = slave.get();
    master.AddChild(std::move(slave));
    return raw;
}

// The master on (type, index, channel) of `network` with MAC ID `mac` and baud index `baud`.
inline CServerDev* AddMaster(NetworkRegistry& network, uint32_t type, uint32_t index, uint32_t channel,
                             uint32_t mac = 0, uint32_t baud = 0) {
    CServerDev* master = network.GetOrCreateMaster(type, index, channel);
    master->SetConfig(MasterConfigBlock::Defaults(mac, baud));
    return master;
}

}  // namespace test_network
