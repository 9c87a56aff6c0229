// The simulated DeviceNet network of one adapter, as read from a bus file (see README.md).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cip/data_type.h"

namespace adapter_emu {

// Index = connection type of the master API: 0 bit strobe, 1 poll, 2 change of state, 3 cyclic.
inline constexpr std::size_t kConnectionTypes = 4;

enum class InputBehaviour { Constant, Counter, Loopback };

struct ConnectionSpec {
    bool used = false;
    uint8_t inputSize = 0;
    uint8_t outputSize = 0;
    InputBehaviour behaviour = InputBehaviour::Constant;
    std::vector<uint8_t> constant;  // constant inputs, zero padded to inputSize
};

struct ParameterSpec {
    uint16_t number = 0;
    std::string name;
    std::string units;
    std::string help;
    cip::TypeInfo type;
    std::vector<uint8_t> value;
    long double minimum = 0;
    long double maximum = 0;
    bool settable = true;
    std::vector<long double> choices;  // when not empty, the only values a set accepts
    int line = 0;
};

// Any other attribute of any object: a typed value or raw bytes.
struct AttributeSpec {
    uint16_t classId = 0;
    uint16_t instance = 0;
    uint8_t id = 0;
    std::optional<cip::TypeInfo> type;
    std::vector<uint8_t> value;
    bool settable = false;
    int line = 0;
};

struct SlaveDescription {
    uint8_t mac = 0;
    std::string name;
    uint16_t vendorId = 0;
    uint16_t deviceType = 0;
    uint16_t productCode = 0;
    uint8_t revisionMajor = 1;
    uint8_t revisionMinor = 1;
    uint32_t serialNumber = 0;
    std::string productName;
    uint16_t status = 0;
    std::array<ConnectionSpec, kConnectionTypes> connections;
    std::vector<ParameterSpec> parameters;
    std::vector<AttributeSpec> attributes;
    bool absent = false;
    bool idle = false;
    std::optional<uint32_t> silentAfterMs;
    uint32_t explicitDelayMs = 0;
    // Deliberately at the MAC ID of a device listed before it: it fails its duplicate MAC ID
    // check and stays off line.
    bool duplicateMac = false;
    // The node's switches fix its MAC ID and baud rate: the network cannot set them.
    bool fixedSwitches = false;
    // The baud rate code the node runs at (0 125K, 1 250K, 2 500K); none: it follows the bus.
    std::optional<uint8_t> baudRate;
    int line = 0;
};

struct BusDescription {
    std::string source;
    std::vector<SlaveDescription> slaves;
};

// One line naming the file, the line and what is wrong.
class BusFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

BusDescription LoadBusFile(const std::filesystem::path& path);
// `baseDir`: where the EDS files that slaves name by a relative path are read.
BusDescription ParseBusText(std::string_view text, std::string_view sourceName,
                            const std::filesystem::path& baseDir = {});

}  // namespace adapter_emu
