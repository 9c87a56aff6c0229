// The network report: a self-contained HTML document (inline style, A4 print) describing every
// master, its slaves, their connections and sizes, the byte totals and each slave's stored
// parameters beside the EDS defaults. With live data it also shows each slave's status and flags
// devices whose identity differs from the configured one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

class NetworkRegistry;

// What a device said when the report was made.
struct LiveSlave {
    bool answered = false;  // the identity could be read
    std::string status;  // the master's status text of the slave
    uint32_t vendorId = 0;
    uint32_t deviceType = 0;
    uint32_t productCode = 0;
};

// Live data by (master, MAC ID); the master as ListedMaster::Key() gives it ("101/0/0").
using LiveNetwork = std::map<std::pair<std::string, uint32_t>, LiveSlave>;

struct ReportInput {
    const NetworkRegistry* network = nullptr;
    std::string networkFile;  // shown in the heading
    std::string created;  // the time shown in the heading
    // String of the program's language by id (empty: the built-in text is used).
    std::function<std::string(uint32_t)> text;
    std::optional<LiveNetwork> live;  // set: the report shows the devices' status
};

// True when the configured identity (0 = any) and what the device answered differ.
bool IdentityDiffers(uint32_t configuredVendor, uint32_t configuredType, uint32_t configuredCode,
                     const LiveSlave& live);

// The report as UTF-8 HTML; well-formed XML, so that it can also be read back by an XML reader.
std::string BuildNetworkReport(const ReportInput& input);
