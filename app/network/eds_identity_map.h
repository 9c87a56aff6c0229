// The identities of the known EDS files, for giving a device found on the bus its EDS name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/eds_store.h"

// What a device reports in its identity object (class 1, instance 1, attributes 1 to 4).
struct DeviceIdentity {
    uint32_t vendorId = 0;
    uint32_t deviceType = 0;
    uint32_t productCode = 0;
    uint32_t revision = 0;  // major + 256 * minor

    uint32_t MajorRevision() const { return revision & 0xFFu; }
    bool operator==(const DeviceIdentity&) const = default;
};

class EdsIdentityMap {
public:
    // Files the name under the identity; a later name with the same identity (all four fields)
    // replaces an earlier one. An identity without vendor, type and code (no file) is not filed.
    void Add(const EdsIdentity& identity, const std::string& name);

    // Every name of `names` with the identity of the file `pathOf(name)` names.
    template <class PathOf>
    static EdsIdentityMap Build(const std::vector<std::string>& names, PathOf&& pathOf) {
        EdsIdentityMap map;
        for (const std::string& name : names) map.Add(ReadEdsIdentity(pathOf(name)), name);
        return map;
    }

    // The EDS name for a device: among the files of the same vendor, device type and product
    // code, the one whose major revision is the device's, else the one with the highest major
    // revision. Nothing when no file has that vendor, type and code.
    std::optional<std::string> Match(const DeviceIdentity& device) const;

    std::size_t Size() const { return entries_.size(); }

private:
    struct Entry {
        EdsIdentity identity;
        std::string name;
    };
    std::vector<Entry> entries_;
};
