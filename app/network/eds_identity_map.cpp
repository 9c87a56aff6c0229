#include "network/eds_identity_map.h"

void EdsIdentityMap::Add(const EdsIdentity& identity, const std::string& name) {
    if (identity.vendorCode == 0 && identity.productType == 0 && identity.productCode == 0) return;
    for (Entry& entry : entries_) {
        if (entry.identity == identity) {
            entry.name = name;
            return;
        }
    }
    entries_.push_back({identity, name});
}

std::optional<std::string> EdsIdentityMap::Match(const DeviceIdentity& device) const {
    const Entry* best = nullptr;
    for (const Entry& entry : entries_) {
        const EdsIdentity& id = entry.identity;
        if (static_cast<uint32_t>(id.vendorCode) != device.vendorId ||
            static_cast<uint32_t>(id.productType) != device.deviceType ||
            static_cast<uint32_t>(id.productCode) != device.productCode) {
            continue;
        }
        if (static_cast<uint32_t>(id.majorRevision) == device.MajorRevision()) return entry.name;
        if (best == nullptr || id.majorRevision > best->identity.majorRevision) best = &entry;
    }
    if (best == nullptr) return std::nullopt;
    return best->name;
}
