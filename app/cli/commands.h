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

struct ReportOptions {
    std::string networkFile;
    std::optional<std::string> output;  // .html or .pdf; none: HTML on standard output
    bool live = false;  // ask the devices for their status and identity
};

struct ParamsCommandOptions {
    std::string networkFile;
    std::size_t master = 1;  // position of the master in the file, from 1
    uint32_t slave = 0;  // MAC ID
};

int RunNetwork(const RunOptions& options);
// Exit code 0 when every parameter equals the stored one, 1 when any differs, 2 when the slave or
// its parameters cannot be had or a parameter could not be read (and none differs).
int CompareSlaveParameters(const ParamsCommandOptions& options);
// Exit code 1 when the output could not be written or a device did not answer (--live: the
// report is still written, marked as partial).
int ReportNetwork(const ReportOptions& options);
// Report output kinds by file ending (case-insensitive): .pdf, and .html or .htm.
bool IsPdfReportPath(const std::string& path);
bool IsHtmlReportPath(const std::string& path);
// Exit code 0, or 2 when the file cannot be read.
int ExportNetwork(const std::string& networkFile, bool json);
// Exit code 0 when the networks are equal, 1 when they differ, 2 when a file cannot be read.
int DiffNetworkFiles(const std::string& before, const std::string& after);

struct CommissionCommandOptions {
    std::string networkFile;
    std::size_t master = 1;
    uint32_t mac = 63;
    std::optional<uint32_t> newMac;
    std::optional<std::string> baud;  // a baud-rate name or code
    uint32_t timeoutMs = 2000;
};

// Exit code 0 only when the device answered at its new address.
int CommissionNode(const CommissionCommandOptions& options);
// Exit code 1 when the master could not be opened or the output file not written.
int SearchNetwork(const SearchCommandOptions& options);
int ShowEds(const std::string& path);

// Parses the command line and runs the command.
int NorvaneCtlMain(const std::vector<std::string>& args);
