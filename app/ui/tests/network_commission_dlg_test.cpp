// The node commissioning dialog (20060) offscreen against adapter-emu's commissioning bus (a new
// device at MAC ID 63): opened by its command on the stopped master, it reads the device, moves
// it to address 12 on a worker with every step listed, and adds it to the network and the tree.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/command_table.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/network/commission_dlg.h"

namespace {

using R = CommissionDialogRules;
constexpr int kStepsTimeoutMs = 30000;
constexpr uint16_t kCommissionCommand = 32862;

void Click(CCommissionDlg& dialog, int id) {
    auto* button = dialog.ControlAs<QAbstractButton>(id);
    ASSERT_NE(button, nullptr) << id;
    ASSERT_TRUE(button->isEnabled()) << id;
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList Steps(CCommissionDlg& dialog) {
    QStringList rows;
    auto* list = dialog.ControlAs<QListWidget>(R::kSteps);
    for (int i = 0; list != nullptr && i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

// The demo network without slaves in the window, its master on adapter-emu's commissioning bus.
class CommissionDialog : public ::testing::Test {
protected:
    void SetUp() override {
        if (!emulator.Ready()) GTEST_SKIP() << emulator.Problem();
        frame_test::UseFreshProfile(folder);
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1, 0))));
        master = GetNetwork().Masters().at(0);
    }
    void TearDown() override {
        frame.reset();
        GetNetwork().ClearNetwork();
    }

    frame_test::Emulator emulator{1, "commission_bus.xml"};
    frame_test::TempFolder folder;
    std::unique_ptr<CMainFrame> frame;
    CServerDev* master = nullptr;
};

TEST_F(CommissionDialog, CommissionsTheNewDeviceTo12AndAddsItToTheTree) {
    frame->Tree()->SelectNode(master);
    frame->UpdateCommands();
    ASSERT_TRUE(frame->Commands().Action(kCommissionCommand)->isEnabled());

    ui_test::BoxAnswerer boxes(QMessageBox::Ok);
    bool driven = false;
    // Drives the open dialog; a failed assertion leaves it, and the dialog is closed after it.
    auto drive = [&](CCommissionDlg* dialog) {
        ASSERT_TRUE(dialog->HasTemplate());
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("节点调试"));
        EXPECT_EQ(dialog->GetText(R::kCurrentAddress), "63");
        EXPECT_FALSE(dialog->IsEnabled(R::kAdd));

        // A new address out of range: the real box, nothing runs.
        dialog->SetText(R::kNewAddress, "64");
        Click(*dialog, R::kRun);
        ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.Seen().size() == 1; }, 5000));
        EXPECT_EQ(boxes.Seen()[0].text, QStringLiteral("请输入一个介于 0 和 63 之间的地址。"));
        EXPECT_FALSE(dialog->Busy());

        Click(*dialog, R::kRead);
        EXPECT_FALSE(dialog->IsEnabled(R::kRun)) << "locked while the worker reads";
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Busy() && dialog->IsEnabled(R::kRun); }, kStepsTimeoutMs));
        EXPECT_EQ(dialog->GetText(R::kStatus), "读取完毕");
        EXPECT_EQ(dialog->GetText(R::kIdentity),
                  "厂商 1250，设备类型 0，产品代码 106，版本 1.3，序列号 0x4E560063，"
                  "ND-TT1 Temperature\nEDS文件：nd_tt1");
        EXPECT_EQ(master->InitCount(), 0u) << "the read gave the adapter back";

        dialog->SetText(R::kNewAddress, "12");
        Click(*dialog, R::kRun);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Busy() && dialog->IsEnabled(R::kRun); }, kStepsTimeoutMs));
        EXPECT_EQ(dialog->GetText(R::kStatus), "调试成功");
        EXPECT_EQ(Steps(*dialog),
                  (QStringList{"把地址 63 调试为地址 12", "主站已上线，地址 63 应答扫描", "新地址 12 上没有设备应答",
                               "地址 63 的设备：厂商 1250，设备类型 0，产品代码 106，版本 1.3，序列号 0x4E560063，"
                               "ND-TT1 Temperature",
                               "MAC ID已设为 12", "设备在地址 12 上应答，序列号 0x4E560063",
                               "完成：地址 63 的设备现在位于地址 12"}));
        auto* progress = dialog->ControlAs<QProgressBar>(R::kProgress);
        EXPECT_EQ(progress->value(), progress->maximum());
        EXPECT_EQ(dialog->GetText(R::kCurrentAddress), "12");
        EXPECT_EQ(master->GetChildCount(), 0) << "the network is not changed before the button";
        Click(*dialog, R::kAdd);
    };
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CCommissionDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        driven = true;
        drive(dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    ASSERT_TRUE(frame->RunCommand(kCommissionCommand));
    EXPECT_TRUE(driven) << "the command opened the commissioning dialog";
    EXPECT_EQ(boxes.Seen().size(), 1u);

    ASSERT_EQ(master->GetChildCount(), 1);
    CSlaveDev* slave = master->GetChild(0);
    std::string name;
    slave->GetName(name);
    EXPECT_EQ(name, "nd_tt1(12)");
    EXPECT_NE(frame->Tree()->ItemOf(slave), nullptr);
    // The device really is at 12: the master scans it there.
    ASSERT_EQ(master->Start(), 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return slave->IsRunning() != 0; }, 10000));
    frame->UpdateCommands();
    EXPECT_FALSE(frame->Commands().Action(kCommissionCommand)->isEnabled()) << "not for a running master";
    master->Stop();
}

TEST_F(CommissionDialog, CloseDuringTheStepsWaitsForTheWorkerAndChangesNothing) {
    ASSERT_EQ(emulator.Control("0 delay 1500 for 0x4C"), "ok\n");  // the first explicit request is slow
    auto dialog = std::make_unique<CCommissionDlg>(master, frame.get());
    dialog->show();
    dialog->SetText(R::kNewAddress, "12");
    Click(*dialog, R::kRun);
    ASSERT_TRUE(dialog->Busy());
    Click(*dialog, R::kClose);
    EXPECT_TRUE(dialog->isVisible()) << "open until the worker has ended";
    EXPECT_FALSE(dialog->IsEnabled(R::kClose));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, kStepsTimeoutMs));
    EXPECT_FALSE(dialog->Busy());
    EXPECT_EQ(Steps(*dialog).back(), "已在此步骤之前取消");
    EXPECT_FALSE(dialog->SlaveAdded());
    dialog.reset();
    EXPECT_EQ(master->InitCount(), 0u) << "the bare entries are removed and the adapter released";
    EXPECT_EQ(master->GetChildCount(), 0);
}

}  // namespace
