// The norvanectl commands. Each returns the process exit code: 0 success, 1 a master could not
// start, 2 bad arguments or an unreadable file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct RunOptions {
    std::string networkFile;
    std::optional<unsigned> seconds;  // none: until SIGINT or SIGTERM
};

struct SearchCommandOptions {
    std::string networkFile;
    std::size_t master = 1;  // position of the master in the file, from 1
    uint32_t from = 0;
    uint32_t timeoutMs = 2000;
    std::optional<std::string> addTo;  // the network with the found slaves added
};

struct CommissionCommandOptions {
    std::string networkFile;
    std::size_t master = 1;
    uint32_t mac = 63;
    std::optional<uint32_t> newMac;
    std::optional<std::string> baud;  // a baud-rate name or code
    uint32_t timeoutMs = 2000;
};

int RunNetwork(const RunOptions& options);
// Exit code 0 only when the device answered at its new address.
int CommissionNode(const CommissionCommandOptions& options);
// Exit code 1 when the master could not be opened or the output file not written.
int SearchNetwork(const SearchCommandOptions& options);
int ShowEds(const std::string& path);

// Parses the command line and runs the command.
int NorvaneCtlMain(const std::vector<std::string>& args);
