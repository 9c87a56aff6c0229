// The main window against adapter-emu on the demo network: start and stop through the
// commands, the states the tree shows after timer ticks, one refresh timer for several masters,
// and the screenshot of the README.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <set>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "services/timer_periods.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/command_table.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/property_pane.h"
#include "ui/frame/tree_dev.h"
#include "ui/frame/wait_indicator.h"

namespace {

using frame_test::Emulator;
using frame_test::TempFolder;

constexpr int kStartTimeoutMs = 30000;

class FrameEndToEnd : public ::testing::Test {
protected:
    void Open(int adapters) {
        emulator = std::make_unique<Emulator>(adapters);
        if (!emulator->Ready()) GTEST_SKIP() << emulator->Problem();
        frame_test::UseFreshProfile(folder);
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, adapters))));
        ASSERT_TRUE(boxes.Seen().empty()) << boxes.Texts();
    }
    void TearDown() override {
        frame.reset();
        GetNetwork().ClearNetwork();
        emulator.reset();
    }

    // Selects the master and runs "启动" through the command table; true when it runs.
    bool Start(CServerDev* master) {
        frame->Tree()->SelectNode(master);
        QSignalSpy finished(frame.get(), &CMainFrame::startFinished);
        if (!frame->RunCommand(32786)) return false;
        if (!finished.wait(kStartTimeoutMs)) return false;
        return finished.front().front().toBool();
    }
    bool Stop(CServerDev* master) {
        frame->Tree()->SelectNode(master);
        return frame->RunCommand(32787);
    }
    bool Enabled(uint16_t id) const {
        frame->UpdateCommands();
        return frame->Commands().Action(id)->isEnabled();
    }

    TempFolder folder;
    std::unique_ptr<Emulator> emulator;
    std::unique_ptr<CMainFrame> frame;
    ui_test::BoxAnswerer boxes;
};

TEST_F(FrameEndToEnd, StartShowsTheNetworkRunningAndStopClosesTheAdapterOnce) {
    Open(1);
    CServerDev* master = GetNetwork().Masters().at(0);
    CTreeDev* tree = frame->Tree();
    EXPECT_EQ(tree->IconOf(master), CTreeDev::kIconMasterStopped);

    frame->Tree()->SelectNode(master);
    QSignalSpy finished(frame.get(), &CMainFrame::startFinished);
    const int fills = frame->PropertyPane()->FillCount();
    ASSERT_TRUE(frame->RunCommand(32786));
    // The start runs on a worker; the window shows the wait indicator and keeps its loop.
    EXPECT_TRUE(frame->StartInProgress() || !finished.isEmpty());
    if (frame->StartInProgress()) {
        EXPECT_TRUE(frame->WaitIndicator()->isVisible());
        EXPECT_EQ(frame->WaitIndicator()->labelText(), QStringLiteral("正在启动主站并扫描从站，请等待……"));
        EXPECT_FALSE(Enabled(32786)) << "nothing else starts meanwhile";
        EXPECT_FALSE(Enabled(32771));
    }
    ASSERT_TRUE(finished.count() > 0 || finished.wait(kStartTimeoutMs));
    ASSERT_TRUE(finished.front().front().toBool()) << boxes.Texts();
    EXPECT_FALSE(frame->WaitIndicator()->isVisible());
    EXPECT_EQ(tree->IconOf(master), CTreeDev::kIconMasterRunning);
    EXPECT_GT(frame->PropertyPane()->FillCount(), fills) << "the property pane is refilled (forced)";
    EXPECT_TRUE(frame->RefreshTimerActive());
    EXPECT_EQ(frame->RunningMasterCount(), 1);

    // After timer ticks the present slaves are on line and the absent one (MAC 7) off line.
    for (int i = 0; i < master->GetChildCount(); ++i) {
        CSlaveDev* slave = master->GetChild(i);
        const int expected = slave->GetAddress() == 7 ? CTreeDev::kIconSlaveOffline : CTreeDev::kIconSlaveOnline;
        QTRY_COMPARE_WITH_TIMEOUT(tree->IconOf(slave), expected, 10000);
        const QString tip = tree->ItemOf(slave)->toolTip(0);
        EXPECT_FALSE(tip.isEmpty()) << slave->GetAddress();
    }

    // A running master: stop on, start, delete, properties, add and delete slaves off.
    for (uint16_t id : {32786, 32816, 32788, 32791, 32792, 32793, 32862}) EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(32787));
    tree->SelectNode(master->GetChild(0));
    EXPECT_TRUE(Enabled(32821)) << "explicit messages to a slave of a running master";
    EXPECT_FALSE(Enabled(32790));
    EXPECT_TRUE(Enabled(32787));

    ASSERT_TRUE(Stop(master));
    EXPECT_EQ(master->IsRunning(), 0);
    EXPECT_EQ(tree->IconOf(master), CTreeDev::kIconMasterStopped);
    for (int i = 0; i < master->GetChildCount(); ++i) {
        EXPECT_EQ(tree->IconOf(master->GetChild(i)), CTreeDev::kIconSlaveOffline) << i;
    }
    EXPECT_FALSE(frame->RefreshTimerActive());
    EXPECT_EQ(frame->RunningMasterCount(), 0);
    EXPECT_EQ(emulator->CountInLog("cmd Open "), 1) << emulator->Log();
    EXPECT_EQ(emulator->CountInLog("cmd Close "), 0) << "the card stays open while its master exists";
    frame.reset();
    GetNetwork().ClearNetwork();
    EXPECT_EQ(emulator->CountInLog("cmd Close "), 1) << emulator->Log();
}

// Opening a network while a master runs: the new network's second adapter is absent, and its
// box stays open over refresh ticks; the tree must not reach the nodes of the network replaced.
TEST_F(FrameEndToEnd, ABoxWhileANetworkIsReadOverARunningMasterRefreshesNothingGone) {
    Open(1);
    ASSERT_TRUE(Start(GetNetwork().Masters().front()));
    ASSERT_TRUE(frame->RefreshTimerActive());
    TempFolder other;
    const QString twoAdapters = QString::fromStdString(frame_test::WriteDemoNetwork(other, 2));
    int refreshesDuringBox = 0;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != nullptr && frame->RefreshTimerActive()) ++refreshesDuringBox;
    });
    watch.start();
    {
        ui_test::BoxAnswerer slow(QMessageBox::Ok, 3 * timer_periods::kRefreshMs);
        EXPECT_TRUE(frame->OpenNetworkFile(twoAdapters));
        ASSERT_FALSE(slow.Seen().empty()) << "the second adapter cannot be opened";
    }
    EXPECT_EQ(refreshesDuringBox, 0) << "the refresh timer stops before the network is read";
    EXPECT_EQ(frame->Tree()->topLevelItemCount(), 2);
    EXPECT_FALSE(frame->RefreshTimerActive());
}

TEST_F(FrameEndToEnd, TheWindowKeepsRunningWhileAMasterStarts) {
    Open(1);
    CServerDev* master = GetNetwork().Masters().at(0);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    // The adapter holds its next acknowledge (the Init of the start) for 800 ms.
    ASSERT_EQ(emulator->Control("0 delay 800"), "ok\n");
    frame->Tree()->SelectNode(master);
    QSignalSpy finished(frame.get(), &CMainFrame::startFinished);
    int ticksWhileStarting = 0;
    bool paintedWhileStarting = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!frame->StartInProgress()) return;
        ++ticksWhileStarting;
        if (!paintedWhileStarting) paintedWhileStarting = !frame->grab().isNull();
    });
    ticker.start(50);
    ASSERT_TRUE(frame->RunCommand(32786));
    EXPECT_TRUE(frame->StartInProgress());
    EXPECT_TRUE(frame->WaitIndicator()->isVisible());
    ASSERT_TRUE(finished.wait(kStartTimeoutMs));
    EXPECT_TRUE(finished.front().front().toBool());
    EXPECT_GE(ticksWhileStarting, 5) << "the event loop ran while the master started";
    EXPECT_TRUE(paintedWhileStarting);
    EXPECT_FALSE(frame->WaitIndicator()->isVisible());
    QTest::qWait(150);
    EXPECT_FALSE(frame->WaitIndicator()->isVisible()) << "and it stays closed";
    EXPECT_EQ(master->IsRunning(), 1);
}

TEST_F(FrameEndToEnd, StartOnARunningMasterOnlyClearsTheLog) {
    Open(1);
    CServerDev* master = GetNetwork().Masters().at(0);
    ASSERT_TRUE(Start(master));
    frame->LogPane()->AppendRow(name_share::LogRow{2, 2, "12:00:00", "a row", std::nullopt});
    ASSERT_EQ(frame->LogPane()->RowCount(), 1);
    EXPECT_FALSE(Enabled(32786));
    EXPECT_FALSE(frame->RunCommand(32786)) << "the rule does not offer it";
    frame->StartSelectedMaster();
    EXPECT_EQ(frame->LogPane()->RowCount(), 0);
    EXPECT_FALSE(frame->StartInProgress());
    EXPECT_FALSE(frame->WaitIndicator()->isVisible());
    EXPECT_EQ(frame->RunningMasterCount(), 1);
    EXPECT_EQ(frame->RefreshTimerStarts(), 1);
    EXPECT_EQ(emulator->CountInLog("cmd Init "), 1) << emulator->Log();
}

TEST_F(FrameEndToEnd, AMasterThatCannotStartLeavesTheWindowStopped) {
    Open(1);
    // A second network whose card is not there: its start fails and is reported.
    std::string network = frame_test::ReadFile(frame_test::WriteDemoNetwork(folder, 1));
    network.replace(network.find("addr=\"0\""), 8, "addr=\"5\"");
    const std::string path = folder.Path("missing-card.kld");
    std::ofstream(path) << network;
    ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(path)));
    boxes.Clear();
    CServerDev* master = GetNetwork().Masters().at(0);
    EXPECT_FALSE(Start(master));
    EXPECT_FALSE(frame->StartInProgress());
    EXPECT_FALSE(frame->WaitIndicator()->isVisible());
    EXPECT_FALSE(frame->RefreshTimerActive());
    EXPECT_EQ(frame->RunningMasterCount(), 0);
    EXPECT_EQ(frame->Tree()->IconOf(master), CTreeDev::kIconMasterStopped);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_NE(boxes.Seen()[0].Text().find("VARDA_Open(类型=101,地址=5)--"), std::string::npos)
        << boxes.Seen()[0].Text();
    QTRY_COMPARE(frame->LogPane()->RowCount(), 1);  // the error row, after the log was cleared
    EXPECT_TRUE(Enabled(32786)) << "it can be tried again";
}

TEST_F(FrameEndToEnd, OneRefreshTimerForAnyNumberOfMasters) {
    Open(2);
    std::vector<CServerDev*> masters = GetNetwork().Masters();
    ASSERT_EQ(masters.size(), 2u);
    ASSERT_TRUE(Start(masters[0]));
    EXPECT_TRUE(frame->RefreshTimerActive());
    ASSERT_TRUE(Start(masters[1]));
    EXPECT_EQ(frame->RefreshTimerStarts(), 1) << "the second master does not start a second timer";
    EXPECT_EQ(frame->RunningMasterCount(), 2);
    ASSERT_TRUE(Stop(masters[0]));
    EXPECT_TRUE(frame->RefreshTimerActive()) << "one master still runs";
    EXPECT_EQ(frame->RunningMasterCount(), 1);
    ASSERT_TRUE(Stop(masters[1]));
    EXPECT_FALSE(frame->RefreshTimerActive());
    EXPECT_EQ(frame->RunningMasterCount(), 0);
}

TEST_F(FrameEndToEnd, ReadingANetworkFileStopsTheRunningMasters) {
    Open(1);
    ASSERT_TRUE(Start(GetNetwork().Masters().at(0)));
    ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1))));
    EXPECT_EQ(frame->RunningMasterCount(), 0);
    EXPECT_FALSE(frame->RefreshTimerActive());
    EXPECT_EQ(GetNetwork().Masters().at(0)->IsRunning(), 0);
    EXPECT_TRUE(Enabled(32786));
}

// Renders the main window with the demo network running. With NORVANE_UPDATE_SCREENSHOT=1 the
// picture is stored as docs/screenshot-main.png in the source tree (the README shows it).
TEST_F(FrameEndToEnd, ScreenshotOfTheRunningDemoNetwork) {
    Open(1);
    CServerDev* master = GetNetwork().Masters().at(0);
    frame->resize(1280, 800);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    ASSERT_TRUE(Start(master));
    for (int i = 0; i < master->GetChildCount(); ++i) {
        CSlaveDev* slave = master->GetChild(i);
        const int expected = slave->GetAddress() == 7 ? CTreeDev::kIconSlaveOffline : CTreeDev::kIconSlaveOnline;
        QTRY_COMPARE_WITH_TIMEOUT(frame->Tree()->IconOf(slave), expected, 10000);
    }
    frame->Tree()->expandAll();
    frame->Tree()->SelectNode(master);
    QTest::qWait(100);
    const QImage image = frame->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 1000);
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 50u) << "the window is drawn, not blank";
    if (qEnvironmentVariable("NORVANE_UPDATE_SCREENSHOT") == QLatin1String("1")) {
        const QString docs = QString::fromStdString(frame_test::SourceDir() + "/docs");
        QDir().mkpath(docs);
        EXPECT_TRUE(image.save(docs + QStringLiteral("/screenshot-main.png")));
    }
    ASSERT_TRUE(Stop(master));
}

}  // namespace
