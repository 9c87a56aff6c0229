// The search dialog (20028) offscreen against adapter-emu's demo bus: the controls it opens with,
// a search finding the demo slaves with their EDS files, stop, clear, add and the command that
// opens it from the main window.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/command_table.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/network/search_dlg.h"

namespace {

using frame_test::Emulator;
using frame_test::TempFolder;

constexpr int kSearchTimeoutMs = 30000;

// The demo slaves in address order with the EDS files the search must give them.
const std::vector<std::pair<QString, QString>> kDemoSlaves{{"1", "nd_dio_16_8"}, {"2", "nd_ps20"}, {"3", "nd_ai4"},
                                                           {"4", "nd_vf400"},    {"5", "nd_vm8"},  {"6", "nd_tt1"}};

class SearchDialog : public ::testing::Test {
protected:
    // The demo network with `slaves` copies of its first slave (-1: the demo's own slaves).
    void Open(int slaves) {
        emulator = std::make_unique<Emulator>(1);
        if (!emulator->Ready()) GTEST_SKIP() << emulator->Problem();
        frame_test::UseFreshProfile(folder);
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1, slaves))));
        master = GetNetwork().Masters().at(0);
    }
    void TearDown() override {
        frame.reset();
        GetNetwork().ClearNetwork();
        emulator.reset();
    }

    static void Click(CSearchDlg& dialog, int id) {
        auto* button = dialog.ControlAs<QAbstractButton>(id);
        ASSERT_NE(button, nullptr) << id;
        ASSERT_TRUE(button->isEnabled()) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    static bool Enabled(CSearchDlg& dialog, int id) { return dialog.Control(id)->isEnabled(); }
    static std::vector<std::pair<QString, QString>> Rows(CSearchDlg& dialog) {
        std::vector<std::pair<QString, QString>> rows;
        auto* list = dialog.ControlAs<QTreeWidget>(CSearchDlg::kListResults);
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            EXPECT_EQ(item->text(0), QString::number(i));
            rows.emplace_back(item->text(1), item->text(2));
        }
        return rows;
    }
    // Starts a search and waits for its end.
    static void SearchToTheEnd(CSearchDlg& dialog) {
        Click(dialog, CSearchDlg::kButtonStart);
        EXPECT_FALSE(Enabled(dialog, CSearchDlg::kButtonAdd));
        EXPECT_FALSE(Enabled(dialog, CSearchDlg::kButtonClear));
        QTRY_VERIFY_WITH_TIMEOUT(Enabled(dialog, CSearchDlg::kButtonStart), kSearchTimeoutMs);
        EXPECT_FALSE(dialog.Searching());
        EXPECT_FALSE(Enabled(dialog, CSearchDlg::kButtonStop));
    }

    TempFolder folder;
    std::unique_ptr<Emulator> emulator;
    std::unique_ptr<CMainFrame> frame;
    ui_test::BoxAnswerer boxes;
    CServerDev* master = nullptr;
};

TEST_F(SearchDialog, OpensReadyWithItsDefaults) {
    Open(0);
    if (IsSkipped()) return;
    CSearchDlg dialog(master, frame.get());
    ASSERT_TRUE(dialog.HasTemplate());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("搜索从站"));
    EXPECT_EQ(dialog.GetText(CSearchDlg::kStaticStatus), "准备开始搜索");
    EXPECT_EQ(dialog.GetText(CSearchDlg::kEditTimeout), "2000");
    std::vector<std::string> addresses = dialog.Items(CSearchDlg::kComboStartAddress);
    ASSERT_EQ(addresses.size(), 64u);
    EXPECT_EQ(addresses.front(), "0");
    EXPECT_EQ(addresses.back(), "63");
    EXPECT_EQ(dialog.CurrentIndex(CSearchDlg::kComboStartAddress), 0);
    EXPECT_EQ(dialog.Items(CSearchDlg::kComboDefaultEds), GetGlobal().EdsNames());
    EXPECT_EQ(dialog.GetText(CSearchDlg::kComboDefaultEds), "Not Use EDS File");
    auto* list = dialog.ControlAs<QTreeWidget>(CSearchDlg::kListResults);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("序号"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("地址"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("EDS文件"));
    for (int id :
         {CSearchDlg::kButtonStart, CSearchDlg::kButtonClear, CSearchDlg::kButtonAdd, CSearchDlg::kButtonClose})
        EXPECT_TRUE(Enabled(dialog, id)) << id;
    EXPECT_FALSE(Enabled(dialog, CSearchDlg::kButtonStop));
    EXPECT_EQ(dialog.ControlAs<QProgressBar>(CSearchDlg::kProgress)->value(), 0);
}

TEST_F(SearchDialog, ATimeOutOutOfRangeIsRefused) {
    Open(0);
    if (IsSkipped()) return;
    CSearchDlg dialog(master, frame.get());
    dialog.show();
    for (const char* text : {"99", "30001", "", "abc"}) {
        boxes.Clear();
        dialog.SetText(CSearchDlg::kEditTimeout, text);
        Click(dialog, CSearchDlg::kButtonStart);
        ASSERT_EQ(boxes.Seen().size(), 1u) << text;
        EXPECT_EQ(boxes.Seen().front().Text(), "请输入一个介于 100 和 30000 之间的整数。");
        EXPECT_FALSE(dialog.Searching());
        EXPECT_TRUE(Enabled(dialog, CSearchDlg::kButtonStart));
    }
    EXPECT_TRUE(dialog.isVisible()) << "the OK id starts the search, it never closes the dialog";
}

TEST_F(SearchDialog, FindsTheDemoSlavesAndAddsThemAndTheyComeOnLine) {
    Open(0);
    if (IsSkipped()) return;
    CSearchDlg dialog(master, frame.get());
    dialog.show();
    SearchToTheEnd(dialog);
    EXPECT_EQ(dialog.GetText(CSearchDlg::kStaticStatus), "搜索完毕");
    EXPECT_EQ(Rows(dialog), kDemoSlaves);
    auto* progress = dialog.ControlAs<QProgressBar>(CSearchDlg::kProgress);
    EXPECT_EQ(progress->maximum(), 63);
    EXPECT_EQ(progress->value(), 63);
    EXPECT_EQ(master->GetChildCount(), 0) << "nothing is added before the button";
    EXPECT_EQ(master->InitCount(), 0u) << "the search gave the adapter back";
    // A picture of the dialog for a look at it: NORVANE_SEARCH_SCREENSHOT=FILE.png.
    if (const char* shot = std::getenv("NORVANE_SEARCH_SCREENSHOT")) dialog.grab().save(QString::fromLocal8Bit(shot));

    Click(dialog, CSearchDlg::kButtonAdd);
    EXPECT_TRUE(dialog.SlavesAdded());
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(master->GetChildCount(), 6);
    for (int i = 0; i < 6; ++i) {
        std::string name;
        master->GetChild(i)->GetName(name);
        EXPECT_EQ(QString::fromStdString(name), kDemoSlaves[i].second + "(" + kDemoSlaves[i].first + ")");
    }
    ASSERT_EQ(master->Start(), 1);
    for (int i = 0; i < 6; ++i) {
        CSlaveDev* slave = master->GetChild(i);
        QTRY_VERIFY_WITH_TIMEOUT(slave->IsRunning() != 0, 10000);
    }
    master->Stop();
}

TEST_F(SearchDialog, OnlyFreeAddressesFromTheStartAreSearched) {
    Open(-1);  // the demo network has 1 to 5 and 7
    if (IsSkipped()) return;
    CSearchDlg dialog(master, frame.get());
    dialog.show();
    dialog.SetCurrentIndex(CSearchDlg::kComboStartAddress, 3);
    dialog.SetCurrentIndex(CSearchDlg::kComboDefaultEds, 2);
    SearchToTheEnd(dialog);
    EXPECT_EQ(Rows(dialog), (std::vector<std::pair<QString, QString>>{{"6", "nd_tt1"}}));
    EXPECT_EQ(dialog.ControlAs<QProgressBar>(CSearchDlg::kProgress)->maximum(), 57);
}

TEST_F(SearchDialog, ClearThenAddAddsNothing) {
    Open(0);
    if (IsSkipped()) return;
    CSearchDlg dialog(master, frame.get());
    dialog.show();
    SearchToTheEnd(dialog);
    ASSERT_EQ(Rows(dialog).size(), 6u);
    Click(dialog, CSearchDlg::kButtonClear);
    EXPECT_TRUE(Rows(dialog).empty());
    EXPECT_TRUE(dialog.Results().empty());
    Click(dialog, CSearchDlg::kButtonAdd);
    EXPECT_TRUE(dialog.SlavesAdded());
    EXPECT_EQ(master->GetChildCount(), 0);
}

TEST_F(SearchDialog, StopEndsTheSearchAndStartComesBackOnlyWhenTheWorkerHasEnded) {
    Open(0);
    if (IsSkipped()) return;
    CSearchDlg dialog(master, frame.get());
    dialog.show();
    // The first identity request (address 1) is answered only after 1.5 s.
    ASSERT_EQ(emulator->Control("0 delay 1500 for 0x4C"), "ok\n");
    Click(dialog, CSearchDlg::kButtonStart);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.GetText(CSearchDlg::kStaticStatus) == "正在搜索从站(0%)", kSearchTimeoutMs);
    Click(dialog, CSearchDlg::kButtonStop);
    EXPECT_TRUE(dialog.Searching()) << "the worker is still inside its request";
    EXPECT_FALSE(Enabled(dialog, CSearchDlg::kButtonStop));
    EXPECT_FALSE(Enabled(dialog, CSearchDlg::kButtonStart)) << "not before the worker has ended";
    QTRY_VERIFY_WITH_TIMEOUT(Enabled(dialog, CSearchDlg::kButtonStart), kSearchTimeoutMs);
    EXPECT_FALSE(dialog.Searching());
    EXPECT_EQ(dialog.GetText(CSearchDlg::kStaticStatus), "搜索完毕");
    EXPECT_EQ(Rows(dialog), (std::vector<std::pair<QString, QString>>{{"1", "nd_dio_16_8"}}))
        << "the address being probed is finished, no further one is asked";
    EXPECT_EQ(master->InitCount(), 0u) << "the bare entries are removed and the adapter released";
    // A new search can start and runs to its end.
    SearchToTheEnd(dialog);
    EXPECT_EQ(Rows(dialog), kDemoSlaves);
}

TEST_F(SearchDialog, CloseDuringASearchWaitsForTheWorker) {
    Open(0);
    if (IsSkipped()) return;
    auto dialog = std::make_unique<CSearchDlg>(master, frame.get());
    dialog->SetPauseMs(600000);
    dialog->show();
    Click(*dialog, CSearchDlg::kButtonStart);
    Click(*dialog, CSearchDlg::kButtonClose);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kSearchTimeoutMs);
    EXPECT_FALSE(dialog->Searching());
    EXPECT_FALSE(dialog->SlavesAdded());
    dialog.reset();
    EXPECT_EQ(master->InitCount(), 0u);
    EXPECT_EQ(master->GetChildCount(), 0);
}

TEST_F(SearchDialog, TheCommandOpensTheDialogAndTheTreeShowsTheAddedSlaves) {
    Open(0);
    if (IsSkipped()) return;
    frame->Tree()->SelectNode(master);
    frame->UpdateCommands();
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CSearchDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        driven = true;
        SearchToTheEnd(*dialog);
        Click(*dialog, CSearchDlg::kButtonAdd);
    });
    ASSERT_TRUE(frame->RunCommand(32793));
    EXPECT_TRUE(driven) << "the command opened the search dialog";
    ASSERT_EQ(master->GetChildCount(), 6);
    for (int i = 0; i < 6; ++i) EXPECT_NE(frame->Tree()->ItemOf(master->GetChild(i)), nullptr) << i;

    // Not offered for a running master.
    ASSERT_EQ(master->Start(), 1);
    frame->UpdateCommands();
    EXPECT_FALSE(frame->Commands().Action(32793)->isEnabled());
    master->Stop();
}

}  // namespace
