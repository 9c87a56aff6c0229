// A simulated slave taking its identity and parameters from the device's EDS file.
#pragma once

#include <filesystem>
#include <stdexcept>

#include "adapter_emu/bus_description.h"

namespace adapter_emu {

// Why an EDS file could not be used (one line, without the file name).
class EdsSlaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads `path` and fills in `slave`: the identity from [Device] when `withIdentity` (serial number
// and status stay as they are), and every numeric parameter of [Params]: one whose link path names
// the Parameter object (class 0x0F, attribute 1) or that has no link path becomes that parameter
// instance; one that names another object becomes a settable attribute there. Entries already in
// `slave` (by parameter number or attribute address) are kept as the bus file gives them.
void ApplyEdsFile(const std::filesystem::path& path, SlaveDescription& slave, bool withIdentity);

}  // namespace adapter_emu
