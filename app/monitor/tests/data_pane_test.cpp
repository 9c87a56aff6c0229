// The slave data panel's groups, the pane geometry, and what the panes send to the master API.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "../../network/tests/recording_services.h"
#include "monitor/data_pane_io.h"
#include "monitor/data_pane_layout.h"
#include "monitor/slave_panel_groups.h"
#include "network/slave_config_block.h"

namespace {

using namespace monitor;

SlaveConfigBlock Config(std::initializer_list<ConnectionUse::Index> enabled, uint8_t pollIn, uint8_t pollOut,
                        uint8_t strobeIn, uint8_t strobeOut, uint8_t cosIn, uint8_t cosOut) {
    SlaveConfigBlock block = SlaveConfigBlock::Fresh(3);
    for (ConnectionUse::Index i : enabled) block.use[i] = 1;
    VARDA_SLAVE_CONFIG r = block.record.Record();
    r.PollInputSize = pollIn;
    r.PollOutputSize = pollOut;
    r.StrobeInputSize = strobeIn;
    r.StrobeOutputSize = strobeOut;
    r.CosInputSize = cosIn;
    r.CosOutputSize = cosOut;
    block.record.SetRecord(r);
    return block;
}

std::vector<uint32_t> Captions(const SlaveConfigBlock& block) {
    std::vector<uint32_t> ids;
    for (const DataGroup& g : DataGroupsOf(block)) ids.push_back(g.captionId);
    return ids;
}

TEST(SlavePanelGroups, OrderConditionsAndEmptyBuffers) {
    using U = ConnectionUse;
    // Poll 4 in / 2 out and change of state 1 in / 0 out: no change-of-state output group.
    const SlaveConfigBlock pollCos = Config({U::kPoll, U::kCos}, 4, 2, 0, 0, 1, 0);
    EXPECT_EQ(DataGroupsOf(pollCos), (std::vector<DataGroup>{{10040, kConnPoll, kDirInput, 4},
                                                             {10041, kConnPoll, kDirOutput, 2},
                                                             {10044, kConnCos, kDirInput, 1}}));
    // Change of state wins over cyclic.
    EXPECT_EQ(Captions(Config({U::kCos, U::kCyclic}, 0, 0, 0, 0, 2, 2)), (std::vector<uint32_t>{10044, 10045}));
    EXPECT_EQ(Captions(Config({U::kCyclic}, 0, 0, 0, 0, 2, 2)), (std::vector<uint32_t>{10046, 10047}));
    // Everything enabled, strobe between poll and change of state.
    EXPECT_EQ(Captions(Config({U::kPoll, U::kStrobe, U::kCos}, 1, 1, 1, 8, 1, 1)),
              (std::vector<uint32_t>{10040, 10041, 10042, 10043, 10044, 10045}));
    // Sizes without an enabled connection show nothing.
    EXPECT_TRUE(DataGroupsOf(Config({}, 4, 4, 4, 4, 4, 4)).empty());
    const auto cyclicGroups = DataGroupsOf(Config({U::kCyclic}, 0, 0, 0, 0, 3, 0));
    ASSERT_EQ(cyclicGroups.size(), 1u);
    EXPECT_EQ(cyclicGroups[0].type, kConnCyclic);
    EXPECT_EQ(cyclicGroups[0].size, 3);
}

TEST(SlavePanelGroups, ChangeOfStateOutputBesidePollIsANote) {
    using U = ConnectionUse;
    const SlaveConfigBlock withPoll = Config({U::kPoll, U::kCos}, 1, 1, 0, 0, 1, 1);
    EXPECT_TRUE(IsNoteOnlyPane(withPoll, kConnCos, kDirOutput));
    EXPECT_TRUE(IsNoteOnlyPane(withPoll, kConnCyclic, kDirOutput));
    EXPECT_FALSE(IsNoteOnlyPane(withPoll, kConnCos, kDirInput));
    EXPECT_FALSE(IsNoteOnlyPane(withPoll, kConnPoll, kDirOutput));
    EXPECT_FALSE(IsNoteOnlyPane(Config({U::kCos}, 0, 0, 0, 0, 1, 1), kConnCos, kDirOutput));
}

TEST(DataPaneLayout, FiveBytePaneHasTwoRowsAndTwoControlRows) {
    const DataPaneLayout layout(60, 20, 5);
    EXPECT_EQ(layout.BoxRows(), 2);
    EXPECT_EQ(layout.Box(0), (PaneRect{0, 0, 60, 20}));
    EXPECT_EQ(layout.Box(3), (PaneRect{189, 0, 60, 20}));
    EXPECT_EQ(layout.Box(4), (PaneRect{0, 23, 60, 20}));
    EXPECT_EQ(layout.ActionButton(), (PaneRect{0, 46, 60, 20}));
    EXPECT_EQ(layout.FormatRadio(0), (PaneRect{63, 46, 60, 20}));
    EXPECT_EQ(layout.FormatRadio(2), (PaneRect{189, 46, 60, 20}));
    EXPECT_EQ(layout.TimedCheck(), (PaneRect{0, 69, 80, 20}));
    EXPECT_EQ(layout.PeriodBox(), (PaneRect{83, 69, 40, 20}));
    EXPECT_EQ(layout.ModeRadio(0), (PaneRect{126, 69, 60, 20}));
    EXPECT_EQ(layout.ModeRadio(1), (PaneRect{189, 69, 60, 20}));
    EXPECT_EQ(layout.PaneWidth(), 252);
    EXPECT_EQ(layout.PaneHeight(), 23 * 4);
    EXPECT_EQ(DataPaneLayout(60, 20, 4).BoxRows(), 1);
    EXPECT_EQ(DataPaneLayout(60, 20, 8).PaneHeight(), 23 * 4);
}

TEST(DataPaneRules, PeriodRule) {
    struct Case {
        const char* text;
        int period;
        bool replaced;
    };
    const Case cases[] = {{"500", 500, false}, {"100", 100, false}, {"10", 10, false},
                          {" 20", 20, false},  {"0", 500, true},    {"-5", 500, true},
                          {"abc", 500, true},  {"", 500, true},     {"99999999999", 500, true}};
    for (const Case& c : cases) {
        const TimerPeriod p = PeriodFromText(c.text);
        EXPECT_EQ(p.milliseconds, c.period) << c.text;
        EXPECT_EQ(p.replaced, c.replaced) << c.text;
    }
}

TEST(DataPaneRules, ReportTexts) {
    EXPECT_EQ(IoReportContext(3, kConnPoll, "VARDA_ReadSlaveIO"), "Slave ID=3,Poll IO,VARDA_ReadSlaveIO");
    EXPECT_EQ(IoReportContext(63, kConnStrobe, "VARDA_WriteSlaveIO"), "Slave ID=63,Strobe IO,VARDA_WriteSlaveIO");
    EXPECT_EQ(IoReportContext(1, kConnCos, "F"), "Slave ID=1,COS IO,F");
    EXPECT_EQ(IoReportContext(1, kConnCyclic, "F"), "Slave ID=1,CYCLIC IO,F");
    EXPECT_EQ(IoReportContext(1, 9, "F"), "Slave ID=1,Poll IO,F");
}

TEST(DataPaneRules, IncrementWrapsAt256) {
    std::vector<uint8_t> bytes{0xFF, 0x00, 0x7F};
    IncrementBytes(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x00, 0x01, 0x80}));
}

// A master API that records the I/O calls and answers with scripted codes and data.
struct IoCall {
    std::string function;
    uint32_t handle, mac, type, length, timeout;
    std::vector<uint8_t> data;
};
std::vector<IoCall> g_calls;
uint32_t g_result = 0;
std::vector<uint8_t> g_readData;
uint32_t g_readLength = 0;

uint32_t FakeRead(uint32_t handle, uint32_t mac, uint32_t type, uint8_t* buffer, uint32_t* length, uint32_t timeout) {
    g_calls.push_back({"read", handle, mac, type, *length, timeout, std::vector<uint8_t>(buffer, buffer + *length)});
    if (g_result != 0) {
        std::memset(buffer, 0xEE, *length);  // garbage the caller must not show
        return g_result;
    }
    std::memset(buffer, 0xEE, *length);
    std::memcpy(buffer, g_readData.data(), std::min<std::size_t>(g_readData.size(), *length));
    *length = g_readLength;
    return 0;
}
uint32_t FakeWrite(uint32_t handle, uint32_t mac, uint32_t type, const uint8_t* data, uint32_t length,
                   uint32_t timeout) {
    g_calls.push_back({"write", handle, mac, type, length, timeout, std::vector<uint8_t>(data, data + length)});
    return g_result;
}

class PaneIo : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_result = 0;
        api_.ReadSlaveIO = &FakeRead;
        api_.WriteSlaveIO = &FakeWrite;
    }
    RecordingServices services_;
    netsvc::ScopedServices scoped_{services_};
    VardaFunctions api_;
    PaneTarget target_{7, 3, true};
};

TEST_F(PaneIo, ReadPassesArgumentsAndZeroesBytesPastTheLength) {
    g_readData = {1, 2, 3, 4, 5};
    g_readLength = 3;
    std::vector<uint8_t> bytes;
    EXPECT_EQ(ReadPane(target_, kConnPoll, 5, bytes, api_), 0u);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].handle, 7u);
    EXPECT_EQ(g_calls[0].mac, 3u);
    EXPECT_EQ(g_calls[0].type, 1u);
    EXPECT_EQ(g_calls[0].length, 5u);
    EXPECT_EQ(g_calls[0].timeout, 0u);
    EXPECT_EQ(g_calls[0].data, std::vector<uint8_t>(5, 0)) << "the buffer goes out zero-filled";
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 0, 0}));
    EXPECT_TRUE(services_.Take().empty());
}

TEST_F(PaneIo, FailedReadIsReportedOnceAndKeepsTheBytes) {
    g_result = 77;
    std::vector<uint8_t> bytes{9, 9};
    EXPECT_EQ(ReadPane(target_, kConnPoll, 2, bytes, api_), 77u);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{9, 9}));
    const std::vector<std::string> reports = services_.Take();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("77"), std::string::npos);
    EXPECT_NE(reports[0].find("Slave ID=3,Poll IO,VARDA_ReadSlaveIO"), std::string::npos) << reports[0];
}

TEST_F(PaneIo, WriteAndStrobeSet) {
    const std::vector<uint8_t> data{0x00, 0xAB};
    EXPECT_EQ(WritePane(target_, kConnCos, data, api_), 0u);
    EXPECT_EQ(WriteStrobe(target_, true, api_), 0u);
    EXPECT_EQ(WriteStrobe(target_, false, api_), 0u);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].type, 2u);
    EXPECT_EQ(g_calls[0].length, 2u);
    EXPECT_EQ(g_calls[0].data, data);
    EXPECT_EQ(g_calls[1].type, 0u);
    EXPECT_EQ(g_calls[1].length, 8u);
    EXPECT_EQ(g_calls[1].timeout, 0u);
    EXPECT_EQ(g_calls[1].data, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(g_calls[2].data, std::vector<uint8_t>(8, 0));
    EXPECT_TRUE(services_.Take().empty());

    g_result = 5;
    EXPECT_EQ(WriteStrobe(target_, true, api_), 5u);
    const std::vector<std::string> reports = services_.Take();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("Slave ID=3,Strobe IO,VARDA_WriteSlaveIO"), std::string::npos) << reports[0];
}

}  // namespace
