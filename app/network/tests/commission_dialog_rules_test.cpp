// The node commissioning dialog's rules driven through map-backed controls: the fields it opens
// with, the checks of "读取" and "执行", the buttons while a step list runs, and what
// "添加到网络" offers after each kind of end.
#include <gtest/gtest.h>

#include "fake_master_control.h"
#include "network/commission_dialog_rules.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "report_capture.h"
#include "resources/tests/fake_dialog_controls.h"

namespace {

using R = CommissionDialogRules;
constexpr uint32_t kType = 101;
const NodeIdentity kTemperature{1250, 0, 106, 0x0301, 0x4E560063, "ND-TT1 Temperature"};

class CommissionRules : public ::testing::Test {
protected:
    void SetUp() override {
        fake.Reset();
        master = network.GetOrCreateMaster(kType, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(0, 0));  // MAC ID 0, 125K
        auto slave = std::make_unique<CSlaveDev>();
        slave->MutableConfig() = SlaveConfigBlock::Fresh(5);
        master->AddChild(std::move(slave));
        MakeRules();
    }
    void MakeRules() {
        R::Context context;
        context.master = master;
        context.edsFor = [this](const NodeIdentity& id) {
            return id.productCode == 106 && knownEds ? std::optional<std::string>("nd_tt1") : std::nullopt;
        };
        context.message = [this](std::string_view text) { messages.emplace_back(text); };
        rules = std::make_unique<R>(controls, std::move(context));
        rules->Open();
    }
    std::vector<bool> Enabled() const {
        std::vector<bool> enabled;
        for (int id : {R::kCurrentAddress, R::kNewAddress, R::kBaud, R::kRead, R::kRun, R::kAdd, R::kClose})
            enabled.push_back(controls.IsEnabled(id));
        return enabled;
    }
    // Runs 63 -> 12 (with baud-list entry `baudIndex`) to the given end.
    void Commission(const CommissionOutcome& outcome, int baudIndex = 0) {
        controls.SetText(R::kNewAddress, "12");
        controls.SetCurrentIndex(R::kBaud, baudIndex);
        std::optional<CommissionRequest> request = rules->RunRequest();
        ASSERT_TRUE(request);
        rules->Begin(R::Activity::kRunning, *request);
        EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, false, false, false, true})) << "locked";
        EXPECT_FALSE(rules->RunRequest()) << "no second run while one runs";
        rules->AddRow("one");
        rules->AddRow("two");
        EXPECT_EQ(controls.Items(R::kSteps), (std::vector<std::string>{"one", "two"}));
        rules->Finish(outcome);
    }
    static CommissionOutcome Answered() {
        CommissionOutcome outcome;
        outcome.end = CommissionEnd::Done;
        outcome.step = CommissionStep::Done;
        outcome.identity = kTemperature;
        outcome.answeredAtNewAddress = true;
        return outcome;
    }

    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    NetworkRegistry network;
    CServerDev* master = nullptr;
    FakeDialogControls controls;
    std::vector<std::string> messages;
    bool knownEds = true;
    std::unique_ptr<R> rules;
};

TEST_F(CommissionRules, OpensAt63AndMakesRequestsFromTheFieldsOrAMessage) {
    EXPECT_EQ(controls.GetText(R::kCurrentAddress), "63");
    EXPECT_EQ(controls.Items(R::kBaud), (std::vector<std::string>{"不变", "125K", "250K", "500K"}));
    EXPECT_EQ(controls.CurrentIndex(R::kBaud), 0);
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true, true, false, true}));
    const std::string badAddress = "请输入一个介于 0 和 63 之间的地址。";
    struct Case {
        const char* current;
        const char* next;
        int baudIndex;
        std::string message;  // empty: a request 63 -> newMac
        uint32_t newMac;
        std::optional<uint32_t> newBaud;
    } cases[] = {
        {"63", "12", 0, "", 12, std::nullopt},
        {" 63 ", "", 2, "", 63, 1u},
        {"63", "7", 3, "", 7, 2u},
        {"abc", "12", 0, badAddress, 0, {}},
        {"64", "12", 0, badAddress, 0, {}},
        {"63", "-1", 0, badAddress, 0, {}},
        {"63", "12x", 0, badAddress, 0, {}},
        {"63", "", 0, "请输入新地址或选择新的波特率。", 0, {}},
        {"63", "63", 0, "请输入新地址或选择新的波特率。", 0, {}},
        {"63", "0", 0, "无法调试该节点：新地址 0 是主站自己的MAC ID", 0, {}},
        {"0", "12", 0, "无法调试该节点：地址 0 是主站自己的MAC ID", 0, {}},
        {"63", "5", 0, "无法调试该节点：新地址 5 已被配置的从站 ", 0, {}},
    };
    for (const Case& c : cases) {
        messages.clear();
        controls.SetText(R::kCurrentAddress, c.current);
        controls.SetText(R::kNewAddress, c.next);
        controls.SetCurrentIndex(R::kBaud, c.baudIndex);
        std::optional<CommissionRequest> request = rules->RunRequest();
        if (c.message.empty()) {
            ASSERT_TRUE(request) << c.current << " " << c.next;
            EXPECT_TRUE(messages.empty());
            EXPECT_EQ(request->mac, 63u);
            EXPECT_EQ(request->newMac, c.newMac);
            EXPECT_EQ(request->newBaud, c.newBaud);
        } else {
            EXPECT_FALSE(request) << c.current << " " << c.next;
            ASSERT_EQ(messages.size(), 1u) << c.current << " " << c.next;
            EXPECT_EQ(messages[0].substr(0, c.message.size()), c.message);
        }
    }
    // "读取" looks at the current address only.
    messages.clear();
    controls.SetText(R::kCurrentAddress, "0");
    EXPECT_FALSE(rules->ReadRequest());
    ASSERT_EQ(messages.size(), 1u);
    controls.SetText(R::kCurrentAddress, "63");
    controls.SetText(R::kNewAddress, "");
    ASSERT_TRUE(rules->ReadRequest());
    EXPECT_EQ(rules->ReadRequest()->mac, 63u);
}

TEST_F(CommissionRules, WhatAddToNetworkOffersAfterEachEnd) {
    CommissionOutcome failed;
    failed.end = CommissionEnd::Failed;
    failed.message = "setting the MAC ID failed: general status 0x0E (x)";
    failed.identity = kTemperature;
    CommissionOutcome cancelled;
    cancelled.end = CommissionEnd::Cancelled;
    struct Case {
        const char* name;
        CommissionOutcome outcome;
        int baudIndex;
        bool edsKnown;
        std::string status;
        bool add;
    } cases[] = {
        {"answered", Answered(), 0, true, "调试成功", true},
        {"answered at the bus rate", Answered(), 1, true, "调试成功", true},
        {"answered, then moved to 250K", Answered(), 2, true, "调试成功; 设备已改用其他波特率，不能添加到本网络",
         false},
        {"answered, no EDS file", Answered(), 0, false, "调试成功; 没有与设备标识匹配的EDS文件", false},
        {"refused by the device", failed, 0, true, "调试失败：" + failed.message, false},
        {"cancelled", cancelled, 0, true, "已取消", false},
    };
    for (const Case& c : cases) {
        knownEds = c.edsKnown;
        MakeRules();
        Commission(c.outcome, c.baudIndex);
        EXPECT_EQ(controls.GetText(R::kStatus), c.status) << c.name;
        EXPECT_EQ(controls.IsEnabled(R::kAdd), c.add) << c.name;
        EXPECT_EQ(rules->SlaveToAdd().has_value(), c.add) << c.name;
        EXPECT_TRUE(controls.IsEnabled(R::kRun)) << c.name;
        EXPECT_EQ(controls.GetText(R::kCurrentAddress), c.outcome.answeredAtNewAddress ? "12" : "63") << c.name;
        if (c.add) {
            EXPECT_EQ(rules->SlaveToAdd()->macId, 12u) << c.name;
            EXPECT_EQ(rules->SlaveToAdd()->edsName, "nd_tt1") << c.name;
            rules->Added();  // offered once
            EXPECT_FALSE(rules->SlaveToAdd()) << c.name;
            EXPECT_FALSE(controls.IsEnabled(R::kAdd)) << c.name;
            EXPECT_EQ(controls.GetText(R::kStatus), "已添加到网络") << c.name;
        }
        if (c.outcome.identity) {
            EXPECT_EQ(controls.GetText(R::kIdentity),
                      "厂商 1250，设备类型 0，产品代码 106，版本 1.3，序列号 0x4E560063，"
                      "ND-TT1 Temperature\n" +
                          std::string(c.edsKnown ? "EDS文件：nd_tt1" : "没有与设备标识匹配的EDS文件"))
                << c.name;
        }
    }
}

}  // namespace
