// Records of the EDS data model: what one numbered entry of a section turns into.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eds/entry_map.h"

namespace DeviceNetEDS {

// One "InputN" or "OutputN" entry of the IO_Info section.
struct IoEntry {
    std::string kind;  // "Input" or "Output" (at most 11 bytes)
    int32_t number = 0;  // N of the key
    int32_t size = 0;  // connection data size in bytes
    int32_t significantBits = 0;  // significant bits of the data
    uint32_t connectionMask = 0;  // connection types that may use this entry
    std::string name;
    int32_t pathSize = 0;
    std::string pathText;  // e.g. "20 04 24 64 30 03"
    std::vector<uint8_t> pathBytes;
    std::string help;

    bool operator==(const IoEntry&) const = default;
};

// Values and texts of an enumerated parameter, in file order (parallel lists).
struct EnumList {
    std::vector<int32_t> values;
    std::vector<std::string> texts;

    bool operator==(const EnumList&) const = default;
};

// One "ParamN" entry of the Params section.
struct ParamEntry {
    int32_t reserved = 0;
    int32_t linkPathSize = 0;
    std::string linkPathText;  // only when linkPathSize is not 0
    std::vector<uint8_t> linkPathBytes;
    uint32_t descriptor = 0;
    int32_t dataType = 0;  // CIP data type code
    int32_t dataSize = 0;  // bytes
    std::string name;
    std::string units;
    std::string help;
    double minimum = 0.0;
    double maximum = 0.0;
    double defaultValue = 0.0;  // also holds the slave's current value
    int32_t scalingMultiplier = 0;
    int32_t scalingDivider = 0;
    int32_t scalingBase = 0;
    int32_t scalingOffset = 0;
    int32_t multiplierLink = 0;
    int32_t dividerLink = 0;
    int32_t baseLink = 0;
    int32_t offsetLink = 0;
    int32_t decimalPlaces = 0;
    EnumList enumeration;

    bool operator==(const ParamEntry&) const = default;
};

// One "GroupN" entry of the Groups section.
struct GroupEntry {
    std::string name;
    int32_t memberCount = 0;  // as written; `members` may hold fewer
    std::vector<int32_t> members;  // parameter numbers

    bool operator==(const GroupEntry&) const = default;
};

// Reference of an assembly member.
struct MemberRef {
    enum Kind : int32_t { kParam = 0, kAssembly = 1, kText = 2, kNumber = 3, kEmpty = 4 };
    int32_t kind = kEmpty;
    int32_t number = 0;  // for kParam, kAssembly, kNumber
    std::string text;  // for kText, at most 99 bytes

    bool operator==(const MemberRef&) const = default;
};

struct AssemblyMember {
    int32_t size = 0;
    MemberRef ref;

    bool operator==(const AssemblyMember&) const = default;
};

// One "AssemN" entry of the Assembly section.
struct AssemblyEntry {
    std::string name;
    std::string pathText;
    std::vector<uint8_t> pathBytes;
    int32_t size = 0;
    uint16_t descriptor = 0;
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
    std::vector<AssemblyMember> members;

    bool operator==(const AssemblyEntry&) const = default;
};

// One of the five connection keys of the IO_Info section.
struct ConnectionInfo {
    int32_t valid = 0;  // 1 when the key was present
    uint32_t compatibleConnections = 0;
    int32_t defaultInput = 0;  // N of an "InputN" entry
    int32_t defaultOutput = 0;  // N of an "OutputN" entry

    bool operator==(const ConnectionInfo&) const = default;
};

}  // namespace DeviceNetEDS
