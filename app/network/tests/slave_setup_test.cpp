// Slaves made by the slave dialog and by the network search, and their parameter transfers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "fake_master_control.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "network/slave_setup.h"
#include "report_capture.h"
#include "testing/temp_dir.h"

namespace {

constexpr uint32_t kType = 101;

const char* kValveEds =
    "[File]\r\nDescText = \"Valve terminal\";\r\n"
    "[Device]\r\nVendCode = 435;\r\nVendName = \"Acme\";\r\nProdType = 27;\r\nProdCode = 12;\r\n"
    "MajRev = 1;\r\nMinRev = 2;\r\nProdName = \"Valve 16\";\r\n"
    "[IO_Info]\r\nDefault = 0x0001;\r\n"
    "PollInfo = 0x0001, 1, 2;\r\n"
    "COSInfo = 0x0004, 3, 2;\r\n"
    "CyclicInfo = 0x0008, 3, 2;\r\n"
    "Input1 = 4, 0, 0x0001, \"Status\", 6, \"20 04 24 64 30 03\", \"\";\r\n"
    "Input3 = 2, 0, 0x000C, \"Short status\", 6, \"20 04 24 65 30 03\", \"\";\r\n"
    "Output2 = 2, 0, 0x000D, \"Valves\", 6, \"20 04 24 96 30 03\", \"\";\r\n"
    "[Params]\r\n"
    "Param1 = 0, 6, \"20 0F 24 01 30 01\", 0x0000, 0xC7, 2, \"Delay\", \"ms\", \"\", 0, 1000, 10, "
    "1,1,1,0,0,0,0,0,0;\r\n"
    "Param2 = 0, 6, \"20 0F 24 02 30 01\", 0x0000, 0xC6, 1, \"Mode\", \"\", \"\", 0, 3, 1, 1,1,1,0,0,0,0,0,0;\r\n";

class SlaveSetup : public ::testing::Test {
protected:
    void SetUp() override {
        fake.Reset();
        dir = temp.Dir();
        temp.Write("Valve.eds", kValveEds);
        master = network.GetOrCreateMaster(kType, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(12, 0));
    }

    static std::string Resolve(const std::string& name) { return (Dir() / (name + ".eds")).string(); }
    static std::filesystem::path& Dir() {
        static std::filesystem::path d;
        return d;
    }

    testkit::TempDir temp{"norvane_slave_setup"};
    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    NetworkRegistry network;
    CServerDev* master = nullptr;
    std::filesystem::path& dir = Dir();
};

TEST_F(SlaveSetup, BatchAddSkipsUsedAddressesAndTheMaster) {
    auto existing = std::make_unique<CSlaveDev>();
    existing->MutableConfig() = SlaveConfigBlock::Fresh(14);
    master->AddChild(std::move(existing));

    SlaveConfigBlock block = SlaveConfigBlock::Fresh(10);
    block.use[ConnectionUse::kPoll] = 1;
    VARDA_SLAVE_CONFIG r = block.record.Record();
    r.PollInputSize = 3;
    r.PollOutputSize = 1;
    block.record.SetRecord(r);
    SlaveEds eds;
    LoadSlaveEds(eds, Resolve("Valve"));
    CSlaveDev* first = AddSlavesFromDialog(master, true, 10, 15, block, eds);
    ASSERT_NE(first, nullptr);
    std::vector<int> addresses;
    for (int i = 0; i < master->GetChildCount(); ++i) addresses.push_back(master->GetChild(i)->GetAddress());
    EXPECT_EQ(addresses, (std::vector<int>{14, 10, 11, 13, 15}));
    for (int i = 1; i < master->GetChildCount(); ++i) {
        const CSlaveDev* slave = master->GetChild(i);
        ASSERT_EQ(slave->Config().groups.size(), 2u) << "default groups built";
        EXPECT_EQ(slave->Config().groups[0][0]->Size(), 3);
        EXPECT_EQ(slave->Eds().description.Device().VendCode(), 435);
        EXPECT_EQ(slave->GetParent(), master);
    }
    block.record.SetMacId(20);  // the dialog puts the start address into the block
    EXPECT_EQ(AddSlavesFromDialog(master, false, 20, 30, block, eds)->GetAddress(), 20);
    EXPECT_EQ(master->GetChildCount(), 6) << "without batch only one slave";
}

TEST_F(SlaveSetup, SearchedSlavesAreConfiguredFromTheirEdsFile) {
    std::vector<SearchedSlave> results{{3, "Valve"}, {7, "Valve"}, {9, "Missing"}};
    CSlaveDev* last = AddSearchedSlaves(master, results, &SlaveSetup::Resolve);
    ASSERT_EQ(master->GetChildCount(), 3);
    EXPECT_EQ(last, master->GetChild(2));

    const CSlaveDev* valve = master->GetChild(0);
    EXPECT_EQ(valve->Config().name, "Valve");
    const ConnectionUse& use = valve->Config().use;
    EXPECT_EQ(std::vector<uint8_t>(use.bytes.begin(), use.bytes.end()),
              (std::vector<uint8_t>{1, 1, 1, 2, 0, 0, 0, 1, 1, 3, 2, 0, 0, 0, 0, 0, 0}))
        << "poll and change of state; cyclic only when there is no change of state";
    VARDA_SLAVE_CONFIG r = valve->Config().record.Record();
    EXPECT_EQ(r.MacId, 3u);
    EXPECT_EQ(r.VendorId, 435u);
    EXPECT_EQ(r.ProductType, 27u);
    EXPECT_EQ(r.ProductCode, 12u);
    EXPECT_EQ(r.ConnectionFlags, 0x05);
    EXPECT_EQ(r.BackgroundPoll, 1);
    EXPECT_EQ(r.PollInputSize, 4);
    EXPECT_EQ(r.PollOutputSize, 2);
    EXPECT_EQ(r.CosInputSize, 2);
    EXPECT_EQ(r.CosOutputSize, 2);
    EXPECT_EQ(r.HeartbeatTime, 250u);
    EXPECT_EQ(r.AckTimeout, 16u);
    EXPECT_EQ(r.ProductionInhibitTime, 1u);
    ASSERT_EQ(valve->Config().groups.size(), 2u);
    EXPECT_EQ(valve->Config().groups[0].size(), 2u);
    EXPECT_EQ(valve->Config().groups[1].size(), 2u);
    EXPECT_EQ(valve->PanelRebuild(), 1);

    const CSlaveDev* copy = master->GetChild(1);
    EXPECT_EQ(copy->GetAddress(), 7);
    EXPECT_EQ(copy->Config().use, use) << "a copy of the first slave of the same file";
    EXPECT_EQ(copy->Config().record.Record().VendorId, 435u);

    const CSlaveDev* unknown = master->GetChild(2);
    EXPECT_EQ(unknown->GetAddress(), 9);
    EXPECT_EQ(unknown->Config().record.Record().ConnectionFlags, 0x03) << "no connections";
    EXPECT_EQ(AddSearchedSlaves(master, {}, &SlaveSetup::Resolve), nullptr);
}

TEST_F(SlaveSetup, ParameterTransfersOfASlave) {
    CSlaveDev* slave = AddSearchedSlaves(master, {{3, "Valve"}}, &SlaveSetup::Resolve);
    ASSERT_NE(slave, nullptr);
    fake.SetAttribute(3, 0x0F, 1, 1, {0x2C, 0x01});
    fake.SetAttribute(3, 0x0F, 2, 1, {2});

    DeviceNetEDS::CParamsInfo editor = slave->Eds().parameters;
    EXPECT_EQ(slave->UploadParameter(editor, 1), 0u);
    EXPECT_EQ(editor.GetParam(1).defaultValue, 300);
    EXPECT_EQ(slave->Eds().parameters.GetParam(1).defaultValue, 300);

    editor.SetParamValue(2, 3);
    EXPECT_EQ(slave->DownloadParameter(editor, 2), 0u);
    EXPECT_EQ(fake.GetAttribute(3, 0x0F, 2, 1), (std::vector<uint8_t>{3}));
    EXPECT_EQ(slave->Eds().parameters.GetParam(2).defaultValue, 3);

    fake.SetAttribute(3, 0x0F, 2, 1, {1});
    master->SetStopFlags(0, 1);
    EXPECT_EQ(slave->UploadAllParameters(), 0u);
    EXPECT_EQ(slave->Eds().parameters.GetParam(2).defaultValue, 1);
    EXPECT_EQ(slave->Eds().parameters.GetParam(1).defaultValue, 300);
    EXPECT_TRUE(reports.Take().empty());

    fake.Fail("VARDA_EMRequest", 9, 1);
    editor.SetParamValue(1, 5);
    EXPECT_EQ(slave->DownloadParameter(editor, 1), 9u);
    EXPECT_EQ(slave->Eds().parameters.GetParam(1).defaultValue, 300) << "a failed download is not copied";
    auto lines = reports.Take();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "box[]参数设置出错");
    fake.Fail("VARDA_EMRequest", 9, 1);
    EXPECT_EQ(slave->UploadParameter(editor, 2), 9u);
    EXPECT_EQ(editor.GetParam(2).defaultValue, 3) << "the editor keeps its value";
    EXPECT_EQ(slave->Eds().parameters.GetParam(2).defaultValue, 0) << "a failed upload sets 0";
    lines = reports.Take();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "box[]读取参数设置出错");
}

}  // namespace
