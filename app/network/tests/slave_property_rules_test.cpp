// The slave dialog's rules driven through map-backed controls: the EDS list and its import
// entry, identity texts, the connection area, address lists, and the blocks OK builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_master_control.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/eds_import.h"
#include "network/slave_property_rules.h"
#include "report_capture.h"
#include "resources/tests/fake_dialog_controls.h"
#include "services/eds_store.h"
#include "testing/temp_dir.h"

namespace {

using R = SlavePropertyRules;
constexpr uint32_t kType = 101;

const char* kValveEds =
    "[File]\r\nDescText = \"Valve terminal\";\r\n"
    "[Device]\r\nVendCode = 435;\r\nVendName = \"Acme\";\r\nProdType = 27;\r\nProdTypeStr = \"Valve\";\r\n"
    "ProdCode = 12;\r\nMajRev = 1;\r\nMinRev = 2;\r\nProdName = \"Valve 16\";\r\n"
    "[IO_Info]\r\nDefault = 0x0001;\r\n"
    "PollInfo = 0x0001, 1, 2;\r\n"
    "COSInfo = 0x0004, 3, 2;\r\n"
    "CyclicInfo = 0x0008, 3, 5;\r\n"
    "Input1 = 4, 0, 0x0001, \"Status\", 6, \"20 04 24 64 30 03\", \"\";\r\n"
    "Input3 = 2, 0, 0x000C, \"Short status\", 6, \"20 04 24 65 30 03\", \"\";\r\n"
    "Output2 = 6, 0, 0x000D, \"Valves\", 6, \"20 04 24 96 30 03\", \"\";\r\n";

const char* kNoIoEds = "[Device]\r\nVendCode = 1;\r\nProdName = \"Bare\";\r\n";

const auto& kPoll = R::kConnections[R::kPoll];
const auto& kStrobe = R::kConnections[R::kStrobe];
const auto& kCos = R::kConnections[R::kCos];
const auto& kCyclic = R::kConnections[R::kCyclic];

class SlaveRules : public ::testing::Test {
protected:
    void SetUp() override {
        fake.Reset();
        temp.Write("prog/edsfile/Valve.eds", kValveEds);
        temp.Write("prog/edsfile/Bare.eds", kNoIoEds);
        store.Scan();
        master = network.GetOrCreateMaster(kType, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(12, 0));
    }

    R::Context Context() {
        R::Context c;
        c.eds = &store;
        c.message = [this](std::string_view text) { messages.emplace_back(text); };
        c.pickEdsFile = [this]() { return picked; };
        return c;
    }

    void AddSlave(uint32_t mac) {
        auto slave = std::make_unique<CSlaveDev>();
        slave->MutableConfig() = SlaveConfigBlock::Fresh(mac);
        master->AddChild(std::move(slave));
    }

    void Tick(R& rules, int check, bool on = true) {
        controls.SetChecked(check, on);
        rules.OnConnectionToggled(check);
    }

    void SelectText(int id, const std::string& text) {
        const auto items = controls.Items(id);
        auto it = std::find(items.begin(), items.end(), text);
        ASSERT_NE(it, items.end()) << text;
        controls.SetCurrentIndex(id, static_cast<int>(it - items.begin()));
    }

    std::vector<int> Addresses() const {
        std::vector<int> a;
        for (int i = 0; i < master->GetChildCount(); ++i) a.push_back(master->GetChild(i)->GetAddress());
        return a;
    }

    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    testkit::TempDir temp{"norvane_slave_rules"};
    EdsStore store{temp.Dir().string() + "/prog/"};
    NetworkRegistry network;
    CServerDev* master = nullptr;
    std::vector<std::string> messages;
    std::optional<std::string> picked;
    FakeDialogControls controls;
};

TEST_F(SlaveRules, AnEdsFileFillsIdentityInformationAndTheConnectionArea) {
    R rules(controls, Context(), master, "Valve");
    ASSERT_TRUE(rules.Open());
    EXPECT_TRUE(rules.HasEds());
    EXPECT_EQ(controls.Items(R::kEdsList),
              (std::vector<std::string>{"导入新的EDS文件……", "Not Use EDS File", "Bare", "Valve"}));
    EXPECT_EQ(controls.GetText(R::kEdsList), "Valve");
    EXPECT_EQ(controls.GetText(R::kSlaveName), "Valve");
    EXPECT_EQ(controls.GetText(R::kVendorId), "435");
    EXPECT_EQ(controls.GetText(R::kProductType), "27");
    EXPECT_EQ(controls.GetText(R::kProductCode), "12");
    EXPECT_FALSE(controls.IsEnabled(R::kVendorId));
    EXPECT_EQ(controls.GetText(R::kInfoName), "Valve 16");
    EXPECT_EQ(controls.GetText(R::kInfoVendor), "Acme");
    EXPECT_EQ(controls.GetText(R::kInfoType), "Valve");
    EXPECT_EQ(controls.GetText(R::kInfoVersion), "1.002");
    EXPECT_EQ(controls.GetText(R::kHeartbeat), "250");
    EXPECT_EQ(controls.GetText(R::kAckTimeout), "16");
    EXPECT_EQ(controls.GetText(R::kInhibit), "1");
    EXPECT_TRUE(controls.IsChecked(R::kAckCheck));
    EXPECT_FALSE(controls.IsEnabled(R::kParameters));

    // Poll is the default; strobe has no info entry; multicast stays disabled.
    EXPECT_TRUE(controls.IsChecked(kPoll.check));
    EXPECT_TRUE(controls.IsEnabled(kPoll.check));
    EXPECT_FALSE(controls.IsEnabled(kStrobe.check));
    EXPECT_TRUE(controls.IsEnabled(kCos.check));
    EXPECT_FALSE(controls.IsChecked(kCos.check));
    EXPECT_FALSE(controls.IsEnabled(R::kConnections[R::kMulticast].check));
    EXPECT_EQ(controls.Items(kPoll.inputList), (std::vector<std::string>{"Status"}));
    EXPECT_EQ(controls.Items(kPoll.outputList), (std::vector<std::string>{"Valves"}));
    EXPECT_EQ(controls.GetText(kPoll.inputSize), "4");
    EXPECT_EQ(controls.GetText(kPoll.outputSize), "6");
    EXPECT_EQ(controls.Items(kCos.inputList), (std::vector<std::string>{"Short status"}));
    // The cyclic default output 5 does not exist: an extra "no" item with entry 0 is chosen.
    EXPECT_EQ(controls.Items(kCyclic.outputList), (std::vector<std::string>{"Valves", "no"}));
    EXPECT_EQ(controls.GetText(kCyclic.outputList), "no");
    EXPECT_EQ(controls.GetText(kCyclic.outputSize), "0");
    EXPECT_TRUE(controls.IsShown(kPoll.inputList));
    EXPECT_FALSE(controls.IsShown(kCos.inputList));
    EXPECT_TRUE(controls.IsShown(R::kBackgroundLabel));
    EXPECT_FALSE(controls.IsShown(R::kHeartbeat));

    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    CSlaveDev* slave = rules.ResultSlave();
    ASSERT_NE(slave, nullptr);
    const ConnectionUse& use = slave->Config().use;
    EXPECT_EQ(use.bytes, (std::array<uint8_t, 17>{1, 1, 1, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const VARDA_SLAVE_CONFIG r = slave->Config().record.Record();
    EXPECT_EQ(r.MacId, 0u);
    EXPECT_EQ(r.VendorId, 435u);
    EXPECT_EQ(r.ProductType, 27u);
    EXPECT_EQ(r.ProductCode, 12u);
    EXPECT_EQ(r.PollInputSize, 4);
    EXPECT_EQ(r.PollOutputSize, 6);
    EXPECT_EQ(r.CosOutputSize, 6);
    EXPECT_EQ(r.ConnectionFlags, 1);
    EXPECT_EQ(r.HeartbeatTime, 250u);
    EXPECT_EQ(r.AckTimeout, 16u);
    EXPECT_EQ(r.ProductionInhibitTime, 1u);
    EXPECT_EQ(slave->Config().name, "Valve");
    EXPECT_EQ(slave->Eds().description.Device().VendCode(), 435);
    EXPECT_EQ(slave->GetGroupCount(), 3);
}

TEST_F(SlaveRules, AMasterWithEveryAddressInUseTakesNoSlave) {
    for (uint32_t mac = 0; mac <= 63; ++mac)
        if (mac != 12) AddSlave(mac);
    R rules(controls, Context(), master, "Valve");
    EXPECT_FALSE(rules.Open());
    EXPECT_EQ(messages, (std::vector<std::string>{"该主站的63个地址已经添加完，无法再添加从站"}));
    EXPECT_EQ(master->GetChildCount(), 63);
}

TEST_F(SlaveRules, AddressListsLeaveOutTheMasterAndItsSlaves) {
    AddSlave(14);
    R rules(controls, Context(), master, "Valve");
    ASSERT_TRUE(rules.Open());
    const auto start = controls.Items(R::kStartList);
    EXPECT_EQ(start.size(), 62u);
    EXPECT_EQ(std::count(start.begin(), start.end(), "12"), 0);
    EXPECT_EQ(std::count(start.begin(), start.end(), "14"), 0);
    EXPECT_EQ(controls.GetText(R::kStartLabel), "从站地址:");
    EXPECT_FALSE(controls.IsShown(R::kEndList));

    controls.SetChecked(R::kBatch, true);
    rules.OnBatchToggled();
    EXPECT_EQ(controls.GetText(R::kStartLabel), "从站起始地址:");
    EXPECT_TRUE(controls.IsShown(R::kEndList));
    SelectText(R::kStartList, "10");
    rules.OnStartChanged();
    EXPECT_EQ(controls.Items(R::kEndList).front(), "10");
    SelectText(R::kEndList, "20");
    SelectText(R::kStartList, "11");
    rules.OnStartChanged();
    EXPECT_EQ(controls.GetText(R::kEndList), "20");  // still above the start: kept
    SelectText(R::kStartList, "30");
    rules.OnStartChanged();
    EXPECT_EQ(controls.GetText(R::kEndList), "30");
}

TEST_F(SlaveRules, BatchAddFromTenToFifteenSkipsTheMasterAndTheUsedAddress) {
    AddSlave(14);
    R rules(controls, Context(), master, "Valve");
    ASSERT_TRUE(rules.Open());
    controls.SetChecked(R::kBatch, true);
    rules.OnBatchToggled();
    SelectText(R::kStartList, "10");
    rules.OnStartChanged();
    SelectText(R::kEndList, "15");
    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    EXPECT_EQ(Addresses(), (std::vector<int>{14, 10, 11, 13, 15}));
    EXPECT_EQ(rules.ResultSlave(), master->GetChild(1));
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(master->GetChild(i)->Config().use, master->GetChild(1)->Config().use);
        EXPECT_EQ(master->GetChild(i)->Config().name, "Valve");
    }
}

TEST_F(SlaveRules, ChangeOfStateAndCyclicExcludeEachOther) {
    R rules(controls, Context(), master, "Not Use EDS File");
    ASSERT_TRUE(rules.Open());
    Tick(rules, kCos.check);
    EXPECT_EQ(controls.GetText(R::kHeartbeatLabel), "心跳报文时间(ms)");
    EXPECT_EQ(controls.GetText(R::kHeartbeat), "250");
    EXPECT_TRUE(controls.IsShown(R::kInhibit));
    Tick(rules, kCyclic.check);
    EXPECT_FALSE(controls.IsChecked(kCos.check));
    EXPECT_TRUE(controls.IsChecked(kCyclic.check));
    EXPECT_EQ(controls.GetText(R::kHeartbeatLabel), "循环时间(ms)");
    EXPECT_EQ(controls.GetText(R::kHeartbeat), "1000");
    EXPECT_TRUE(controls.IsShown(R::kHeartbeat));
    EXPECT_FALSE(controls.IsShown(R::kInhibit));
    Tick(rules, kCos.check);
    EXPECT_FALSE(controls.IsChecked(kCyclic.check));
    EXPECT_EQ(controls.GetText(R::kHeartbeat), "250");

    Tick(rules, kCos.check, false);
    EXPECT_FALSE(controls.IsShown(R::kHeartbeat));
}

TEST_F(SlaveRules, WithPollTickedTheChangeOfStateOutputSharesThePollOutputSize) {
    R rules(controls, Context(), master, "Not Use EDS File");
    ASSERT_TRUE(rules.Open());
    Tick(rules, kPoll.check);
    Tick(rules, kCos.check);
    EXPECT_FALSE(controls.IsEnabled(kCos.outputSize));
    EXPECT_TRUE(controls.IsShown(R::kSharedOutputNote));
    controls.SetText(kPoll.inputSize, "3");
    controls.SetText(kPoll.outputSize, "4");
    controls.SetText(kCos.inputSize, "2");
    controls.SetText(kCos.outputSize, "9");
    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    const VARDA_SLAVE_CONFIG r = rules.ResultSlave()->Config().record.Record();
    EXPECT_EQ(r.PollOutputSize, 4);
    EXPECT_EQ(r.CosOutputSize, 4);
    EXPECT_EQ(r.CosInputSize, 2);
    EXPECT_EQ(r.ConnectionFlags, 1 | 4);

    Tick(rules, kPoll.check, false);
    EXPECT_TRUE(controls.IsEnabled(kCos.outputSize));
    EXPECT_FALSE(controls.IsShown(R::kSharedOutputNote));
    EXPECT_FALSE(controls.IsShown(R::kBackgroundLabel));
}

TEST_F(SlaveRules, ABitStrobeSlaveAlwaysGetsOutputSizeEight) {
    R rules(controls, Context(), master, "Not Use EDS File");
    ASSERT_TRUE(rules.Open());
    Tick(rules, kStrobe.check);
    EXPECT_FALSE(controls.IsShown(kStrobe.outputSize));
    EXPECT_TRUE(controls.IsShown(kStrobe.inputSize));
    controls.SetText(kStrobe.inputSize, "9");
    EXPECT_EQ(rules.Ok(), R::OkResult::kStayOpen);
    EXPECT_EQ(messages, (std::vector<std::string>{"请输入一个介于 0 和 8 之间的整数。"}));
    EXPECT_EQ(master->GetChildCount(), 0);
    controls.SetText(kStrobe.inputSize, "2");
    controls.SetText(kStrobe.outputSize, "5");
    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    const SlaveConfigBlock& block = rules.ResultSlave()->Config();
    EXPECT_EQ(block.record.Record().StrobeOutputSize, 8);
    EXPECT_EQ(block.record.Record().StrobeInputSize, 2);
    EXPECT_EQ(block.use[ConnectionUse::kStrobe], 1);
    EXPECT_EQ(block.use[ConnectionUse::kStrobeOutput], 0);
    EXPECT_EQ(block.record.Record().ConnectionFlags, 0);
}

TEST_F(SlaveRules, ThePlaceholderGivesZeroIdentityDefaultTimingAndTheNameSlave) {
    R rules(controls, Context(), master, "Valve");
    ASSERT_TRUE(rules.Open());
    controls.SetCurrentIndex(R::kEdsList, 1);
    rules.OnEdsSelected();
    EXPECT_FALSE(rules.HasEds());
    EXPECT_EQ(controls.GetText(R::kSlaveName), "slave");
    EXPECT_EQ(controls.GetText(R::kVendorId), "0");
    EXPECT_EQ(controls.GetText(R::kProductType), "0");
    EXPECT_EQ(controls.GetText(R::kProductCode), "0");
    EXPECT_EQ(controls.GetText(R::kHeartbeat), "250");
    EXPECT_EQ(controls.GetText(R::kAckTimeout), "16");
    EXPECT_EQ(controls.GetText(R::kInhibit), "1");
    for (int id : {R::kInfoName, R::kInfoVendor, R::kInfoType, R::kInfoVersion})
        EXPECT_EQ(controls.GetText(id), "用户自设定未知");
    for (int c = 0; c < R::kMulticast; ++c) {
        EXPECT_TRUE(controls.IsEnabled(R::kConnections[static_cast<size_t>(c)].check));
        EXPECT_FALSE(controls.IsChecked(R::kConnections[static_cast<size_t>(c)].check));
    }
    // Sizes are typed; text that is not a number counts as 0.
    Tick(rules, kPoll.check);
    EXPECT_FALSE(controls.IsShown(kPoll.inputList));
    EXPECT_TRUE(controls.IsShown(kPoll.inputSize));
    EXPECT_TRUE(controls.IsEnabled(kPoll.inputSize));
    controls.SetText(kPoll.inputSize, "abc");
    controls.SetText(kPoll.outputSize, "7");
    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    const SlaveConfigBlock& block = rules.ResultSlave()->Config();
    EXPECT_EQ(block.name, "slave");
    EXPECT_EQ(block.record.Record().PollInputSize, 0);
    EXPECT_EQ(block.record.Record().PollOutputSize, 7);
    EXPECT_EQ(block.record.Record().VendorId, 0u);
    EXPECT_TRUE(rules.ResultSlave()->Eds().path.empty());
}

TEST_F(SlaveRules, EditingASlaveAndPressingOkLeavesTwoDefaultGroups) {
    {
        R add(controls, Context(), master, "Valve");
        ASSERT_TRUE(add.Open());
        SelectText(R::kStartList, "5");
        ASSERT_EQ(add.Ok(), R::OkResult::kAccepted);
    }
    CSlaveDev* slave = master->GetChild(0);
    slave->SetPanelRebuild(0);
    FakeDialogControls edit;
    R rules(edit, Context(), slave);
    ASSERT_TRUE(rules.Open());
    EXPECT_EQ(edit.Items(R::kStartList).front(), "5");
    EXPECT_EQ(edit.GetText(R::kStartList), "5");
    EXPECT_FALSE(edit.IsShown(R::kBatch));
    EXPECT_EQ(edit.GetText(R::kEdsList), "Valve");
    EXPECT_EQ(edit.GetText(R::kInfoName), "Valve 16");
    EXPECT_TRUE(edit.IsChecked(kPoll.check));
    EXPECT_EQ(edit.GetText(kPoll.outputList), "Valves");

    edit.SetChecked(kCos.check, true);
    rules.OnConnectionToggled(kCos.check);
    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    EXPECT_EQ(rules.ResultSlave(), slave);
    EXPECT_EQ(master->GetChildCount(), 1);
    EXPECT_EQ(slave->PanelRebuild(), 1);
    const SlaveConfigBlock& block = slave->Config();
    ASSERT_EQ(block.groups.size(), 2u);
    ASSERT_EQ(block.groups[0].size(), 2u);  // Poll_Input 4, COS/Cycle_Input 2
    EXPECT_EQ(block.groups[0][1]->Size(), 2);
    ASSERT_EQ(block.groups[1].size(), 2u);  // Poll_Output 6, COS/Cycle_Output 6
    EXPECT_EQ(block.groups[1][1]->Size(), 6);
    EXPECT_EQ(block.use[ConnectionUse::kCos], 1);
    EXPECT_EQ(block.use[ConnectionUse::kCosInput], 3);
    EXPECT_EQ(block.use[ConnectionUse::kFromEds], 1);
    EXPECT_EQ(slave->GetGroupCount(), 3);
}

TEST_F(SlaveRules, ChoosingAFileOutsideTheFolder) {
    temp.Write("elsewhere/Valve.eds", kValveEds);
    temp.Write("elsewhere/Pump.eds", kValveEds);
    R rules(controls, Context(), master, "Not Use EDS File");
    ASSERT_TRUE(rules.Open());
    const std::string folderValve = store.Path("Valve");

    // Cancel restores the selection shown before.
    controls.SetCurrentIndex(R::kEdsList, 0);
    rules.OnEdsSelected();
    EXPECT_EQ(controls.GetText(R::kEdsList), "Not Use EDS File");
    EXPECT_TRUE(messages.empty());

    // A name already listed: the listed entry is used and nothing is recorded.
    picked = temp.Path("elsewhere/Valve.eds");
    controls.SetCurrentIndex(R::kEdsList, 0);
    rules.OnEdsSelected();
    EXPECT_EQ(messages, (std::vector<std::string>{"该名称的EDS文件已经存在，如需要添加，请修改文件名称再添加"}));
    EXPECT_EQ(controls.GetText(R::kEdsList), "Valve");
    EXPECT_EQ(store.Names().size(), 3u);
    EXPECT_EQ(store.Path("Valve"), folderValve);
    EXPECT_TRUE(rules.HasEds());

    // A new name: listed, registered for this run, not copied.
    messages.clear();
    picked = temp.Path("elsewhere/Pump.eds");
    controls.SetCurrentIndex(R::kEdsList, 0);
    rules.OnEdsSelected();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(controls.GetText(R::kEdsList), "Pump");
    EXPECT_EQ(controls.GetText(R::kSlaveName), "Pump");
    EXPECT_EQ(store.Names().back(), "Pump");
    EXPECT_EQ(store.Path("Pump"), temp.Path("elsewhere/Pump.eds"));
    EXPECT_FALSE(std::filesystem::exists(temp.Path("prog/edsfile/Pump.eds")));
}

TEST_F(SlaveRules, AnUnreadableFileOrOneWithoutIoInfoFallsBackToHandConfiguration) {
    store.AddName("Gone");
    struct Case {
        const char* name;
        const char* fragment;
    };
    const Case cases[] = {{"Gone", "无法读取EDS文件"}, {"Bare", "\"IO_Info\""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        FakeDialogControls dialog;
        R rules(dialog, Context(), master, c.name);
        ASSERT_TRUE(rules.Open());
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].find(c.fragment), std::string::npos) << messages[0];
        EXPECT_FALSE(rules.HasEds());
        EXPECT_EQ(dialog.GetText(R::kEdsList), "Not Use EDS File");
        EXPECT_EQ(dialog.GetText(R::kSlaveName), "slave");
        EXPECT_TRUE(dialog.IsEnabled(kPoll.check));
    }
}

TEST_F(SlaveRules, OutOfRangeNumbersKeepTheDialogOpen) {
    struct Case {
        int id;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {R::kHeartbeat, "70000", "请输入一个介于 0 和 65535 之间的整数。"},
        {R::kPoll * 0 + kPoll.inputSize, "300", "请输入一个介于 0 和 255 之间的整数。"},
    };
    for (const Case& c : cases) {
        messages.clear();
        FakeDialogControls dialog;
        R rules(dialog, Context(), master, "Not Use EDS File");
        ASSERT_TRUE(rules.Open());
        dialog.SetChecked(kPoll.check, true);
        rules.OnConnectionToggled(kPoll.check);
        dialog.SetText(c.id, c.text);
        EXPECT_EQ(rules.Ok(), R::OkResult::kStayOpen);
        EXPECT_EQ(messages, (std::vector<std::string>{c.message}));
        EXPECT_EQ(master->GetChildCount(), 0);
    }
}

}  // namespace

namespace {

TEST(EdsImport, ANewNameIsCopiedAndListedAKnownNameNeverReplacesTheFolderFile) {
    testkit::TempDir temp{"norvane_eds_import"};
    temp.Write("prog/edsfile/Valve.eds", "original");
    temp.Write("outside/Valve.eds", "other");
    temp.Write("outside/Pump.eds", "[Device]\r\nVendCode = 1;\r\n");
    EdsStore store{temp.Dir().string() + "/prog/"};
    store.Scan();

    EdsImportOutcome known = ImportEdsFile(store, temp.Path("outside/Valve.eds"));
    EXPECT_EQ(known.status, EdsImportOutcome::Status::kNameExists);
    EXPECT_EQ(known.message, "该名称的EDS文件已经存在，如需要添加，请修改文件名称再添加");
    EXPECT_EQ(known.position, 1);
    EXPECT_EQ(store.Names().size(), 2u);
    std::ifstream kept(temp.Path("prog/edsfile/Valve.eds"));
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "original");

    EdsImportOutcome added = ImportEdsFile(store, temp.Path("outside/Pump.eds"));
    EXPECT_EQ(added.status, EdsImportOutcome::Status::kImported);
    EXPECT_TRUE(added.message.empty());
    EXPECT_EQ(added.position, 2);
    EXPECT_EQ(store.Names().back(), "Pump");
    EXPECT_TRUE(std::filesystem::exists(temp.Path("prog/edsfile/Pump.eds")));

    for (const std::string& bad : {temp.Path("outside/none.eds"), temp.Path("outside"), std::string()}) {
        EdsImportOutcome refused = ImportEdsFile(store, bad);
        EXPECT_EQ(refused.status, EdsImportOutcome::Status::kUnreadable) << bad;
        EXPECT_NE(refused.message.find("无法读取EDS文件"), std::string::npos);
    }
    EXPECT_EQ(store.Names().size(), 3u);
}

}  // namespace
