// The network configuration file (.kld): a sequence of Card elements holding the masters and
// their slaves, byte blocks as hexadecimal text. Read as UTF-8 or GB18030, written as GB18030.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class NetworkRegistry;

// Why the bytes of a file are not a network file.
enum class NetworkFileRefusal {
    None,  // a network file (a blank file is the empty network)
    CannotOpen,  // the file cannot be read
    Binary,  // bytes no text file holds (NUL and other control bytes)
    OtherDocument,  // well-formed XML whose top level holds elements but no Card
    NothingReadable  // a damaged text in which not one Card can be read
};

struct NetworkFileResult {
    bool opened = false;  // the file was read and taken as a network file
    NetworkFileRefusal refused = NetworkFileRefusal::None;  // not None: the network was left as it was
    bool parsed = false;  // the XML reader delivered the whole document
    std::vector<std::string> problems;  // what could not be read (also written to the log)
};

// What one read of a network file carries along: the folder relative EDS paths are read from
// (empty: the current folder) and the problems met so far.
struct NetworkReadContext {
    std::string baseDir;
    std::vector<std::string> problems;

    // Records a problem and writes it to the log as a warning.
    void Problem(const std::string& text);
};

// Whether `bytes` are a network file, and if not, why. Reads nothing into a network.
NetworkFileRefusal CheckNetworkBytes(std::string_view bytes);
// The same for the file at `path`.
NetworkFileRefusal CheckNetworkFile(const std::string& path);

// The file an EDS path of a network file names, as a full path: the path itself when it names a
// file; a relative path from `baseDir` (the network file's folder; empty: the current folder);
// else a file of the same name in the EDS folders. Empty when it resolves nowhere.
std::string ResolveEdsPath(const std::string& written, const std::string& baseDir);

// Writes the whole network to `path`, EDS paths as full paths, through a temporary file beside
// it, so a failed write leaves an existing file as it was. Returns false when the file cannot be
// written.
bool SaveNetworkFile(const NetworkRegistry& network, const std::string& path);
// The document as UTF-8 text, as it is written before the encoding step.
std::string NetworkDocumentText(const NetworkRegistry& network);

// Clears the network, then reads the file into it. EDS paths are resolved with ResolveEdsPath; one
// that resolves nowhere is kept as written and logged with the slave's name. An empty path does
// nothing. A file that cannot be opened or is no network file (CheckNetworkBytes) is refused and
// the network stays as it was; of a damaged file, every element the reader delivers is read, and
// what could not be read is reported in the result and logged.
NetworkFileResult LoadNetworkFile(NetworkRegistry& network, const std::string& path);
// The same from the file's bytes.
NetworkFileResult LoadNetworkBytes(NetworkRegistry& network, std::string_view bytes);
