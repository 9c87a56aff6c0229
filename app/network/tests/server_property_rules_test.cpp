// The master dialog's rules driven through map-backed controls: lists and cascades, the network
// name, the scan settings, the OK checks, creating and moving masters.
#include <gtest/gtest.h>

#include "fake_master_control.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/server_property_rules.h"
#include "network/slave_dev.h"
#include "report_capture.h"
#include "resources/tests/fake_dialog_controls.h"

namespace {

using R = ServerPropertyRules;
constexpr uint32_t kType = 101;

class ServerRules : public ::testing::Test {
protected:
    void SetUp() override { fake.Reset(); }

    R::Context Context(CDeviceBase* selected = nullptr) {
        R::Context c;
        c.deviceTypes = &types;
        c.baudNames = &bauds;
        c.network = &network;
        c.selectedNode = selected;
        c.rememberedType = &rememberedType;
        c.rememberedBaud = &rememberedBaud;
        c.message = [this](std::string_view text) { messages.emplace_back(text); };
        return c;
    }

    CServerDev* AddMaster(uint32_t index, uint32_t channel, uint32_t mac) {
        CServerDev* m = network.GetOrCreateMaster(kType, index, channel);
        m->SetConfig(MasterConfigBlock::Defaults(mac, 1));
        return m;
    }

    static void AddSlave(CServerDev* master, uint32_t mac) {
        auto slave = std::make_unique<CSlaveDev>();
        slave->MutableConfig() = SlaveConfigBlock::Fresh(mac);
        master->AddChild(std::move(slave));
    }

    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    NetworkRegistry network;
    std::vector<DeviceTypeEntry> types{{"USB-DN", 101, 2}};
    std::map<int32_t, std::string> bauds{{0, "125K"}, {1, "250K"}, {2, "500K"}};
    int32_t rememberedType = 0;
    int32_t rememberedBaud = 0;
    std::vector<std::string> messages;
    FakeDialogControls controls;
};

TEST_F(ServerRules, NewMasterTakesTheDefaultSettingsAndTheComposedName) {
    R rules(controls, Context(), R::kNew);
    ASSERT_TRUE(rules.Open());
    EXPECT_EQ(controls.GetText(R::kScanDelay), "10");
    EXPECT_EQ(controls.GetText(R::kIntervalScanCycle), "1");
    EXPECT_EQ(controls.GetText(R::kRetryCount), "1");
    EXPECT_EQ(controls.GetText(R::kExpectedPacketRate), "75");
    EXPECT_EQ(controls.GetText(R::kAutoMapSize), "0");
    EXPECT_FALSE(controls.IsEnabled(R::kAutoMapSize));
    EXPECT_EQ(controls.Items(R::kChannel), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(controls.Items(R::kAddress).size(), 64u);
    EXPECT_EQ(rules.NetworkName(), "USB-DN(0-0-125K)-0");

    controls.SetCurrentIndex(R::kAddress, 5);
    rules.OnBaudOrAddressChanged();
    EXPECT_EQ(rules.NetworkName(), "USB-DN(0-0-125K)-5");

    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    CServerDev* master = rules.ResultMaster();
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(network.FindMaster(kType, 0, 0), master);
    const VARDA_INIT_PARAM r = master->Config().Record();
    EXPECT_EQ(r.MacId, 5u);
    EXPECT_EQ(r.BaudRate, 0u);
    EXPECT_EQ(r.ScanDelay, 10u);
    EXPECT_EQ(r.IntervalScanCycle, 1u);
    EXPECT_EQ(r.ExpectedPacketRate, 75u);
    EXPECT_EQ(r.RetryCount, 1u);
    EXPECT_EQ(r.AutoMapSize, 0u);
    EXPECT_EQ(r.Option1, 0u);
    EXPECT_EQ(r.Option2, 0u);
    std::string name;
    master->GetName(name);
    EXPECT_EQ(name, "USB-DN(0-0-125K)-5");
}

TEST_F(ServerRules, AFullCardIsNotOfferedAndAnExistingCardOffersItsFreeChannels) {
    AddMaster(0, 0, 1);
    {
        R rules(controls, Context(), R::kNew);
        rules.Open();
        EXPECT_EQ(controls.Items(R::kDeviceIndex).front(), "0");
        EXPECT_EQ(controls.Items(R::kChannel), (std::vector<std::string>{"1"}));
        EXPECT_EQ(rules.NetworkName(), "USB-DN(0-1-125K)-0");
    }
    AddMaster(0, 1, 2);
    FakeDialogControls second;
    R rules(second, Context(), R::kNew);
    rules.Open();
    EXPECT_EQ(second.Items(R::kDeviceIndex), (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(second.Items(R::kChannel), (std::vector<std::string>{"0", "1"}));
    EXPECT_EQ(rules.NetworkName(), "USB-DN(1-0-125K)-0");
}

TEST_F(ServerRules, EditModeLoadsTheMasterAndLeavesOutItsSlavesAddresses) {
    CServerDev* master = AddMaster(3, 1, 7);
    VARDA_INIT_PARAM r = master->Config().Record();
    r.ScanDelay = 20;
    r.RetryCount = 4;
    MasterConfigBlock block = master->Config();
    block.SetRecord(r);
    master->SetConfig(block);
    AddSlave(master, 3);
    AddSlave(master, 5);

    R rules(controls, Context(master), R::kEdit);
    ASSERT_TRUE(rules.Open());
    EXPECT_EQ(controls.Items(R::kDeviceIndex).size(), 10u);
    EXPECT_EQ(controls.GetText(R::kDeviceIndex), "3");
    EXPECT_EQ(controls.GetText(R::kChannel), "1");
    EXPECT_EQ(controls.GetText(R::kAddress), "7");
    EXPECT_EQ(controls.GetText(R::kBaud), "250K");
    EXPECT_EQ(controls.GetText(R::kScanDelay), "20");
    EXPECT_EQ(controls.GetText(R::kRetryCount), "4");
    const std::vector<std::string> addresses = controls.Items(R::kAddress);
    EXPECT_EQ(addresses.size(), 62u);
    EXPECT_EQ(std::count(addresses.begin(), addresses.end(), "3"), 0);
    EXPECT_EQ(std::count(addresses.begin(), addresses.end(), "5"), 0);
    std::string name;
    master->GetName(name);
    EXPECT_EQ(rules.NetworkName(), name);
}

TEST_F(ServerRules, AnEmptyListMakesTheNameErrorAndOkNamesTheFirstMissingChoice) {
    struct Case {
        int cleared;
        const char* message;
    };
    const Case cases[] = {{R::kDeviceType, "请选择主站卡型号"},
                          {R::kDeviceIndex, "请选择主站卡索引"},
                          {R::kChannel, "请选择CAN通道"},
                          {R::kBaud, "请选择波特率"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        FakeDialogControls dialog;
        messages.clear();
        R rules(dialog, Context(), R::kNew);
        rules.Open();
        dialog.SetCurrentIndex(c.cleared, -1);
        rules.OnBaudOrAddressChanged();
        EXPECT_EQ(rules.NetworkName(), "error");
        EXPECT_EQ(rules.Ok(), R::OkResult::kStayOpen);
        EXPECT_EQ(messages, (std::vector<std::string>{c.message}));
        EXPECT_TRUE(network.IsEmpty());
    }
    types.clear();
    FakeDialogControls empty;
    R rules(empty, Context(), R::kNew);
    rules.Open();
    EXPECT_EQ(rules.NetworkName(), "error");
}

TEST_F(ServerRules, RetryCountOutsideOneToTenKeepsTheDialogOpen) {
    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {{"0", false}, {"11", false}, {"abc", false}, {"", false}, {"1", true}, {"10", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        network.ClearNetwork();
        messages.clear();
        FakeDialogControls dialog;
        R rules(dialog, Context(), R::kNew);
        rules.Open();
        dialog.SetText(R::kRetryCount, c.text);
        EXPECT_EQ(rules.Ok() == R::OkResult::kAccepted, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(rules.ResultMaster()->Config().Record().RetryCount, std::stoul(c.text));
        } else {
            EXPECT_EQ(messages, (std::vector<std::string>{"请输入一个介于 1 和 10 之间的整数。"}));
            EXPECT_TRUE(network.IsEmpty());
        }
    }
}

TEST_F(ServerRules, EditWithoutASelectedMasterWarnsAndChangesNothing) {
    R rules(controls, Context(nullptr), R::kEdit);
    EXPECT_FALSE(rules.Open());
    EXPECT_EQ(messages, (std::vector<std::string>{"没有选择主站,以下操作可能会出错。最好直接关闭对话框"}));
    EXPECT_EQ(rules.Ok(), R::OkResult::kAccepted);
    EXPECT_EQ(rules.ResultMaster(), nullptr);
    EXPECT_TRUE(network.IsEmpty());
}

TEST_F(ServerRules, MovingOntoAChannelHeldByAnotherMasterIsRefused) {
    CServerDev* a = AddMaster(0, 0, 1);
    CServerDev* b = AddMaster(0, 1, 2);
    R rules(controls, Context(a), R::kEdit);
    ASSERT_TRUE(rules.Open());
    controls.SetCurrentIndex(R::kChannel, 1);
    rules.OnChannelChanged();
    EXPECT_EQ(rules.Ok(), R::OkResult::kStayOpen);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("USB-DN(0-1-250K)-2"), std::string::npos);
    EXPECT_EQ(network.FindMaster(kType, 0, 0), a);
    EXPECT_EQ(network.FindMaster(kType, 0, 1), b);
}

TEST_F(ServerRules, EditMovesTheMasterAndWritesItsBlock) {
    CServerDev* a = AddMaster(0, 0, 1);
    R rules(controls, Context(a), R::kEdit);
    ASSERT_TRUE(rules.Open());
    controls.SetCurrentIndex(R::kDeviceIndex, 4);
    rules.OnDeviceIndexChanged();
    controls.SetCurrentIndex(R::kChannel, 1);
    rules.OnChannelChanged();
    controls.SetText(R::kExpectedPacketRate, "90");
    ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    EXPECT_EQ(rules.ResultMaster(), a);
    EXPECT_EQ(network.FindMaster(kType, 4, 1), a);
    EXPECT_EQ(network.FindMaster(kType, 0, 0), nullptr);
    EXPECT_EQ(a->Config().Record().ExpectedPacketRate, 90u);
    EXPECT_EQ(a->Config().Record().MacId, 1u);
}

TEST_F(ServerRules, TypeAndBaudPositionsAreRememberedForTheNextDialog) {
    {
        R rules(controls, Context(), R::kNew);
        rules.Open();
        controls.SetCurrentIndex(R::kBaud, 2);
        ASSERT_EQ(rules.Ok(), R::OkResult::kAccepted);
    }
    EXPECT_EQ(rememberedBaud, 2);
    FakeDialogControls next;
    R rules(next, Context(), R::kNew);
    rules.Open();
    EXPECT_EQ(next.GetText(R::kBaud), "500K");
    EXPECT_EQ(rules.NetworkName(), "USB-DN(0-1-500K)-0");
}

TEST(ServerRulesTooltip, BracesAndBoldMarkupBecomeRichText) {
    struct Case {
        const char* markup;
        const char* html;
    };
    const Case cases[] = {
        {"{{主站内扫描延时时间{\\b（默认10ms）}}}", "主站内扫描延时时间<b>（默认10ms）</b>"},
        {"{{自动扫描下固定映射大小{\\b（默认为0=4字节）}}}", "自动扫描下固定映射大小<b>（默认为0=4字节）</b>"},
        {"发送重试次数<范围>", "发送重试次数&lt;范围&gt;"},
        {"{\\b open", "<b>open</b>"},
        {"plain}", "plain"},
    };
    for (const Case& c : cases) EXPECT_EQ(R::TooltipHtml(c.markup), c.html) << c.markup;
    const std::string longText(100, 'x');
    EXPECT_EQ(R::TooltipHtml(longText), std::string(79, 'x'));
}

}  // namespace
