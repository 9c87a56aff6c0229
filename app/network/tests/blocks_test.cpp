// Byte layouts of the configuration blocks, data items and their hexadecimal text form.
#include <gtest/gtest.h>

#include <vector>

#include "network/hex_text.h"
#include "network/io_data_item.h"
#include "network/master_config_block.h"
#include "network/slave_config_block.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values) out.push_back(static_cast<uint8_t>(v));
    return out;
}

TEST(ConnectionUse, ResetZeroesEverythingButTheAcknowledgeTimeout) {
    ConnectionUse use;
    use.bytes.fill(0xAA);
    use.Reset();
    for (std::size_t i = 0; i < ConnectionUse::kSize; ++i) EXPECT_EQ(use[i], i == 7 ? 1 : 0) << "byte " << i;
}

TEST(ConnectionFlags, DerivedFromTheEnabledConnections) {
    struct Case {
        int poll, strobe, ack, cos, cyclic, multicast;
        uint8_t flags;
    };
    const Case cases[] = {
        {0, 0, 1, 0, 0, 0, 0x03},  // neither poll nor strobe
        {1, 0, 1, 0, 0, 0, 0x01},  // poll only
        {1, 1, 1, 0, 0, 0, 0x02},  // poll and strobe
        {0, 1, 1, 0, 0, 0, 0x00},  // strobe only
        {1, 0, 1, 1, 0, 0, 0x05},  // poll + change of state
        {0, 0, 1, 0, 1, 0, 0x0B},  // cyclic only
        {1, 0, 0, 1, 0, 0, 0x15},  // acknowledge time-out not enabled
        {0, 0, 1, 0, 0, 1, 0x03},  // multicast poll does not enter the flags
    };
    for (const Case& c : cases) {
        ConnectionUse use;
        use[ConnectionUse::kPoll] = static_cast<uint8_t>(c.poll);
        use[ConnectionUse::kStrobe] = static_cast<uint8_t>(c.strobe);
        use[ConnectionUse::kAckTimeout] = static_cast<uint8_t>(c.ack);
        use[ConnectionUse::kCos] = static_cast<uint8_t>(c.cos);
        use[ConnectionUse::kCyclic] = static_cast<uint8_t>(c.cyclic);
        use[ConnectionUse::kMulticast] = static_cast<uint8_t>(c.multicast);
        EXPECT_EQ(DeriveConnectionFlags(use), c.flags)
            << c.poll << c.strobe << c.ack << c.cos << c.cyclic << c.multicast;
    }
}

TEST(SlaveRecordBlock, RecordSitsAtTheFrontAndTheTailIsKept) {
    SlaveRecordBlock block;
    for (std::size_t i = 36; i < 52; ++i) block.bytes[i] = static_cast<uint8_t>(0xE0 + i - 36);
    VARDA_SLAVE_CONFIG r{};
    r.MacId = 0x3F;
    r.VendorId = 0x1234;
    r.ProductType = 0x0C;
    r.ProductCode = 0xBEEF;
    r.ConnectionFlags = 0x15;
    r.BackgroundPoll = 1;
    r.StrobeInputSize = 2;
    r.StrobeOutputSize = 8;
    r.PollInputSize = 3;
    r.CosInputSize = 4;
    r.PollOutputSize = 5;
    r.CosOutputSize = 6;
    r.HeartbeatTime = 250;
    r.AckTimeout = 16;
    r.ProductionInhibitTime = 0x010203;
    block.SetRecord(r);
    std::vector<uint8_t> expected =
        Bytes({0x3F, 0, 0, 0, 0x34, 0x12, 0,   0, 0x0C, 0, 0,  0, 0xEF, 0xBE, 0, 0, 0x15, 1,
               2,    8, 3, 4, 5,    6,    250, 0, 0,    0, 16, 0, 0,    0,    3, 2, 1,    0});
    for (std::size_t i = 36; i < 52; ++i) expected.push_back(static_cast<uint8_t>(0xE0 + i - 36));
    EXPECT_EQ(std::vector<uint8_t>(block.bytes.begin(), block.bytes.end()), expected);
    VARDA_SLAVE_CONFIG back = block.Record();
    EXPECT_EQ(back.VendorId, 0x1234u);
    EXPECT_EQ(back.CosOutputSize, 6);
    EXPECT_EQ(back.ProductionInhibitTime, 0x010203u);
    EXPECT_EQ(block.MacId(), 0x3Fu);
}

TEST(MasterConfigBlock, DefaultsAndLayout) {
    MasterConfigBlock block = MasterConfigBlock::Defaults(5, 2);
    std::vector<uint8_t> expected = Bytes(
        {5, 0, 0, 0, 2, 0, 0, 0, 10, 0, 0, 0, 1, 0, 0, 0, 75, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    expected.resize(52, 0);
    EXPECT_EQ(std::vector<uint8_t>(block.bytes.begin(), block.bytes.end()), expected);
    block.bytes[51] = 0x77;
    VARDA_INIT_PARAM r = block.Record();
    r.RetryCount = 10;
    block.SetRecord(r);
    EXPECT_EQ(block.bytes[20], 10);
    EXPECT_EQ(block.bytes[51], 0x77) << "bytes after the record are kept";
    EXPECT_EQ(block.MacId(), 5u);
    EXPECT_EQ(block.BaudIndex(), 2u);
}

TEST(IoDataItem, DefaultItemImage) {
    IoDataItem item = MakeDefaultItem("Poll_Input", "轮询连接的输入数据", true, 12);
    auto image = item.Image();
    ASSERT_EQ(image.size(), 179u);
    EXPECT_EQ(image[4], 8);  // byte string
    EXPECT_EQ(image[5], 0);
    EXPECT_EQ(image[6], 1);  // input, changed-flag index 0
    EXPECT_EQ(image[7], 12);
    EXPECT_EQ(image[8], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&image[9])), "Poll_Input");
    EXPECT_EQ(item.Description(), "轮询连接的输入数据");
    for (std::size_t i = 159; i < 179; ++i) EXPECT_EQ(image[i], 0) << "byte " << i;
    EXPECT_EQ(item.Name(), "Poll_Input");
    EXPECT_TRUE(item.IsInput());
    EXPECT_EQ(item.Size(), 12);
}

TEST(IoDataItem, StoredReferenceIsNeverTakenOver) {
    std::vector<uint8_t> image(179);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 1);
    image[4] = 8;
    image[5] = 0;
    IoDataItem item = IoDataItem::FromImage(image);
    EXPECT_TRUE(item.Buffer().empty());
    auto back = item.Image();
    for (std::size_t i = 0; i < 179; ++i) {
        if (i >= 163 && i <= 166) {
            EXPECT_EQ(back[i], 0) << "byte " << i;
        } else {
            EXPECT_EQ(back[i], image[i]) << "byte " << i;
        }
    }
}

TEST(IoDataItem, TextFieldsAreCutAndTerminated) {
    IoDataItem item;
    item.SetName(std::string(80, 'n'));
    item.SetDescription(std::string(150, 'd'));
    EXPECT_EQ(item.Name(), std::string(49, 'n'));
    EXPECT_EQ(item.Description(), std::string(99, 'd'));
    EXPECT_EQ(item.Image()[58], 0);
    EXPECT_EQ(item.Image()[158], 0);
}

TEST(IoDataItem, TextFieldsHoldGb18030) {
    IoDataItem item;
    item.SetName("阀岛");
    auto image = item.Image();
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 9, image.begin() + 14), Bytes({0xB7, 0xA7, 0xB5, 0xBA, 0}));
    EXPECT_EQ(item.Name(), "阀岛");
    // 25 two-byte characters do not fit 49 bytes: the last one is dropped whole.
    std::string long_name;
    for (int i = 0; i < 25; ++i) long_name += "阀";
    item.SetName(long_name);
    EXPECT_EQ(item.Name(), long_name.substr(0, 24 * 3));
    EXPECT_EQ(item.Image()[9 + 48], 0);
}

TEST(IoDataItem, WriteValueByType) {
    IoDataItem text = MakeDefaultItem("x", "", false, 4);
    const uint8_t data[] = {1, 2, 3, 4, 5, 6};
    text.WriteValue(data);
    EXPECT_EQ(text.Buffer(), Bytes({1, 2, 3, 4, 0}));
    EXPECT_TRUE(text.Changed());
    text.WriteValue(std::span<const uint8_t>(data, 1));
    EXPECT_EQ(text.Buffer(), Bytes({1, 0, 0, 0, 0})) << "a fresh, cleared buffer every write";

    IoDataItem number;
    number.SetValueType(ioitem::kInt16);
    number.SetSize(2);
    number.WriteValue(data);
    EXPECT_EQ(std::vector<uint8_t>(number.ValueBytes().begin(), number.ValueBytes().end()),
              Bytes({1, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(number.Image()[175], 1);
}

TEST(HexText, EncodesUpperCaseWithoutSeparators) {
    EXPECT_EQ(netmodel::EncodeHex(Bytes({0x00, 0xAB, 0x0F, 0xFF})), "00AB0FFF");
    EXPECT_EQ(netmodel::EncodeHex({}), "");
}

TEST(HexText, DecodingRules) {
    struct Case {
        const char* text;
        std::vector<uint8_t> expected;  // block of 4 that started as 11 22 33 44
        std::size_t stored;
        bool clean;
    };
    const Case cases[] = {
        {"A0b1C2d3", Bytes({0xA0, 0xB1, 0xC2, 0xD3}), 4, true},
        {"A0B1", Bytes({0xA0, 0xB1, 0x33, 0x44}), 2, true},  // short text keeps the rest
        {"A0B1C2D3E4F5", Bytes({0xA0, 0xB1, 0xC2, 0xD3}), 4, false},  // extra digits ignored
        {"A0B", Bytes({0xA0, 0x22, 0x33, 0x44}), 1, false},  // odd length
        {"A0ZZC2D3", Bytes({0xA0, 0x22, 0x33, 0x44}), 1, false},  // non-hex pair stops
        {"", Bytes({0x11, 0x22, 0x33, 0x44}), 0, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> block = Bytes({0x11, 0x22, 0x33, 0x44});
        auto result = netmodel::DecodeHexInto(c.text, block);
        EXPECT_EQ(block, c.expected) << c.text;
        EXPECT_EQ(result.bytesStored, c.stored) << c.text;
        EXPECT_EQ(result.clean, c.clean) << c.text;
    }
}

TEST(SlaveConfigBlock, DefaultGroupsFromTheSizes) {
    SlaveConfigBlock block = SlaveConfigBlock::Fresh(9);
    VARDA_SLAVE_CONFIG r = block.record.Record();
    EXPECT_EQ(r.HeartbeatTime, 250u);
    EXPECT_EQ(r.AckTimeout, 16u);
    EXPECT_EQ(r.ProductionInhibitTime, 1u);
    EXPECT_EQ(block.use[0], 1);
    EXPECT_EQ(block.name, "Slave");
    r.PollInputSize = 4;
    r.CosInputSize = 2;
    r.PollOutputSize = 3;
    r.StrobeOutputSize = 8;
    block.record.SetRecord(r);
    block.BuildDefaultGroups();
    ASSERT_EQ(block.groups.size(), 2u);
    ASSERT_EQ(block.groups[0].size(), 2u);
    EXPECT_EQ(block.groups[0][0]->Name(), "Poll_Input");
    EXPECT_EQ(block.groups[0][0]->Size(), 4);
    EXPECT_EQ(block.groups[0][1]->Name(), "COS/Cycle_Input");
    EXPECT_EQ(block.groups[0][1]->Description(), "状态改变或者周期连接的输入数据");
    ASSERT_EQ(block.groups[1].size(), 2u);
    EXPECT_EQ(block.groups[1][0]->Name(), "Poll_Output");
    EXPECT_FALSE(block.groups[1][0]->IsInput());
    EXPECT_EQ(block.groups[1][1]->Name(), "Strobe_Output");
    EXPECT_EQ(block.groups[1][1]->Description(), "位选通连接的输出数据");
    EXPECT_EQ(block.groups[1][1]->Size(), 8);

    SlaveConfigBlock copy = block;
    copy.groups[0][0]->SetName("changed");
    EXPECT_EQ(block.groups[0][0]->Name(), "Poll_Input") << "copies own their items";
}

}  // namespace
