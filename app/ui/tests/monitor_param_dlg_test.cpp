// The parameter editor as a window, without a slave (the add-slave dialog's mode): rows and
// their captions, in-place values, the range message, bit fields, the group filter, default and
// reset, and the transfer buttons that stay off.
#include <QApplication>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <QTest>

#include "panes_support.h"
#include "support/box_answerer.h"
#include "ui/frame/qt_host.h"
#include "monitor/param_value_rules.h"
#include "ui/monitor/bit_check_dlg.h"
#include "ui/monitor/param_dlg.h"

namespace {

using panes_test::PanesTest;

constexpr const char* kEds = R"([File]
        DescText = "Editor test";
        CreateDate = 01-01-2024;
        CreateTime = 12:00:00;
        Revision = 1.0;
[Device]
        VendCode = 1;
        ProdType = 12;
        ProdCode = 1;
        MajRev = 1;
        MinRev = 1;
        ProdName = "Editor test";
[Params]
        Param1 = 0,6,"20 0F 24 01 30 01",0x10,0xC7,2,"Read only","","",0,100,7,0,0,0,0,0,0,0,0,0;
        Param2 = 0,6,"20 0F 24 02 30 01",0x00,0xC7,2,"Voltage","V","Supply voltage",0,255,5,0,0,0,0,0,0,0,0,2;
        Param3 = 0,6,"20 0F 24 03 30 01",0x02,0xC6,1,"Mode","","Switch",0,7,1,0,0,0,0,0,0,0,0,0;
        Param4 = 0,6,"20 0F 24 04 30 01",0x02,0xD1,1,"Flags","","",0,255,5,0,0,0,0,0,0,0,0,0;
        Param5 = 0,6,"20 0F 24 05 30 01",0x00,0xC7,2,"Accel","s","",1,6000,100,1,100,1,0,0,0,0,0,2;
[EnumPar]
        Param3 = "Off","On";
[Groups]
        Group1 = "Supply",2,1,2;
        Group2 = "Pair",2,3,5;
)";

class ParamEditor : public PanesTest {
protected:
    void SetUp() override {
        PanesTest::SetUp();
        ASSERT_EQ(eds.LoadFromMemory(kEds, "editor_test.eds"), 1);
        ASSERT_EQ(eds.Params().Params().size(), 5u);
    }
    CEDSFile eds;
};

TEST_F(ParamEditor, RowsShowAccessNamesAndCaptionsByKind) {
    CParamDlg dlg(eds);
    ASSERT_NE(dlg.Table(), nullptr);
    auto& model = dlg.Model();
    ASSERT_EQ(model.rowCount(), 5);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("序号"));
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("参数值"));
    struct Row {
        const char* access;
        const char* name;
        const char* caption;
    } rows[] = {{"R", "Read only", "7"},
                {"R/W", "Voltage", "5.00 V"},
                {"R/W", "Mode", "On"},
                {"R/W", "Flags", " 0000 0101"},
                {"R/W", "Accel", "1.00 s"}};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(model.item(r, 0)->text(), QString::number(r + 1));
        EXPECT_EQ(model.item(r, 1)->text(), QString::fromUtf8(rows[r].access)) << r;
        EXPECT_EQ(model.item(r, 2)->text(), QString::fromUtf8(rows[r].name)) << r;
        EXPECT_EQ(model.item(r, 3)->text(), QString::fromUtf8(rows[r].caption)) << r;
    }
    EXPECT_FALSE(model.item(0, 3)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(model.item(1, 3)->flags() & Qt::ItemIsEditable);
    dlg.SetRowValue(3, 7);
    EXPECT_EQ(dlg.RowCaption(3), "") << "no choice for 7";
}

TEST_F(ParamEditor, ContextMenuEntriesWithoutSlaveAndForReadOnlyRows) {
    CParamDlg dlg(eds);
    EXPECT_FALSE(dlg.HasSlave());
    struct Case {
        uint16_t command;
        int32_t number;
        bool enabled;
    } cases[] = {{CParamDlg::kRestore, 1, false},     {CParamDlg::kDefault, 1, false},
                 {CParamDlg::kRestore, 2, true},      {CParamDlg::kDefault, 2, true},
                 {CParamDlg::kDownloadOne, 2, false}, {CParamDlg::kUploadOne, 2, false}};
    for (const auto& c : cases)
        EXPECT_EQ(dlg.IsCommandEnabled(c.command, c.number), c.enabled) << c.command << " " << c.number;
    dlg.SetRowValue(2, 100);
    dlg.RunCommand(CParamDlg::kDefault, 2);
    EXPECT_EQ(dlg.RowValue(2), 5.0);
}

TEST_F(ParamEditor, OutOfRangeAndNonNumbersKeepTheValue) {
    CParamDlg dlg(eds);
    EXPECT_FALSE(dlg.EditRow(2, "300"));
    EXPECT_EQ(dlg.RowValue(2), 5.0);
    ASSERT_EQ(boxes_.Seen().size(), 1u);
    EXPECT_EQ(boxes_.Seen()[0].Caption(), "错误");
    EXPECT_EQ(boxes_.Seen()[0].Text(), "请输入 >=0.0000 且 <=255.0000 的数");
    EXPECT_FALSE(dlg.EditRow(2, "abc"));
    EXPECT_EQ(dlg.RowValue(2), 5.0);
    EXPECT_FALSE(dlg.EditRow(1, "3")) << "read only";
    EXPECT_TRUE(dlg.EditRow(2, "12"));
    EXPECT_EQ(dlg.RowCaption(2), "12.00 V");
}

TEST_F(ParamEditor, ScaledValueIsStoredRaw) {
    CParamDlg dlg(eds);
    ASSERT_TRUE(dlg.EditRow(5, "2.5"));
    EXPECT_EQ(dlg.RowValue(5), 250.0);
    EXPECT_EQ(dlg.RowCaption(5), "2.50 s");
    EXPECT_FALSE(dlg.EditRow(5, "61"));
    EXPECT_EQ(boxes_.Seen().back().Text(), "请输入 >=0.0100 且 <=60.0000 的数");
}

TEST_F(ParamEditor, BitCheckPopUpOffersTheCaptionsBitsKeepsTheOthersAndClosesOnAClickOutside) {
    struct Case {
        uint32_t maximum;
        uint32_t value;
        int offered;
    } cases[] = {{1, 0x1, 0}, {2, 0x3, 1}, {3, 0x2, 2}, {0x0F, 0x15, 4}, {255, 5, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maximum);
        CDlgBitCheck popup(QPoint(10, 10));
        popup.Load(c.maximum, c.value);
        const std::string caption = monitor::BitFieldCaption(c.maximum, c.value);
        for (int k = 0; k < 32; ++k) {
            EXPECT_EQ(popup.IsEnabled(CDlgBitCheck::kFirstBox + k), k < c.offered) << k;
            EXPECT_EQ(popup.IsChecked(CDlgBitCheck::kFirstBox + k), ((c.value >> k) & 1U) != 0) << k;
        }
        EXPECT_EQ(static_cast<int>(std::count(caption.begin(), caption.end(), '0') +
                                   std::count(caption.begin(), caption.end(), '1')),
                  c.offered)
            << caption;
        EXPECT_EQ(popup.Result(), c.value) << "untouched, no set bit is lost";
        // Every offered bit can be cleared and set again; the value keeps the bits not offered.
        for (int k = 0; k < c.offered; ++k) popup.SetChecked(CDlgBitCheck::kFirstBox + k, false);
        const uint32_t offeredMask = (uint32_t{1} << c.offered) - 1U;
        EXPECT_EQ(popup.Result(), c.value & ~offeredMask);
        for (int k = 0; k < c.offered; ++k) popup.SetChecked(CDlgBitCheck::kFirstBox + k, true);
        EXPECT_EQ(popup.Result(), c.value | offeredMask);
    }
    // Shown modally, it is a pop-up: a left click outside it closes it with the boxes' value.
    CDlgBitCheck popup(QPoint(10, 10));
    bool wasPopup = false;
    QTimer::singleShot(100, [&wasPopup] {
        QWidget* open = QApplication::activePopupWidget();
        wasPopup = qobject_cast<CDlgBitCheck*>(open) != nullptr;
        if (open == nullptr) open = QApplication::activeModalWidget();
        if (auto* dlg = qobject_cast<CDlgBitCheck*>(open)) {
            dlg->SetChecked(CDlgBitCheck::kFirstBox + 1, true);
            QTest::mouseClick(dlg, Qt::LeftButton, {}, QPoint(-20, -20));
        }
    });
    QTimer guard;  // a pop-up that ignores the click is closed by Escape, so the test ends
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* open = QApplication::activeModalWidget()) QTest::keyClick(open, Qt::Key_Escape);
    });
    guard.start(2000);
    EXPECT_EQ(popup.Run(15, 0x1), 0x3u);
    EXPECT_TRUE(wasPopup);
}

TEST_F(ParamEditor, GroupFilterAndTexts) {
    CParamDlg dlg(eds);
    EXPECT_EQ(dlg.Items(CParamDlg::kGroupList), (std::vector<std::string>{"所有参数", "Supply", "Pair"}));
    dlg.ShowRowTexts(2);
    EXPECT_EQ(dlg.GetText(CParamDlg::kHelpText), "Supply voltage");
    EXPECT_EQ(dlg.GetText(CParamDlg::kDefaultText), "默认值: 5.00 V\n最小值: 0.00 V\n最大值: 255.00 V\n");
    dlg.SetCurrentIndex(CParamDlg::kGroupList, 2);
    QTableView* view = dlg.Table();
    std::vector<bool> hidden;
    for (int r = 0; r < 5; ++r) hidden.push_back(view->isRowHidden(r));
    EXPECT_EQ(hidden, (std::vector<bool>{true, true, false, true, false}));
    EXPECT_EQ(dlg.GetText(CParamDlg::kHelpText), "");
    dlg.SetCurrentIndex(CParamDlg::kGroupList, 0);
    for (int r = 0; r < 5; ++r) EXPECT_FALSE(view->isRowHidden(r)) << r;
}

TEST_F(ParamEditor, SortingByNameKeepsValuesAndTheGroupFilter) {
    CParamDlg dlg(eds);
    dlg.SetCurrentIndex(CParamDlg::kGroupList, 2);
    dlg.SortRows(2, Qt::AscendingOrder);
    auto& model = dlg.Model();
    std::vector<std::string> names;
    std::vector<bool> hidden;
    for (int r = 0; r < model.rowCount(); ++r) {
        names.push_back(model.item(r, 2)->text().toStdString());
        hidden.push_back(dlg.Table()->isRowHidden(r));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Accel", "Flags", "Mode", "Read only", "Voltage"}));
    EXPECT_EQ(hidden, (std::vector<bool>{false, true, false, true, true}));
    EXPECT_EQ(dlg.RowCaption(2), "5.00 V");
    dlg.SortRows(0, Qt::DescendingOrder);
    EXPECT_EQ(model.item(0, 0)->text(), "5");
    EXPECT_EQ(model.item(4, 0)->text(), "1");
}

TEST_F(ParamEditor, DefaultSettingsAndResetAskThroughTheRealBoxAndActOnYesOnly) {
    CQtHost host;
    name_share::IHost* previous = GetGlobal().Host();
    GetGlobal().SetHost(&host);
    struct Case {
        void (CParamDlg::*action)();
        const char* question;
        QMessageBox::StandardButton answer;
        double after;  // row 2 after the answer; the working copy holds the EDS default 5
    } cases[] = {
        {&CParamDlg::DefaultSettings, "是否将全部参数设置到默认值,", QMessageBox::Yes, 5.0},
        {&CParamDlg::DefaultSettings, "是否将全部参数设置到默认值,", QMessageBox::No, 9.0},
        {&CParamDlg::ResetRows, "是否将全部参数恢复到原来状态", QMessageBox::Yes, 5.0},
        {&CParamDlg::ResetRows, "是否将全部参数恢复到原来状态", QMessageBox::No, 9.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.question << " " << c.answer);
        CParamDlg dlg(eds);
        ASSERT_TRUE(dlg.EditRow(2, "9"));
        ui_test::BoxAnswerer answerer(c.answer);
        (dlg.*c.action)();
        EXPECT_EQ(dlg.RowValue(2), c.after);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        const ui_test::SeenBox box = answerer.Seen()[0];
        EXPECT_EQ(box.caption, QStringLiteral("提示"));
        EXPECT_EQ(box.text, QString::fromUtf8(c.question));
        EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.icon, QMessageBox::Question);
    }
    GetGlobal().SetHost(previous);
}

TEST_F(ParamEditor, AFailedAttachShowsItsCodeAndLeavesTheTransferCommandsDisabled) {
    CQtHost host;
    name_share::IHost* previous = GetGlobal().Host();
    GetGlobal().SetHost(&host);
    CServerDev* master = AddMaster(0, 0, 0, 0, panes_test::kFakeType);
    CSlaveDev* slave = AddSlave(master, 5);
    fake_.Fail("VARDA_Init", 45, 0xFFFFFFFF);
    {
        ui_test::BoxAnswerer ok(QMessageBox::Ok);
        CParamDlg dlg(*slave);
        EXPECT_EQ(dlg.AttachResult(), 45u);
        EXPECT_FALSE(dlg.CanTransfer());
        auto editorBox = [&ok] {
            for (const ui_test::SeenBox& box : ok.Seen())
                if (box.text.startsWith(QStringLiteral("主站连接失败,无法上传或下载参数"))) return box;
            return ui_test::SeenBox{};
        };
        QTRY_VERIFY_WITH_TIMEOUT(!editorBox().text.isEmpty(), 2000);
        EXPECT_NE(editorBox().text.indexOf(QStringLiteral("错误号:45(")), -1) << editorBox().text.toStdString();
        EXPECT_EQ(editorBox().icon, QMessageBox::Warning);
        QTest::qWait(3300);
        EXPECT_TRUE(dlg.IsEnabled(CParamDlg::kReset));
        EXPECT_FALSE(dlg.IsEnabled(CParamDlg::kUpload));
        EXPECT_FALSE(dlg.IsEnabled(CParamDlg::kDownload));
        dlg.StartUpload();
        dlg.StartDownload();
        EXPECT_FALSE(dlg.TransferRunning());
    }
    fake_.Reset();
    GetGlobal().SetHost(previous);
}

TEST_F(ParamEditor, WithoutSlaveTheTransferButtonsStayOff) {
    CParamDlg dlg(eds);
    for (int id : {CParamDlg::kUpload, CParamDlg::kDownload, CParamDlg::kReset}) EXPECT_FALSE(dlg.IsEnabled(id));
    QTest::qWait(3300);
    for (int id : {CParamDlg::kUpload, CParamDlg::kDownload, CParamDlg::kReset}) EXPECT_FALSE(dlg.IsEnabled(id)) << id;
    dlg.StartUpload();
    EXPECT_FALSE(dlg.TransferRunning());
}

}  // namespace
