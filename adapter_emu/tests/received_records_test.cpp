// The records a test-mode node keeps for DcDntRecv when its reader stalls: the oldest go, and
// the first record after each gap, and only that one, carries the "records were lost" flag.
#include <gtest/gtest.h>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/bus_hub.h"
#include "adapter_emu/firmware.h"
#include "adapter_emu/packet.h"
#include "emu_client.h"
#include "platform/byte_order.h"
#include "test_bus.h"

using namespace adapter_emu;

namespace {

// Two adapters on one bus: adapter 0 produces numbered frames, adapter 1 keeps them.
class ReceivedRecordsTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_shared<ManualClock>(1000);
        auto hub = std::make_shared<BusHub>();
        const BusDescription bus = ParseBusText(emu_test::kTestBus, "test.xml");
        for (uint8_t i = 0; i < 2; ++i) {
            FirmwareOptions o;
            o.adapterIndex = i;
            o.sharedBus = hub;
            fw[i] = std::make_unique<Firmware>(bus, clock, o);
            std::vector<uint8_t> start(128, 0);
            start[116] = static_cast<uint8_t>(60 + i);
            ASSERT_EQ(Result(i, cmd::kDcDntStartDrv, start), 0u);
            ASSERT_EQ(Result(i, cmd::kDcDntOnline), 0u);
        }
        Fetch(kMaxRecordsKept);  // whatever going on line left behind
    }

    uint32_t Result(int a, uint8_t code, std::vector<uint8_t> payload = {}) {
        return emu_test::AdapterClient::ResultOf(code, fw[a]->Execute(code, payload));
    }

    // Frames `first` .. `first + count - 1`, group 1 message 13 of MAC 60, the number in the data.
    void Produce(uint32_t first, uint32_t count) {
        for (uint32_t n = first; n < first + count; ++n) {
            std::vector<uint8_t> p(12, 0);
            platform::PutU32LE(p, 0, 4);
            platform::PutU32LE(p, 4, can_id::Group1(13, 60));
            platform::PutU32LE(p, 8, n);
            ASSERT_EQ(Result(0, cmd::kDcDntProduce, p), 0u);
        }
    }

    struct Seen {
        uint32_t number;
        bool lostBefore;
    };
    // Fetches up to `max` records (whole acknowledges) from adapter 1.
    std::vector<Seen> Fetch(std::size_t max) {
        std::vector<Seen> seen;
        while (seen.size() < max) {
            auto ack = fw[1]->Execute(cmd::kDcDntRecv, {});
            EXPECT_EQ(emu_test::AdapterClient::ResultOf(cmd::kDcDntRecv, ack), 0u);
            const auto p = emu_test::AdapterClient::Payload(ack);
            if (p.empty()) break;
            for (std::size_t at = 0; at + kRecordSize <= p.size(); at += kRecordSize) {
                EXPECT_EQ(p[at] & 0x7F, kRecordReceived);
                seen.push_back({platform::GetU32LE(p, at + 4), (p[at] & kRecordLostBefore) != 0});
            }
        }
        return seen;
    }

    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<Firmware> fw[2];
};

TEST_F(ReceivedRecordsTest, OneMarkPerGapOnTheFirstRecordAfterIt) {
    // Steps: produce `count` frames, then fetch at least `fetch` records (whole acknowledges of
    // 26). `marked` lists the numbers of the fetched records that carry the mark; no other may.
    struct Step {
        uint32_t count;
        std::size_t fetch;
        std::vector<uint32_t> marked;
        std::size_t fetched;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"no gap: exactly full", {{1024, 2000, {}, 1024}}},
        {"one gap of 578", {{1024 + 578, 2000, {578}, 1024}}},
        // The reader took 520 records (20 acknowledges) and the store filled up again, so the
        // kept records start in the middle of the store and the gap (520 to 619) lies across its
        // end: the mark sits on 620.
        {"at the wrap", {{1024, 500, {}, 520}, {520, 0, {}, 0}, {100, 2000, {620}, 1024}}},
        {"two gaps, read between",
         {{1030, 104, {6}, 104}, {1100, 2000, {1030 + 1100 - 1024}, 1024}, {2000, 2000, {2130 + 976}, 1024}}},
        {"gap merged by a second overflow before reading", {{1500, 0, {}, 0}, {1500, 2000, {3000 - 1024}, 1024}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        uint32_t next = 0;
        for (const Step& s : c.steps) {
            Produce(next, s.count);
            next += s.count;
            const std::vector<Seen> seen = Fetch(s.fetch);
            EXPECT_EQ(seen.size(), s.fetched);
            std::vector<uint32_t> marked;
            for (std::size_t i = 0; i < seen.size(); ++i) {
                if (seen[i].lostBefore) marked.push_back(seen[i].number);
                // Records come in order; a jump in the numbers is a gap and must be marked.
                if (i > 0) {
                    EXPECT_EQ(seen[i].number != seen[i - 1].number + 1, seen[i].lostBefore) << seen[i].number;
                }
            }
            EXPECT_EQ(marked, s.marked);
        }
        EXPECT_TRUE(Fetch(1).empty());
    }
}

}  // namespace
