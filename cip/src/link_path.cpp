#include "cip/link_path.h"

namespace cip {

namespace {

// Logical segments: 0x20 | kind << 2 | format.
enum SegmentKind : unsigned { kClassKind = 0, kInstanceKind = 1, kAttributeKind = 4 };
constexpr uint8_t kLogicalSegment = 0x20;

void AppendSegment(std::vector<uint8_t>& path, unsigned kind, uint32_t value) {
    const unsigned format = value <= 0xFF ? 0 : value <= 0xFFFF ? 1 : 2;
    const std::size_t length = format == 0 ? 1 : format == 1 ? 2 : 4;
    path.push_back(static_cast<uint8_t>(kLogicalSegment | (kind << 2) | format));
    for (std::size_t i = 0; i < length; ++i) path.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

ObjectAddress DecodeLinkPath(std::span<const uint8_t> path) {
    ObjectAddress address;
    std::size_t pos = 0;
    while (pos < path.size()) {
        const uint8_t segment = path[pos];
        const unsigned kind = (segment >> 2) & 7;
        const unsigned format = segment & 3;
        const std::size_t length = format == 1 ? 2 : format == 2 ? 4 : 1;
        if (pos + 1 + length > path.size()) break;
        uint32_t value = 0;
        for (std::size_t i = 0; i < length; ++i) value |= static_cast<uint32_t>(path[pos + 1 + i]) << (8 * i);
        if (kind == kClassKind) {
            address.classId = value;
        } else if (kind == kInstanceKind) {
            address.instanceId = value;
        } else if (kind == kAttributeKind) {
            address.attributeId = value;
        }
        pos += length + 1;
    }
    return address;
}

std::vector<uint8_t> EncodeLinkPath(const ObjectAddress& address, bool withAttribute) {
    std::vector<uint8_t> path;
    AppendSegment(path, kClassKind, address.classId);
    AppendSegment(path, kInstanceKind, address.instanceId);
    if (withAttribute) AppendSegment(path, kAttributeKind, address.attributeId);
    return path;
}

}  // namespace cip
