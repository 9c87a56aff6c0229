// A network read from a file for reporting and comparing. Unless asked for the adapters, the
// masters it creates are not opened on them: a report or an export must work where the cards
// are not present.
#pragma once

#include <optional>
#include <string>

#include "network/master_api_table.h"
#include "network/network_file.h"
#include "network/network_registry.h"

class FileNetwork {
public:
    // Reads `path`. Without adapters, while the object lives the master API answers Open and
    // Close without an adapter and refuses every other call (nothing else may use the master API
    // meanwhile). With adapters the masters use the program's master API as usual.
    explicit FileNetwork(const std::string& path, bool withAdapters = false);
    ~FileNetwork();
    FileNetwork(const FileNetwork&) = delete;
    FileNetwork& operator=(const FileNetwork&) = delete;

    // The file could be read and its XML was whole.
    bool Readable() const { return result_.opened && result_.parsed; }
    const NetworkFileResult& Result() const { return result_; }
    const NetworkRegistry& Network() const { return network_; }
    NetworkRegistry& Network() { return network_; }
    const std::string& Path() const { return path_; }

private:
    std::optional<netsvc::ScopedMasterApi> api_;  // declared first: outlives the registry's closing masters
    NetworkRegistry network_;
    NetworkFileResult result_;
    std::string path_;
};
