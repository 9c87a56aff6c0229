// Link paths of logical segments.
#include <gtest/gtest.h>

#include <vector>

#include "cip/link_path.h"

namespace cip {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(LinkPath, Decoding) {
    struct Case {
        Bytes path;
        ObjectAddress expected;
    };
    const Case cases[] = {
        {{0x20, 0x0F, 0x24, 0x01, 0x30, 0x05}, {0x0F, 1, 5}},
        {{0x21, 0x34, 0x12, 0x25, 0x00, 0x01, 0x30, 0x03}, {0x1234, 0x100, 3}},  // 16-bit values
        {{0x22, 0x01, 0x02, 0x03, 0x04, 0x24, 0x02}, {0x04030201, 2, 0}},  // 32-bit class
        {{0x2C, 0x09, 0x20, 0x04}, {4, 0, 0}},  // kind 3 skipped
        {{0x23, 0x07, 0x24, 0x02}, {7, 2, 0}},  // format 3: one byte
        {{}, {0, 0, 0}},
        {{0x20, 0x0F, 0x21, 0x05}, {0x0F, 0, 0}},  // value runs past the end: ignored
        {{0x20}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeLinkPath(c.path), c.expected) << "path of " << c.path.size() << " bytes";
    }
}

TEST(LinkPath, Encoding) {
    struct Case {
        ObjectAddress address;
        bool withAttribute;
        Bytes path;
    };
    const Case cases[] = {
        {{0x0F, 1, 1}, true, {0x20, 0x0F, 0x24, 0x01, 0x30, 0x01}},
        {{0x0F, 300, 1}, true, {0x20, 0x0F, 0x25, 0x2C, 0x01, 0x30, 0x01}},
        {{0x0F, 255, 1}, true, {0x20, 0x0F, 0x24, 0xFF, 0x30, 0x01}},
        {{0x1234, 0x10000, 0x100}, true, {0x21, 0x34, 0x12, 0x26, 0x00, 0x00, 0x01, 0x00, 0x31, 0x00, 0x01}},
        {{0x04, 0x64, 0}, false, {0x20, 0x04, 0x24, 0x64}},
        {{0, 0, 0}, true, {0x20, 0x00, 0x24, 0x00, 0x30, 0x00}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeLinkPath(c.address, c.withAttribute), c.path)
            << c.address.classId << "/" << c.address.instanceId;
        ObjectAddress back = c.address;
        if (!c.withAttribute) back.attributeId = 0;
        EXPECT_EQ(DecodeLinkPath(c.path), back);
    }
}

}  // namespace
}  // namespace cip
