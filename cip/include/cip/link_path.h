// Link paths of CIP logical segments: the class, instance and attribute an object address names.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace cip {

struct ObjectAddress {
    uint32_t classId = 0;
    uint32_t instanceId = 0;
    uint32_t attributeId = 0;
    friend bool operator==(const ObjectAddress&, const ObjectAddress&) = default;
};

// Each segment byte s has the kind (s >> 2) & 7 and the format s & 3; the value that follows is 2
// bytes for format 1, 4 bytes for format 2 and 1 byte otherwise, little-endian. Kind 0 is the
// class, 1 the instance, 4 the attribute; other kinds are skipped. A segment whose value runs past
// the end of the path ends the decoding (its value is not used). What is not named stays 0.
ObjectAddress DecodeLinkPath(std::span<const uint8_t> path);

// Class, instance and attribute segments (kinds 0, 1 and 4), each in the shortest format that
// holds its value (1, 2 or 4 bytes) and packed, with no pad byte, so that DecodeLinkPath reads
// the same address back: class 0x0F, instance 300, attribute 1 is 20 0F 25 2C 01 30 01. The
// attribute segment is left out when `withAttribute` is false.
std::vector<uint8_t> EncodeLinkPath(const ObjectAddress& address, bool withAttribute = true);

}  // namespace cip
