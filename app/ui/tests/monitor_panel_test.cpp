// The slave data panel: group order, the data panes' layout, formats, typing, timed operation,
// increment mode, the strobe set and the reports, against a scripted master API table.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTest>

#include <cstring>
#include <vector>

#include "network/master_api_table.h"
#include "panes_support.h"
#include "ui/frame/data_view.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/dlg_status.h"
#include "ui/monitor/edit_ex.h"

namespace {

using panes_test::PanesTest;

struct IoCall {
    bool write = false;
    uint32_t mac = 0, type = 0, length = 0, timeout = 0;
    std::vector<uint8_t> data;
};
std::vector<IoCall> g_calls;
uint32_t g_result = 0;
std::vector<uint8_t> g_input;

uint32_t ReadIo(uint32_t, uint32_t mac, uint32_t type, uint8_t* buffer, uint32_t* length, uint32_t timeout) {
    g_calls.push_back({false, mac, type, *length, timeout, {}});
    if (g_result != 0) return g_result;
    std::memcpy(buffer, g_input.data(), std::min<std::size_t>(*length, g_input.size()));
    return 0;
}
uint32_t WriteIo(uint32_t, uint32_t mac, uint32_t type, const uint8_t* data, uint32_t length, uint32_t timeout) {
    g_calls.push_back({true, mac, type, length, timeout, std::vector<uint8_t>(data, data + length)});
    return g_result;
}

VardaFunctions IoTable() {
    VardaFunctions table = netsvc::LinkedMasterApi();
    table.ReadSlaveIO = &ReadIo;
    table.WriteSlaveIO = &WriteIo;
    return table;
}

class MonitorPanel : public PanesTest {
protected:
    void SetUp() override {
        PanesTest::SetUp();
        g_calls.clear();
        g_result = 0;
        g_input.clear();
    }

    // A slave with the given connections and sizes (poll in/out, strobe in/out, COS in/out).
    CSlaveDev* Slave(int mac, std::initializer_list<ConnectionUse::Index> enabled, uint8_t pollIn, uint8_t pollOut,
                     uint8_t strobeIn = 0, uint8_t strobeOut = 0, uint8_t cosIn = 0, uint8_t cosOut = 0) {
        CServerDev* master = GetNetwork().Masters().empty() ? AddMaster(0, 0, 0, 0, panes_test::kFakeType)
                                                            : GetNetwork().Masters().front();
        CSlaveDev* slave = AddSlave(master, static_cast<uint32_t>(mac), pollIn, pollOut);
        SlaveConfigBlock block = slave->Config();
        block.use[ConnectionUse::kPoll] = 0;
        for (ConnectionUse::Index i : enabled) block.use[i] = 1;
        VARDA_SLAVE_CONFIG r = block.record.Record();
        r.StrobeInputSize = strobeIn;
        r.StrobeOutputSize = strobeOut;
        r.CosInputSize = cosIn;
        r.CosOutputSize = cosOut;
        block.record.SetRecord(r);
        slave->ReplaceConfig(block);
        return slave;
    }

    void Show(CSlaveDev* slave) { view.ShowNode(slave); }
    QStringList Titles() const {
        QStringList titles;
        for (QGroupBox* g : view.Groups()) titles << g->title();
        return titles;
    }
    CDlgDataPane* Pane(uint32_t captionId) const {
        for (QGroupBox* g : view.Groups()) {
            if (g->objectName() == QString::number(captionId)) return g->findChild<CDlgDataPane*>();
        }
        return nullptr;
    }
    QStringList BoxTexts(const CDlgDataPane& pane) const {
        QStringList texts;
        for (const CEditEx* box : pane.Boxes()) texts << box->text();
        return texts;
    }
    static QAbstractButton* Button(const CDlgDataPane& pane, int id) { return pane.ControlAs<QAbstractButton>(id); }
    std::vector<std::string> ErrorRows() const {
        std::vector<std::string> rows;
        for (const auto& row : LogRows()) {
            if (row.level == name_share::kLevelError) rows.push_back(row.text);
        }
        return rows;
    }

    VardaFunctions table_ = IoTable();
    netsvc::ScopedMasterApi api_{table_};
    CDataView view;
};

TEST_F(MonitorPanel, GroupsInTableOrderWithoutEmptyBuffers) {
    using U = ConnectionUse;
    CSlaveDev* slave = Slave(7, {U::kPoll, U::kCos}, 4, 2, 0, 0, 1, 0);
    Show(slave);
    EXPECT_EQ(Titles(), (QStringList{QStringLiteral("从站地址: 7"), QStringLiteral("轮询输入数据"),
                                     QStringLiteral("轮询输出数据"), QStringLiteral("状态改变输入数据")}));
    CSlaveDev* both = Slave(12, {U::kCos, U::kCyclic, U::kStrobe}, 0, 0, 2, 8, 3, 3);
    Show(both);
    EXPECT_EQ(Titles(), (QStringList{QStringLiteral("从站地址:12"), QStringLiteral("选通输入数据"),
                                     QStringLiteral("选通输出数据"), QStringLiteral("状态改变输入数据"),
                                     QStringLiteral("状态改变输出数据")}));
    for (QGroupBox* g : view.Groups()) EXPECT_FALSE(g->isCheckable()) << "groups do not fold";
}

TEST_F(MonitorPanel, RebuiltAfterAConfigurationChangeOrWhenForced) {
    using U = ConnectionUse;
    CSlaveDev* slave = Slave(4, {U::kPoll}, 2, 2);
    Show(slave);
    EXPECT_EQ(slave->PanelRebuild(), 0);
    CDlgDataPane* before = Pane(10040);
    ASSERT_NE(before, nullptr);
    view.ShowNode(slave);
    EXPECT_EQ(Pane(10040), before) << "an unchanged slave keeps its panel";

    SlaveConfigBlock block = slave->Config();
    block.use[U::kPoll] = 0;
    slave->ReplaceConfig(block);
    view.ShowNode(slave);
    EXPECT_EQ(Titles(), QStringList{QStringLiteral("从站地址: 4")});
    view.ShowNode(slave, true);
    EXPECT_EQ(view.Groups().size(), 1);
    EXPECT_EQ(slave->PanelRebuild(), 0);
}

TEST_F(MonitorPanel, APanelLivesAsLongAsItsSlaveHiddenWhileAnotherNodeIsShown) {
    using U = ConnectionUse;
    CSlaveDev* first = Slave(4, {U::kPoll}, 2, 2);
    CSlaveDev* second = Slave(5, {U::kPoll}, 1, 1);
    Show(first);
    QPointer<CDlgDataPane> output = Pane(10041);
    ASSERT_NE(output, nullptr);
    output->Boxes()[0]->setText(QStringLiteral("7F"));
    Show(second);
    ASSERT_FALSE(output.isNull()) << "hidden, not destroyed";
    EXPECT_EQ(view.KeptPanelCount(), 2);
    Show(first);
    EXPECT_EQ(Pane(10041), output.data());
    EXPECT_EQ(output->Boxes()[0]->text(), QStringLiteral("7F"));
    // The panel goes with its slave, and every kept panel with the whole network.
    Show(second);
    view.DropPanels(first);
    GetNetwork().DeleteNode(first);
    QTRY_VERIFY(output.isNull());
    EXPECT_EQ(view.KeptPanelCount(), 1);
    view.ShowNode(nullptr, true);
    EXPECT_EQ(view.KeptPanelCount(), 0);
}

TEST_F(MonitorPanel, FiveByteInputPane) {
    CSlaveDev* slave = Slave(3, {ConnectionUse::kPoll}, 5, 0);
    Show(slave);
    CDlgDataPane* pane = Pane(10040);
    ASSERT_NE(pane, nullptr);
    ASSERT_EQ(pane->Boxes().size(), 5);
    const QRect first = pane->Boxes()[0]->geometry();
    const int w = first.width(), h = first.height();
    EXPECT_EQ(first.topLeft(), QPoint(0, 0));
    EXPECT_EQ(pane->Boxes()[3]->geometry().topLeft(), QPoint(3 * (w + 3), 0));
    EXPECT_EQ(pane->Boxes()[4]->geometry().topLeft(), QPoint(0, h + 3));
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(pane->Boxes()[i]->isEnabled());
        EXPECT_EQ(pane->Boxes()[i]->objectName(), QString::number(50000 + i));
        EXPECT_EQ(pane->Boxes()[i]->text(), QStringLiteral("00"));
    }
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdAction)->text(), QStringLiteral("读数据"));
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdAction)->geometry().topLeft(), QPoint(0, 2 * (h + 3)));
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdTimed)->text(), QStringLiteral("定时读取(ms)"));
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdTimed)->geometry().topLeft(), QPoint(0, 3 * (h + 3)));
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdHexadecimal)->text(), QStringLiteral("十六进制"));
    EXPECT_TRUE(Button(*pane, CDlgDataPane::kIdHexadecimal)->isChecked());
    EXPECT_TRUE(Button(*pane, CDlgDataPane::kIdCustom)->isHidden());
    EXPECT_TRUE(Button(*pane, CDlgDataPane::kIdIncrement)->isHidden());
    EXPECT_EQ(pane->GetText(CDlgDataPane::kIdPeriod), "500");
    EXPECT_EQ(pane->size(), QSize(4 * w + 12, (h + 3) * 4));
}

TEST_F(MonitorPanel, ReadShowsTheBytesInEveryFormat) {
    CSlaveDev* slave = Slave(3, {ConnectionUse::kPoll}, 2, 0);
    slave->Start();  // on line
    Show(slave);
    CDlgDataPane* pane = Pane(10040);
    ASSERT_NE(pane, nullptr);
    g_input = {10, 255};
    QTest::mouseClick(Button(*pane, CDlgDataPane::kIdAction), Qt::LeftButton);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_FALSE(g_calls[0].write);
    EXPECT_EQ(g_calls[0].mac, 3u);
    EXPECT_EQ(g_calls[0].type, 1u);
    EXPECT_EQ(g_calls[0].length, 2u);
    EXPECT_EQ(g_calls[0].timeout, 0u);
    EXPECT_EQ(BoxTexts(*pane), (QStringList{QStringLiteral("0A"), QStringLiteral("FF")}));
    Button(*pane, CDlgDataPane::kIdBinary)->click();
    EXPECT_EQ(BoxTexts(*pane), (QStringList{QStringLiteral("00001010"), QStringLiteral("11111111")}));
    Button(*pane, CDlgDataPane::kIdDecimal)->click();
    EXPECT_EQ(BoxTexts(*pane), (QStringList{QStringLiteral("10"), QStringLiteral("255")}));
    EXPECT_EQ(pane->Boxes()[0]->Format(), 1);

    // A failed read is reported once with its code and keeps the boxes.
    g_result = 77;
    QTest::mouseClick(Button(*pane, CDlgDataPane::kIdAction), Qt::LeftButton);
    EXPECT_EQ(BoxTexts(*pane), (QStringList{QStringLiteral("10"), QStringLiteral("255")}));
    const std::vector<std::string> rows = ErrorRows();
    ASSERT_EQ(rows.size(), 1u) << rows[0] << "|" << rows.back();
    EXPECT_NE(rows[0].find("Slave ID=3,Poll IO,VARDA_ReadSlaveIO"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find("77"), std::string::npos) << rows[0];
}

TEST_F(MonitorPanel, TypingAndPastingInAByteBox) {
    CSlaveDev* slave = Slave(3, {ConnectionUse::kPoll}, 0, 1);
    Show(slave);
    CDlgDataPane* pane = Pane(10041);
    ASSERT_NE(pane, nullptr);
    CEditEx* box = pane->Boxes().value(0);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isEnabled());
    box->setText(QStringLiteral("F"));
    box->setCursorPosition(1);
    QTest::keyClick(box, Qt::Key_F);
    EXPECT_EQ(box->text(), QStringLiteral("FF"));
    QTest::keyClick(box, Qt::Key_F);
    EXPECT_EQ(box->text(), QStringLiteral("FF")) << "FFF is 4095";
    box->clear();
    QTest::keyClicks(box, QStringLiteral("g"));
    EXPECT_EQ(box->text(), QString());
    QTest::keyClicks(box, QStringLiteral("a"));
    EXPECT_EQ(box->text(), QStringLiteral("A"));
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QString());

    // Pasted text that is not a byte of the format is refused; the box keeps its value.
    box->setText(QStringLiteral("0A"));
    box->selectAll();
    box->insert(QStringLiteral("hello"));
    EXPECT_EQ(box->text(), QStringLiteral("0A"));
    box->selectAll();
    box->insert(QStringLiteral("1FF"));
    EXPECT_EQ(box->text(), QStringLiteral("0A"));
    box->selectAll();
    box->insert(QStringLiteral("7f"));
    EXPECT_EQ(box->Value(), 0x7F);
}

TEST_F(MonitorPanel, TimedWriteWithIncrementAndThePeriodRule) {
    CSlaveDev* slave = Slave(9, {ConnectionUse::kPoll}, 0, 2);
    slave->Start();
    Show(slave);
    CDlgDataPane* pane = Pane(10041);
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdAction)->text(), QStringLiteral("写数据"));
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdTimed)->text(), QStringLiteral("定时写入(ms)"));
    EXPECT_FALSE(Button(*pane, CDlgDataPane::kIdIncrement)->isEnabled());
    pane->Boxes()[0]->setText(QStringLiteral("FF"));
    pane->Boxes()[1]->setText(QStringLiteral("1"));

    for (const char* period : {"0", "abc"}) {
        pane->SetText(CDlgDataPane::kIdPeriod, period);
        Button(*pane, CDlgDataPane::kIdTimed)->click();
        EXPECT_TRUE(pane->IsTimed());
        EXPECT_EQ(pane->TimerPeriod(), 500) << period;
        EXPECT_EQ(pane->GetText(CDlgDataPane::kIdPeriod), "500");
        EXPECT_FALSE(Button(*pane, CDlgDataPane::kIdAction)->isEnabled());
        EXPECT_FALSE(pane->Control(CDlgDataPane::kIdPeriod)->isEnabled());
        EXPECT_TRUE(Button(*pane, CDlgDataPane::kIdIncrement)->isEnabled());
        Button(*pane, CDlgDataPane::kIdTimed)->click();
        EXPECT_FALSE(pane->IsTimed());
        EXPECT_TRUE(Button(*pane, CDlgDataPane::kIdAction)->isEnabled());
    }

    // Increment mode: FF is written as 00 and then shown as 00.
    pane->SetText(CDlgDataPane::kIdPeriod, "20");
    Button(*pane, CDlgDataPane::kIdTimed)->click();
    Button(*pane, CDlgDataPane::kIdIncrement)->click();
    EXPECT_FALSE(pane->Boxes()[0]->isEnabled());
    pane->RunAction(false);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_TRUE(g_calls.back().write);
    EXPECT_EQ(g_calls.back().type, 1u);
    EXPECT_EQ(g_calls.back().length, 2u);
    EXPECT_EQ(g_calls.back().data, (std::vector<uint8_t>{0x00, 0x02}));
    EXPECT_EQ(BoxTexts(*pane), (QStringList{QStringLiteral("00"), QStringLiteral("02")}));

    // Failures during timed writing: one report per call, and the timer goes on.
    g_calls.clear();
    ClearLogRows();
    g_result = 12;
    QTest::qWait(150);
    EXPECT_TRUE(pane->IsTimed());
    EXPECT_GE(g_calls.size(), 2u);
    EXPECT_EQ(ErrorRows().size(), g_calls.size());
    Button(*pane, CDlgDataPane::kIdTimed)->click();
    EXPECT_TRUE(pane->Boxes()[0]->isEnabled());
    EXPECT_FALSE(Button(*pane, CDlgDataPane::kIdIncrement)->isEnabled());
}

TEST_F(MonitorPanel, StrobeSetAndTheOfflineBox) {
    CSlaveDev* slave = Slave(2, {ConnectionUse::kStrobe}, 0, 0, 1, 8);
    Show(slave);
    CDlgDataPane* pane = Pane(10043);
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->Boxes().isEmpty());
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdNoStrobe)->text(), QStringLiteral("不选通"));
    EXPECT_EQ(Button(*pane, CDlgDataPane::kIdStrobeSet)->text(), QStringLiteral("设定"));
    EXPECT_EQ(pane->size(), QSize(std::max(200, pane->width()), 30));

    // Off line: a box for the click, nothing sent.
    Button(*pane, CDlgDataPane::kIdStrobeSet)->click();
    ASSERT_EQ(boxes_.Seen().size(), 1u) << boxes_.Texts();
    EXPECT_EQ(boxes_.Seen()[0].Text(), "从站未连接");
    EXPECT_TRUE(g_calls.empty());

    slave->Start();
    Button(*pane, CDlgDataPane::kIdStrobe)->click();
    Button(*pane, CDlgDataPane::kIdStrobeSet)->click();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].type, 0u);
    EXPECT_EQ(g_calls[0].length, 8u);
    EXPECT_EQ(g_calls[0].data, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));

    // The strobe input pane reads on a timer; off line its ticks do nothing and show no box.
    slave->Stop();
    CDlgDataPane* input = Pane(10042);
    ASSERT_NE(input, nullptr);
    input->SetText(CDlgDataPane::kIdPeriod, "10");
    Button(*input, CDlgDataPane::kIdTimed)->click();
    QTest::qWait(60);
    EXPECT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(boxes_.Seen().size(), 1u);
    EXPECT_TRUE(input->IsTimed());
}

TEST_F(MonitorPanel, ChangeOfStateOutputBesidePollShowsTheNote) {
    using U = ConnectionUse;
    CSlaveDev* slave = Slave(6, {U::kPoll, U::kCos}, 1, 1, 0, 0, 1, 2);
    slave->Start();
    Show(slave);
    CDlgDataPane* pane = Pane(10045);
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->IsNoteOnly());
    EXPECT_TRUE(pane->Boxes().isEmpty());
    EXPECT_TRUE(Button(*pane, CDlgDataPane::kIdAction)->isHidden());
    EXPECT_EQ(pane->GetText(CDlgDataPane::kIdNote), GetGlobal().LoadText(61514));
    pane->RunAction(false);
    EXPECT_TRUE(g_calls.empty());
    // The change-of-state input pane beside it moves data as usual.
    ASSERT_NE(Pane(10044), nullptr);
    EXPECT_FALSE(Pane(10044)->IsNoteOnly());
}

TEST_F(MonitorPanel, StatusPaneAndScrolling) {
    using U = ConnectionUse;
    CSlaveDev* slave = Slave(5, {U::kPoll, U::kStrobe, U::kCos}, 64, 64, 64, 8, 64, 64);
    view.resize(400, 300);
    view.show();
    Show(slave);
    auto* status = view.Groups().value(0)->findChild<CDlgStatus*>();
    ASSERT_NE(status, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(status->StatusText(), QStringLiteral("主站未启动"), 600);
    QTRY_VERIFY_WITH_TIMEOUT(view.verticalScrollBar()->maximum() > 0, 1000);
}

TEST_F(MonitorPanel, EnglishTexts) {
    const int english = panes_test::EnglishLanguage();
    if (english < 0) GTEST_SKIP() << "no English language file";
    const int chinese = GetGlobal().CurrentLanguage();
    CSlaveDev* slave = Slave(3, {ConnectionUse::kPoll}, 1, 1);
    Show(slave);
    ASSERT_EQ(GetGlobal().SelectLanguage(english), 1);
    view.RetranslateUi();  // a language change rebuilds the panel
    CDlgDataPane* pane = Pane(10041);
    const std::string action = pane != nullptr ? Button(*pane, CDlgDataPane::kIdAction)->text().toStdString() : "";
    const std::string title = Titles().value(1).toStdString();
    ASSERT_EQ(GetGlobal().SelectLanguage(chinese), 1);
    EXPECT_EQ(action, panes_test::EnglishText(10037));
    EXPECT_EQ(title, panes_test::EnglishText(10040));
}

TEST_F(MonitorPanel, TicksDuringAnOpenReportDoNotStackBoxes) {
    CSlaveDev* slave = Slave(3, {ConnectionUse::kPoll}, 1, 0);
    slave->Start();
    Show(slave);
    CDlgDataPane* pane = Pane(10040);
    ASSERT_NE(pane, nullptr);
    // Each report box stays open for a while (its own event loop runs the ticks meanwhile).
    ui_test::BoxAnswerer slow(QMessageBox::Ok, 60);
    g_result = 31;
    pane->SetText(CDlgDataPane::kIdPeriod, "10");
    Button(*pane, CDlgDataPane::kIdTimed)->click();
    QTest::qWait(300);
    Button(*pane, CDlgDataPane::kIdTimed)->click();
    QTRY_VERIFY(ui_test::BoxAnswerer::OpenBoxes().empty());
    EXPECT_EQ(slow.MostOpen(), 1);
    EXPECT_GE(slow.Seen().size(), 2u);
    EXPECT_EQ(slow.Seen().size(), g_calls.size()) << "one box per failed call";
}

}  // namespace
