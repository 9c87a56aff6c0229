// Every field a network file holds, as named text values in a fixed order: masters sorted by
// (device type, device index, channel), slaves of a master by MAC ID. The export texts and the
// comparison of two networks are built on it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class NetworkRegistry;

struct ListedField {
    std::string key;  // stable name, e.g. "PollInputSize" or "Group1.Item2.Size"
    std::string words;  // the same in words, e.g. "poll input size"
    std::string value;  // decimal numbers, hexadecimal byte blocks, texts as they are
};

struct ListedSlave {
    uint32_t mac = 0;
    uint32_t occurrence = 1;  // >1 for a second slave with the same MAC ID in one master
    std::string name;
    std::vector<ListedField> fields;

    // "3" or "3#2" for a repeated MAC ID.
    std::string Key() const;
};

struct ListedMaster {
    uint32_t deviceType = 0;
    uint32_t deviceIndex = 0;
    uint32_t channel = 0;
    std::vector<ListedField> fields;
    std::vector<ListedSlave> slaves;

    // "101/0/0": device type, device index, channel.
    std::string Key() const;
};

struct NetworkListing {
    std::vector<ListedMaster> masters;
};

// The listing of a network read from `networkFile`; EDS paths are given relative to the file's
// folder (with '/' separators) when the file names them inside or below it.
NetworkListing ListNetwork(const NetworkRegistry& network, const std::string& networkFile);

// An EDS path as the listing shows it, for a network file in `baseDir`.
std::string RelativeEdsPath(const std::string& edsPath, const std::string& baseDir);
