// Adapters on one shared bus: a test-mode node receives the frames of another adapter's master
// with their DeviceNet identifiers.
#include <gtest/gtest.h>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/bus_hub.h"
#include "adapter_emu/firmware.h"
#include "adapter_emu/packet.h"
#include "emu_client.h"
#include "platform/byte_order.h"
#include "test_bus.h"

using namespace adapter_emu;
using emu_test::Bytes;

namespace {

struct Frame {
    uint16_t id;
    std::vector<uint8_t> data;
    bool operator==(const Frame&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Frame& f) {
    os << std::hex << f.id << "#";
    for (uint8_t b : f.data) os << static_cast<int>(b) << ' ';
    return os << std::dec;
}

class SharedBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_shared<ManualClock>(1000);
        hub = std::make_shared<BusHub>();
        const BusDescription bus = ParseBusText(emu_test::kTestBus, "test.xml");
        for (uint8_t i = 0; i < 2; ++i) {
            FirmwareOptions o;
            o.adapterIndex = i;
            o.sharedBus = hub;
            fw[i] = std::make_unique<Firmware>(bus, clock, o);
        }
    }

    uint32_t Result(int a, uint8_t code, std::vector<uint8_t> payload = {}) {
        return emu_test::AdapterClient::ResultOf(code, fw[a]->Execute(code, payload));
    }

    // What the node on adapter 1 received, in order.
    std::vector<Frame> Received() {
        std::vector<Frame> frames;
        for (;;) {
            auto ack = fw[1]->Execute(cmd::kDcDntRecv, {});
            EXPECT_EQ(emu_test::AdapterClient::ResultOf(cmd::kDcDntRecv, ack), 0u);
            auto p = emu_test::AdapterClient::Payload(ack);
            if (p.empty()) return frames;
            for (std::size_t at = 0; at + 19 <= p.size(); at += 19) {
                const uint16_t id = platform::GetU16LE(p, at + 1);
                frames.push_back({id, std::vector<uint8_t>(p.begin() + at + 4, p.begin() + at + 4 + p[at + 3])});
                // Group, MAC ID and message ID fields match the identifier.
                if ((id & 0x400) == 0) {
                    EXPECT_EQ(p[at + 16], 1);
                    EXPECT_EQ(p[at + 17], id & 0x3F);
                    EXPECT_EQ(p[at + 18], id >> 6);
                } else {
                    EXPECT_EQ(p[at + 16], 2);
                    EXPECT_EQ(p[at + 17], (id >> 3) & 0x3F);
                    EXPECT_EQ(p[at + 18], id & 7);
                }
            }
        }
    }

    void StartNode() {
        std::vector<uint8_t> start(128, 0);
        start[116] = 62;
        ASSERT_EQ(Result(1, cmd::kDcDntStartDrv, start), 0u);
        ASSERT_EQ(Result(1, cmd::kDcDntOnline), 0u);
    }

    void StartMaster() {
        ASSERT_EQ(Result(0, cmd::kDcReset), 0u);
        ASSERT_EQ(Result(0, cmd::kOpen), 0u);
        ASSERT_EQ(Result(0, cmd::kInit, emu_test::InitPayload(0, 10)), 0u);
        emu_test::SlaveEntry poll;
        poll.mac = 1;
        poll.flags = 1;
        poll.pollIn = 4;
        poll.pollOut = 2;
        ASSERT_EQ(Result(0, cmd::kAddSlave, emu_test::AddSlavePayload(poll)), 0u);
        emu_test::SlaveEntry strobe;
        strobe.mac = 2;
        strobe.strobeIn = 1;
        strobe.strobeOut = 8;
        ASSERT_EQ(Result(0, cmd::kAddSlave, emu_test::AddSlavePayload(strobe)), 0u);
        emu_test::SlaveEntry cos;
        cos.mac = 3;
        cos.flags = 0x04 | 0x03;  // change of state; I/O field 3: neither strobe nor poll
        cos.cosIn = 4;
        cos.cosOut = 4;
        ASSERT_EQ(Result(0, cmd::kAddSlave, emu_test::AddSlavePayload(cos)), 0u);
        ASSERT_EQ(Result(0, cmd::kOnline, {1}), 0u);
        ASSERT_EQ(Result(0, cmd::kStartScan, {1}), 0u);
    }

    std::shared_ptr<ManualClock> clock;
    std::shared_ptr<BusHub> hub;
    std::unique_ptr<Firmware> fw[2];
};

TEST_F(SharedBusTest, NodeSeesTheMastersScanCycles) {
    StartNode();
    EXPECT_TRUE(Received().empty());
    StartMaster();
    clock->Advance(10);
    ASSERT_EQ(Result(0, cmd::kGetNodeStatus, {1, 1}), 0u);  // the first cycle runs and goes out
    const std::vector<Frame> first = Received();
    const std::vector<Frame> expected = {
        // The master's duplicate MAC ID check going on line: port 0, vendor 1, serial number 0.
        {0x407, Bytes("00 01 00 00 00 00 00")},
        {0x407, Bytes("00 01 00 00 00 00 00")},
        {0x40E, Bytes("00 4B 03 01 03 00")},  // allocate poll to slave 1 (group 2 only)
        {0x40B, Bytes("00 CB 00")},
        {0x40D, Bytes("00 00")},  // poll command, 2 output bytes
        {0x3C1, Bytes("01 00 00 00")},  // poll response, the counter
        {0x416, Bytes("00 4B 03 01 05 00")},
        {0x413, Bytes("00 CB 00")},
        {0x41E, Bytes("00 4B 03 01 11 00")},
        {0x41B, Bytes("00 CB 00")},
        {0x343, Bytes("00 00 00 00")},  // change of state data of slave 3 (loopback)
        {0x41A, {}},  // the master's acknowledge
        {0x41D, Bytes("00 00 00 00")},  // the master's change of state data
        {0x3C3, {}},  // the slave's acknowledge
        {0x400, Bytes("00 00 00 00 00 00 00 00")},  // bit strobe of master 0
        {0x382, Bytes("01")},  // strobe response of slave 2
    };
    EXPECT_EQ(first, expected);

    // The next cycle: no allocation, the counter goes on.
    clock->Advance(10);
    ASSERT_EQ(Result(0, cmd::kGetNodeStatus, {1, 1}), 0u);
    const std::vector<Frame> second = Received();
    ASSERT_GE(second.size(), 2u);
    EXPECT_EQ(second[0], (Frame{0x40D, Bytes("00 00")}));
    EXPECT_EQ(second[1], (Frame{0x3C1, Bytes("02 00 00 00")}));

    // Explicit messages: the request in the 8/8 format, a long answer in fragments.
    ASSERT_EQ(Result(0, cmd::kEMRequest, emu_test::EmPayload(1, 0x0E, 1, 1, {7})), 0u);
    EXPECT_EQ(Received(), (std::vector<Frame>{{0x40C, Bytes("00 0E 01 01 07")},
                                              {0x40B, Bytes("80 00 8E 08 49 4F 20 42")},
                                              {0x40B, Bytes("80 81 6C 6F 63 6B")}}));

    // Off line the node hears nothing.
    ASSERT_EQ(Result(1, cmd::kDcDntOffline), 0u);
    clock->Advance(10);
    ASSERT_EQ(Result(0, cmd::kGetNodeStatus, {1, 1}), 0u);
    EXPECT_TRUE(Received().empty());
}

TEST_F(SharedBusTest, NodesHearEachOther) {
    StartNode();
    // Adapter 0 as a second node: what it produces reaches adapter 1, with the answers.
    std::vector<uint8_t> start(128, 0);
    start[116] = 61;
    ASSERT_EQ(Result(0, cmd::kDcDntStartDrv, start), 0u);
    ASSERT_EQ(Result(0, cmd::kDcDntOnline), 0u);
    std::vector<uint8_t> p(8, 0);
    platform::PutU32LE(p, 0, 5);
    platform::PutU32LE(p, 4, 0x400 | (4 << 3) | 6);
    for (uint8_t b : Bytes("3D 0E 01 01 01")) p.push_back(b);
    ASSERT_EQ(Result(0, cmd::kDcDntProduce, p), 0u);
    EXPECT_EQ(Received(), (std::vector<Frame>{{0x5EF, Bytes("00 01 00 00 00 00 00")},
                                              {0x5EF, Bytes("00 01 00 00 00 00 00")},
                                              {0x426, Bytes("3D 0E 01 01 01")},
                                              {0x423, Bytes("3D 8E E2 04")}}));
    // A duplicate MAC ID request for adapter 1's MAC ID: adapter 1 answers, and adapter 0 keeps
    // the answer.
    ASSERT_EQ(fw[0]->Execute(cmd::kDcDntRecv, {}).size(), 8u + 19u) << "the drive's answer to adapter 0";
    std::vector<uint8_t> check(8, 0);
    platform::PutU32LE(check, 0, 7);
    platform::PutU32LE(check, 4, 0x5F7);
    for (uint8_t b : Bytes("00 01 00 78 56 34 12")) check.push_back(b);
    ASSERT_EQ(Result(0, cmd::kDcDntProduce, check), 0u);
    EXPECT_EQ(Received(), (std::vector<Frame>{{0x5F7, Bytes("00 01 00 78 56 34 12")}}));
    const auto answer = emu_test::AdapterClient::Payload(fw[0]->Execute(cmd::kDcDntRecv, {}));
    ASSERT_EQ(answer.size(), 19u);
    EXPECT_EQ(std::vector<uint8_t>(answer.begin(), answer.begin() + 12), Bytes("01 F7 05 07 80 01 00 00 00 00 00 00"));
}

TEST_F(SharedBusTest, OneMacIdTwiceOnTheBus) {
    StartNode();  // adapter 1 on line at MAC ID 62
    const uint64_t start = clock->NowMs();
    std::vector<uint8_t> block(128, 0);
    block[116] = 62;
    ASSERT_EQ(Result(0, cmd::kDcDntStartDrv, block), 0u);
    ASSERT_EQ(Result(0, cmd::kDcDntOnline), 0u);
    // Adapter 1 answered the first request at once (response bit, vendor 1, serial 0); adapter 0
    // stays off line and kept the answer.
    EXPECT_EQ(clock->NowMs(), start);
    EXPECT_EQ(Received(), (std::vector<Frame>{{0x5F7, Bytes("00 01 00 00 00 00 00")}}));
    std::vector<uint8_t> p(8, 0);
    platform::PutU32LE(p, 0, 0);
    platform::PutU32LE(p, 4, 0x3FF);
    EXPECT_EQ(Result(0, cmd::kDcDntProduce, p), 66u) << "off line";
    const auto ack = fw[0]->Execute(cmd::kDcDntRecv, {});
    const auto records = emu_test::AdapterClient::Payload(ack);
    ASSERT_EQ(records.size(), 19u);
    EXPECT_EQ(std::vector<uint8_t>(records.begin(), records.begin() + 12),
              Bytes("01 F7 05 07 80 01 00 00 00 00 00 00"));

    // A master at the MAC ID of the node on line stays off line: every listed slave shows 70.
    ASSERT_EQ(Result(0, cmd::kDcReset), 0u);
    ASSERT_EQ(Result(0, cmd::kOpen), 0u);
    ASSERT_EQ(Result(0, cmd::kInit, emu_test::InitPayload(62, 10)), 0u);
    emu_test::SlaveEntry poll;
    poll.mac = 1;
    poll.flags = 1;
    poll.pollIn = 4;
    poll.pollOut = 2;
    ASSERT_EQ(Result(0, cmd::kAddSlave, emu_test::AddSlavePayload(poll)), 0u);
    ASSERT_EQ(Result(0, cmd::kOnline, {1}), 0u);
    ASSERT_EQ(Result(0, cmd::kStartScan, {1}), 0u);
    clock->Advance(100);
    EXPECT_EQ(fw[0]->SlaveStatus(1), std::optional<uint8_t>(70));
    EXPECT_EQ(Result(0, cmd::kEMRequest, emu_test::EmPayload(1, 0x0E, 1, 1, {7})), 66u);
    EXPECT_EQ(Received(), (std::vector<Frame>{{0x5F7, Bytes("00 01 00 00 00 00 00")}}));
    // Once the node has left, the master's check passes.
    ASSERT_EQ(Result(1, cmd::kDcDntOffline), 0u);
    ASSERT_EQ(Result(0, cmd::kOffline, {1}), 0u);
    ASSERT_EQ(Result(0, cmd::kOnline, {1}), 0u);
    clock->Advance(100);
    EXPECT_EQ(fw[0]->SlaveStatus(1), std::optional<uint8_t>(0));
}

TEST(BusFrames, LongDataTravelsInFragments) {
    std::vector<uint8_t> data(16);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
    const auto io = IoFrames(0x3C9, data, 5);
    ASSERT_EQ(io.size(), 3u);
    EXPECT_EQ(io[0].data, Bytes("00 01 02 03 04 05 06 07"));
    EXPECT_EQ(io[1].data, Bytes("41 08 09 0A 0B 0C 0D 0E"));
    EXPECT_EQ(io[2].data, Bytes("82 0F 10"));
    EXPECT_EQ(IoFrames(0x3C9, std::span<const uint8_t>(data.data(), 8), 5).size(), 1u);
    EXPECT_EQ(IoFrames(0x3C9, {}, 5).at(0).data, Bytes(""));
}

}  // namespace
