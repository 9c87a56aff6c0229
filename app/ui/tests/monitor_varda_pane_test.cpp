// The explicit message console as a window: its lists on opening, a request built from the
// controls, timed sending with retries, I/O read and write, against a scripted master API.
#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include <deque>

#include "network/master_api_table.h"
#include "panes_support.h"
#include "ui/monitor/varda_pane.h"
#include "ui/widgets/hex_edit.h"

namespace {

using panes_test::PanesTest;

struct Script {
    struct Call {
        uint32_t mac, service, classId, instanceId;
        std::vector<uint8_t> data;
    };
    std::vector<Call> calls;
    std::deque<std::pair<uint32_t, std::vector<uint8_t>>> replies;  // (code, bytes); empty: 0x20 fails
    std::vector<uint8_t> written;
    int ioCalls = 0;
    std::vector<uint32_t> statusAsked;
};
Script* g_script = nullptr;

uint32_t ScriptEm(uint32_t, uint32_t mac, uint32_t service, uint32_t cls, uint32_t inst, const uint8_t* data,
                  uint32_t length, uint8_t* reply, uint32_t* replyLength, uint32_t) {
    g_script->calls.push_back({mac, service, cls, inst, std::vector<uint8_t>(data, data + length)});
    if (g_script->replies.empty()) return 0x20;
    auto [code, bytes] = g_script->replies.front();
    g_script->replies.pop_front();
    if (code != 0) return code;
    std::copy(bytes.begin(), bytes.end(), reply);
    *replyLength = static_cast<uint32_t>(bytes.size());
    return 0;
}
uint32_t ScriptRead(uint32_t, uint32_t, uint32_t, uint8_t* buffer, uint32_t* length, uint32_t) {
    ++g_script->ioCalls;
    for (uint32_t i = 0; i < *length; ++i) buffer[i] = static_cast<uint8_t>(i + 1);
    return 0;
}
uint32_t ScriptWrite(uint32_t, uint32_t, uint32_t, const uint8_t* data, uint32_t length, uint32_t) {
    ++g_script->ioCalls;
    g_script->written.assign(data, data + length);
    return 0;
}
uint32_t ScriptStatus(uint32_t, uint32_t mac) {
    g_script->statusAsked.push_back(mac);
    return mac == 5 ? 0 : 3;
}

class ConsolePane : public PanesTest {
protected:
    void SetUp() override {
        PanesTest::SetUp();
        table_ = netsvc::LinkedMasterApi();
        table_.EMRequest = ScriptEm;
        table_.ReadSlaveIO = ScriptRead;
        table_.WriteSlaveIO = ScriptWrite;
        table_.GetSlaveStatus = ScriptStatus;
        api_ = std::make_unique<netsvc::ScopedMasterApi>(table_);
        g_script = &script;
        master = AddMaster(0, 0);
        AddSlave(master, 1);
        target = AddSlave(master, 5, 4, 2);
        AddSlave(master, 10);
        boxes_.Clear();  // the type-101 master's own start-up messages
    }
    void TearDown() override {
        api_.reset();
        g_script = nullptr;
        PanesTest::TearDown();
    }

    Script script;
    CServerDev* master = nullptr;
    CSlaveDev* target = nullptr;

private:
    VardaFunctions table_;
    std::unique_ptr<netsvc::ScopedMasterApi> api_;
};

// Records the console's reports as "code|context".
class Reports : public monitor::IConsoleReports {
public:
    void ReportApiError(int32_t code, std::string_view context) override {
        lines.push_back(std::to_string(code) + "|" + std::string(context));
    }
    void ReportExplicitError(int32_t status, std::string_view context) override {
        lines.push_back("E" + std::to_string(status) + "|" + std::string(context));
    }
    std::vector<std::string> lines;
};

TEST_F(ConsolePane, OpeningListsSlavesAndSelectsTheTarget) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    EXPECT_EQ(pane.Items(CVARDAPane::kSlaveList), (std::vector<std::string>{"1", "5", "10"}));
    EXPECT_EQ(pane.GetText(CVARDAPane::kSlaveList), "5");
    EXPECT_EQ(pane.GetText(CVARDAPane::kServiceList), "Get_Attributes_All");
    EXPECT_EQ(pane.GetText(CVARDAPane::kClassList), "1");
    EXPECT_EQ(pane.GetText(CVARDAPane::kInstanceList), "1");
    EXPECT_EQ(pane.GetText(CVARDAPane::kConnectionType), "1=poll");
    EXPECT_EQ(pane.GetText(CVARDAPane::kPeriod), "500");
    EXPECT_EQ(pane.GetText(CVARDAPane::kStatusText), "从站在线");
    EXPECT_EQ(script.statusAsked, std::vector<uint32_t>{5});
    ASSERT_NE(pane.Editor(CVARDAPane::kServiceData), nullptr);
    ASSERT_NE(pane.Editor(CVARDAPane::kReadData), nullptr);
}

TEST_F(ConsolePane, Class64Instance3GetAttributeSingleSendsOneZeroByte) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    pane.SetCurrentIndex(CVARDAPane::kServiceList, 10);
    pane.SetText(CVARDAPane::kClassList, "64");
    pane.SetText(CVARDAPane::kInstanceList, "3");
    script.replies.push_back({0, {0x94, 0x08, 0x01}});
    ASSERT_TRUE(pane.Send());
    ASSERT_EQ(script.calls.size(), 1u);
    EXPECT_EQ(script.calls[0].service, 0x0Eu);
    EXPECT_EQ(script.calls[0].classId, 0x64u);
    EXPECT_EQ(script.calls[0].instanceId, 3u);
    EXPECT_EQ(script.calls[0].data, std::vector<uint8_t>{0});
    EXPECT_EQ(pane.Editor(CVARDAPane::kReplyData)->toPlainText(), "94 08 01");
    EXPECT_EQ(pane.GetText(CVARDAPane::kReplyLength), "3");
    EXPECT_EQ(pane.GetText(CVARDAPane::kRequestLength), "1");

    script.replies.push_back({0, {0x94, 0x08, 0xFF}});
    EXPECT_FALSE(pane.Send());
    EXPECT_EQ(reports.lines, std::vector<std::string>{"E8|从站不支持的服务"});
}

TEST_F(ConsolePane, BadServiceDataAndEmptyClassAreRefused) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    pane.Editor(CVARDAPane::kServiceData)->setPlainText("01 2");
    EXPECT_FALSE(pane.Send());
    pane.Editor(CVARDAPane::kServiceData)->setPlainText("01 02");
    pane.SetText(CVARDAPane::kClassList, "");
    EXPECT_FALSE(pane.Send());
    EXPECT_TRUE(script.calls.empty());
    ASSERT_EQ(boxes_.Seen().size(), 2u);
    EXPECT_EQ(boxes_.Seen()[0].Text(), "十六进制数字个数不是偶数: 2");
    EXPECT_EQ(boxes_.Seen()[1].Text(), "请设定类ID");
}

TEST_F(ConsolePane, TimedSendingWithTwoRetriesGivesSixReportsAndStops) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    pane.SetText(CVARDAPane::kRetryCount, "2");
    pane.SetText(CVARDAPane::kPeriod, "0");
    pane.SetTimedSending(true);
    ASSERT_TRUE(pane.TimedSending());
    EXPECT_EQ(pane.GetText(CVARDAPane::kPeriod), "500");
    EXPECT_FALSE(pane.IsEnabled(CVARDAPane::kSend));
    EXPECT_FALSE(pane.IsEnabled(CVARDAPane::kRetryCount));
    EXPECT_TRUE(pane.IsChecked(CVARDAPane::kTimedSend));
    QTRY_VERIFY_WITH_TIMEOUT(!pane.TimedSending(), 5000);
    const std::string ctx = "VARDA_EMRequest(服务代码=0x1,类ID=0x1,实例ID=1)--";
    EXPECT_EQ(reports.lines, (std::vector<std::string>{"32|" + ctx, "32|" + ctx + "重试次数 1", "32|" + ctx,
                                                       "32|" + ctx + "重试次数 2", "32|" + ctx,
                                                       "32|" + ctx + "重试 2 次无效果,退出"}));
    EXPECT_FALSE(pane.IsChecked(CVARDAPane::kTimedSend));
    EXPECT_TRUE(pane.IsEnabled(CVARDAPane::kSend));
    EXPECT_TRUE(pane.IsEnabled(CVARDAPane::kRetryCount));
}

TEST_F(ConsolePane, RetryCountOutOfRangeKeepsTheLastAcceptedValue) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    pane.SetText(CVARDAPane::kRetryCount, "0");
    pane.SetTimedSending(true);
    QTRY_VERIFY_WITH_TIMEOUT(!pane.TimedSending(), 5000);
    EXPECT_EQ(reports.lines.size(), 2u);
    EXPECT_EQ(pane.RetryCount(), 0);
    pane.SetText(CVARDAPane::kRetryCount, "101");
    script.replies.push_back({0, {1}});
    pane.Send();
    EXPECT_EQ(pane.RetryCount(), 0);
    EXPECT_EQ(pane.GetText(CVARDAPane::kRetryCount), "0");
    ASSERT_FALSE(boxes_.Seen().empty());
    EXPECT_EQ(boxes_.Seen().back().Text(), "请输入 0 到 100 之间的重试次数");
}

TEST_F(ConsolePane, IoReadAndWrite) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    pane.SetCurrentIndex(CVARDAPane::kConnectionType, 2);  // no change-of-state input
    pane.ReadIo();
    EXPECT_EQ(script.ioCalls, 0);
    ASSERT_EQ(boxes_.Seen().size(), 1u);
    EXPECT_EQ(boxes_.Seen()[0].Text(), "从站没有该类型IO连接");

    pane.SetCurrentIndex(CVARDAPane::kConnectionType, 1);
    pane.ReadIo();
    EXPECT_EQ(pane.Editor(CVARDAPane::kReadData)->toPlainText(), "01 02 03 04");
    EXPECT_EQ(pane.GetText(CVARDAPane::kReadLength), "4");

    pane.WriteIo();
    EXPECT_EQ(script.written, std::vector<uint8_t>{0});
    EXPECT_EQ(pane.GetText(CVARDAPane::kWriteLength), "1");
    EXPECT_EQ(boxes_.Seen().back().Text(), "写入数据正确");
}

TEST_F(ConsolePane, ChoosingAnotherSlaveRefreshesItsStatus) {
    Reports reports;
    CVARDAPane pane(*target, nullptr, &reports);
    auto* combo = pane.ControlAs<QComboBox>(CVARDAPane::kSlaveList);
    ASSERT_NE(combo, nullptr);
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    EXPECT_EQ(pane.TargetAddress(), 10);
    EXPECT_EQ(script.statusAsked.back(), 10u);
    EXPECT_EQ(pane.GetText(CVARDAPane::kStatusText), GetGlobal().GetStatusText(3));
}

TEST(HexEditWidget, PasteTypingAndCopy) {
    HexEdit edit;
    edit.show();
    QTest::keyClicks(&edit, "0a1g");
    std::vector<uint8_t> bytes;
    QString error;
    EXPECT_EQ(edit.toPlainText(), "0A1");
    EXPECT_FALSE(edit.Bytes(bytes, error));
    QTest::keyClicks(&edit, "f ");
    ASSERT_TRUE(edit.Bytes(bytes, error)) << error.toStdString();
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0A, 0x1F}));

    edit.moveCursor(QTextCursor::End);
    EXPECT_TRUE(edit.PasteText("0102ff"));
    ASSERT_TRUE(edit.Bytes(bytes, error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x0A, 0x1F, 0x01, 0x02, 0xFF}));

    QString rejected;
    QObject::connect(&edit, &HexEdit::inputRejected, [&](const QString& r) { rejected = r; });
    EXPECT_FALSE(edit.PasteText("01 zz"));
    EXPECT_EQ(rejected, QStringLiteral("不是十六进制数字: \"z\""));
    ASSERT_TRUE(edit.Bytes(bytes, error));
    EXPECT_EQ(bytes.size(), 5u) << "the refused paste changed nothing";
}

}  // namespace
