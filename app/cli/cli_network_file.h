// A network file read for report, export and diff, with the messages of the command line.
#pragma once

#include <memory>
#include <string>

#include "report/file_network.h"

// Reads the file; on failure prints "norvanectl: cannot read network file '<path>'" (with the
// reason when the XML is damaged) and returns null. Problems of a readable file are printed as
// warnings on stderr.
std::unique_ptr<FileNetwork> ReadCommandNetwork(const std::string& path, bool withAdapters = false);
