// The adapter's non-volatile memory: the scan list and settings stored by SaveCfg, kept in a file
// of the state folder and read again when the adapter starts.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

namespace adapter_emu {

// A simulated node given another MAC ID or baud rate over the network than its bus file says.
struct CommissionedNode {
    uint8_t fileMac = 0;  // its MAC ID in the bus file
    uint8_t mac = 0;
    std::optional<uint8_t> baud;  // none: it follows the bus
};

struct SavedConfig {
    std::optional<std::array<uint8_t, 13>> init;  // the Init payload in use when saved
    std::vector<std::array<uint8_t, 21>> slaves;  // AddSlave payloads, in MAC ID order
    std::vector<CommissionedNode> nodes;  // the nodes' own memory, kept with the adapter's
};

class StateFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Nothing when the file does not exist; StateFileError when it cannot be read or is malformed.
std::optional<SavedConfig> ReadSavedConfig(const std::filesystem::path& file);
// Writes through a temporary file and a rename, so a crash never leaves half a file.
void WriteSavedConfig(const std::filesystem::path& file, const SavedConfig& config);

}  // namespace adapter_emu
