// The network configuration file (.kld): a sequence of Card elements holding the masters and
// their slaves, byte blocks as hexadecimal text. Read as UTF-8 or GB18030, written as GB18030.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class NetworkRegistry;

struct NetworkFileResult {
    bool opened = false;                // the file could be read
    bool parsed = false;                // the XML reader delivered the whole document
    std::vector<std::string> problems;  // what could not be read (also written to the log)
};

// What one read of a network file carries along: the folder relative EDS paths are read from
// (empty: as they are) and the problems met so far.
struct NetworkReadContext {
    std::string baseDir;
    std::vector<std::string> problems;

    // Records a problem and writes it to the log as a warning.
    void Problem(const std::string& text);
};

// Writes the whole network to `path`. Returns false when the file cannot be written.
bool SaveNetworkFile(const NetworkRegistry& network, const std::string& path);
// The document as UTF-8 text, as it is written before the encoding step.
std::string NetworkDocumentText(const NetworkRegistry& network);

// Clears the network, then reads the file into it. EDS paths that are relative are read from the
// folder of the network file. An empty path does nothing. A file that cannot
// be opened leaves the network empty; of a damaged file, every element the reader delivers is
// read, and what could not be read is reported in the result and logged.
NetworkFileResult LoadNetworkFile(NetworkRegistry& network, const std::string& path);
// The same from the file's bytes.
NetworkFileResult LoadNetworkBytes(NetworkRegistry& network, std::string_view bytes);
