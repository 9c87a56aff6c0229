// A slave's EDS description: the parsed EDS document it was configured from, the path of that
// file, and the slave's own parameter set (the parameter model whose values the parameter editor
// shows and edits).
#pragma once

#include <string>

#include "eds/eds_file.h"

struct SlaveEds {
    CEDSFile description;
    std::string path;  // "" for a slave without an EDS file
    DeviceNetEDS::CParamsInfo parameters;  // starts as the description's "Params" section
};

// The parameter values the network file gives the slave. The file stores no values, so these are
// the EDS defaults of the slave's description; parameter transfers never change them.
const DeviceNetEDS::CParamsInfo& FileParameters(const SlaveEds& eds);

// Loads the EDS file at `path` into `eds` (an empty path empties it). The path is kept even when
// the file cannot be read; the description is then what the EDS reader leaves. A relative path
// is read from `baseDir` when one is given (the folder of the network file that names it).
// Returns the reader's result (1 loaded, 0 not).
int LoadSlaveEds(SlaveEds& eds, const std::string& path, const std::string& baseDir = {});
