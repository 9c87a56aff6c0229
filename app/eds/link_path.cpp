#include "eds/link_path.h"

ObjectAddress DecodeLinkPath(std::span<const uint8_t> path) {
    ObjectAddress address;
    std::size_t pos = 0;
    while (pos < path.size()) {
        uint8_t segment = path[pos];
        unsigned kind = (segment >> 2) & 7;
        unsigned format = segment & 3;
        std::size_t length = format == 1 ? 2 : format == 2 ? 4 : 1;
        if (pos + 1 + length > path.size()) break;
        uint32_t value = 0;
        for (std::size_t i = 0; i < length; ++i) value |= static_cast<uint32_t>(path[pos + 1 + i]) << (8 * i);
        if (kind == 0) {
            address.classId = value;
        } else if (kind == 1) {
            address.instanceId = value;
        } else if (kind == 4) {
            address.attributeId = value;
        }
        pos += length + 1;
    }
    return address;
}
