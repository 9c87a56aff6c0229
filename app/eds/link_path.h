// Decoding of a parameter's link path (CIP logical segments) into the object address.
#pragma once

#include <cstdint>
#include <span>

struct ObjectAddress {
    uint32_t classId = 0;
    uint32_t instanceId = 0;
    uint32_t attributeId = 0;
    friend bool operator==(const ObjectAddress&, const ObjectAddress&) = default;
};

// Each segment byte s has the kind (s >> 2) & 7 and the format s & 3; the value that follows is 2
// bytes for format 1, 4 bytes for format 2 and 1 byte otherwise, little-endian. Kind 0 is the
// class, 1 the instance, 4 the attribute; other kinds are skipped. A segment whose value runs past
// the end of the path ends the decoding (its value is not used).
ObjectAddress DecodeLinkPath(std::span<const uint8_t> path);
