// The norvanectl commands. Each returns the process exit code: 0 success, 1 a master could not
// start, 2 bad arguments or an unreadable file.
#pragma once

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

int RunNetwork(const RunOptions& options);
int ShowEds(const std::string& path);

// Parses the command line and runs the command.
int NorvaneCtlMain(const std::vector<std::string>& args);
