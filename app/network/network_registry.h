// The network: master cards keyed by (device type, device index), ordered by type, then index.
// A card stays in the registry only while it holds at least one master.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "network/master_card.h"

class CDeviceBase;
class CServerDev;

class NetworkRegistry {
public:
    using Key = std::pair<uint32_t, uint32_t>;  // (device type, device index)

    NetworkRegistry() = default;
    ~NetworkRegistry();
    NetworkRegistry(const NetworkRegistry&) = delete;
    NetworkRegistry& operator=(const NetworkRegistry&) = delete;

    CServerDev* FindMaster(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) const;
    // Finds or creates the card, then finds or creates its master of the channel (opening the
    // card once when the master is new).
    CServerDev* GetOrCreateMaster(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel);
    // Gives the master's card the new key (with all its masters) and the master the new channel.
    // When a card already holds the new key, only this master moves into that card. Refused
    // (returns 0, nothing changes) when the target channel is held by another master; 1 otherwise.
    int MoveMaster(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel, CServerDev* master);
    // null: 0. A master is deleted (its card too when it was the last); a slave is removed from
    // its master. Returns 1.
    int DeleteNode(CDeviceBase* node);
    // Deletes every card, master and slave.
    void ClearNetwork();

    MasterCard* FindCard(uint32_t deviceType, uint32_t deviceIndex) const;
    const std::map<Key, std::unique_ptr<MasterCard>>& Cards() const { return cards_; }
    // Every master in registry and channel order.
    std::vector<CServerDev*> Masters() const;
    bool IsEmpty() const { return cards_.empty(); }

private:
    std::map<Key, std::unique_ptr<MasterCard>> cards_;
};
