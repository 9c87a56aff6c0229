// The explicit message console against adapter-emu, with the window's own message boxes: timed
// sending to a slave made silent never opens a report box inside another one, and the window
// keeps answering while the first box waits for the user.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <vector>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/monitor/varda_pane.h"
#include "ui/widgets/hex_edit.h"

namespace {

using frame_test::Emulator;
using frame_test::TempFolder;

class ConsoleOnDemo : public ::testing::Test {
protected:
    void SetUp() override {
        emulator = std::make_unique<Emulator>(1);
        if (!emulator->Ready()) GTEST_SKIP() << emulator->Problem();
        frame_test::UseFreshProfile(folder);
        frame = std::make_unique<CMainFrame>();  // installs the window's own host
        savedInfobar = GetGlobal().Infobar();
        GetGlobal().Infobar().showMsg = 1;
        ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1))));
        master = GetNetwork().Masters().at(0);
        frame->Tree()->SelectNode(master);
        QSignalSpy started(frame.get(), &CMainFrame::startFinished);
        {
            ui_test::BoxAnswerer ok(QMessageBox::Ok);
            ASSERT_TRUE(frame->RunCommand(32786));
            ASSERT_TRUE(started.count() > 0 || started.wait(30000));
            ASSERT_TRUE(started.front().front().toBool());
        }
    }
    void TearDown() override {
        if (frame && master != nullptr && master->IsRunning() != 0) {
            ui_test::BoxAnswerer ok(QMessageBox::Ok);
            frame->Tree()->SelectNode(master);
            frame->RunCommand(32787);
        }
        GetGlobal().Infobar() = savedInfobar;
        frame.reset();
        GetNetwork().ClearNetwork();
        emulator.reset();
    }

    TempFolder folder;
    std::unique_ptr<Emulator> emulator;
    std::unique_ptr<CMainFrame> frame;
    InfobarSettings savedInfobar;
    CServerDev* master = nullptr;
};

TEST_F(ConsoleOnDemo, TimedSendingToASilentSlaveNeverNestsReportBoxes) {
    CSlaveDev* slave = master->FindSlave(4);
    ASSERT_NE(slave, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([slave] { return slave->IsRunning() != 0; }, 10000));
    CVARDAPane pane(*slave);
    pane.show();
    pane.SetCurrentIndex(CVARDAPane::kServiceList, 10);  // Get_Attribute_Single
    pane.SetText(CVARDAPane::kClassList, "F");
    pane.SetText(CVARDAPane::kInstanceList, "1");
    pane.Editor(CVARDAPane::kServiceData)->setPlainText("01");
    pane.SetText(CVARDAPane::kExplicitTimeout, "100");
    pane.SetText(CVARDAPane::kPeriod, "50");
    pane.SetText(CVARDAPane::kRetryCount, "2");
    ASSERT_EQ(emulator->Control("0 slave 4 stop"), "ok\n");

    // The first report box waits for the user for five seconds. Everything the test does
    // meanwhile runs from timers, as the box's own loop delivers them.
    ui_test::BoxAnswerer watcher(QMessageBox::NoButton);  // counts, answers nothing yet
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> latencies;  // of zero timers posted while the box is open
    QTimer prober;
    QObject::connect(&prober, &QTimer::timeout, [&] {
        if (clock.elapsed() >= 5000) return;
        const qint64 posted = clock.elapsed();
        QTimer::singleShot(0, [&clock, &latencies, posted] { latencies.push_back(clock.elapsed() - posted); });
    });
    prober.start(100);
    int openAtFive = -1;
    int mostOpenAtFive = 0;
    QString firstText;
    QTimer::singleShot(5000, [&] {
        const auto open = ui_test::BoxAnswerer::OpenBoxes();
        openAtFive = static_cast<int>(open.size());
        if (!open.empty()) firstText = open.front()->text();
        mostOpenAtFive = watcher.MostOpen();
        // Now the user answers each report in turn.
        watcher.SetAnswer(QMessageBox::Ok);
    });
    pane.SetTimedSending(true);
    QTRY_VERIFY_WITH_TIMEOUT(openAtFive >= 0 && !pane.TimedSending() && ui_test::BoxAnswerer::OpenBoxes().empty(),
                             30000);
    prober.stop();

    EXPECT_EQ(openAtFive, 1);
    EXPECT_EQ(mostOpenAtFive, 1) << "report boxes are never nested";
    EXPECT_NE(firstText.indexOf(QStringLiteral("VARDA_EMRequest")), -1) << firstText.toStdString();
    EXPECT_GT(latencies.size(), 10u) << "the window answers while the box is open";
    for (qint64 latency : latencies) EXPECT_LT(latency, 1000);
    // The retries report one after another, then timed sending stops.
    EXPECT_EQ(watcher.MostOpen(), 1);
    const auto seen = watcher.Seen();
    ASSERT_EQ(seen.size(), 6u);  // three failed requests, two retry notes, the last report
    EXPECT_NE(seen.back().text.indexOf(QStringLiteral("重试 2 次无效果,退出")), -1) << seen.back().text.toStdString();
    emulator->Control("0 slave 4 resume");
}

}  // namespace
