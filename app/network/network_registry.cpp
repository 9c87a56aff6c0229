#include "network/network_registry.h"

#include "network/server_dev.h"
#include "network/slave_dev.h"

NetworkRegistry::~NetworkRegistry() { ClearNetwork(); }

MasterCard* NetworkRegistry::FindCard(uint32_t deviceType, uint32_t deviceIndex) const {
    auto it = cards_.find({deviceType, deviceIndex});
    return it == cards_.end() ? nullptr : it->second.get();
}

CServerDev* NetworkRegistry::FindMaster(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) const {
    MasterCard* card = FindCard(deviceType, deviceIndex);
    return card != nullptr ? card->FindMaster(channel) : nullptr;
}

CServerDev* NetworkRegistry::GetOrCreateMaster(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel) {
    auto& slot = cards_[{deviceType, deviceIndex}];
    if (!slot) slot = std::make_unique<MasterCard>(deviceType, deviceIndex);
    return slot->GetOrCreateMaster(channel);
}

int NetworkRegistry::MoveMaster(uint32_t deviceType, uint32_t deviceIndex, uint32_t channel, CServerDev* master) {
    if (master == nullptr || master->Card() == nullptr) return 0;
    MasterCard* card = master->Card();
    Key oldKey{card->DeviceType(), card->DeviceIndex()};
    Key newKey{deviceType, deviceIndex};
    auto oldIt = cards_.find(oldKey);
    if (oldIt == cards_.end() || oldIt->second.get() != card) return 0;

    if (oldKey == newKey) return card->MoveMaster(master, channel) ? 1 : 0;

    auto target = cards_.find(newKey);
    if (target == cards_.end()) {
        // The whole card takes the new key; then the master moves within it.
        if (master->Channel() != channel && card->FindMaster(channel) != nullptr) return 0;
        std::unique_ptr<MasterCard> owned = std::move(oldIt->second);
        cards_.erase(oldIt);
        owned->Rekey(deviceType, deviceIndex);
        owned->MoveMaster(master, channel);
        cards_.emplace(newKey, std::move(owned));
        return 1;
    }

    // Another card already has the key: this master alone moves into it.
    MasterCard* into = target->second.get();
    if (into->FindMaster(channel) != nullptr) return 0;
    std::unique_ptr<CServerDev> moving = card->TakeMaster(master->Channel());
    card->Close();  // the use this master held on its old card
    into->InsertMaster(std::move(moving), channel);
    into->Open();
    if (card->IsEmpty()) cards_.erase(oldKey);
    return 1;
}

int NetworkRegistry::DeleteNode(CDeviceBase* node) {
    if (node == nullptr) return 0;
    if (node->IsMaster() != 0) {
        auto* master = static_cast<CServerDev*>(node);
        MasterCard* card = master->Card();
        if (card == nullptr) return 1;
        Key key{card->DeviceType(), card->DeviceIndex()};
        card->RemoveMaster(master->Channel());
        if (card->IsEmpty()) cards_.erase(key);
        return 1;
    }
    if (CServerDev* parent = node->GetParent()) parent->RemoveChild(node);
    return 1;
}

void NetworkRegistry::ClearNetwork() {
    while (!cards_.empty()) cards_.erase(cards_.begin());
}

std::vector<CServerDev*> NetworkRegistry::Masters() const {
    std::vector<CServerDev*> masters;
    for (const auto& [key, card] : cards_) {
        for (const auto& [channel, master] : card->Masters()) masters.push_back(master.get());
    }
    return masters;
}
