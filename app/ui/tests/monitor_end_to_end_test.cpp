// The slave data panel against adapter-emu on the demo network: the counter of slave 1 advances
// between reads, a write to the loopback slave 4 comes back as its input, a slave made silent
// shows its status text, and an adapter unplugged under timed reads gives reports, not a hang.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "support/demo_window.h"
#include "ui/frame/data_view.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/dlg_status.h"
#include "ui/monitor/edit_ex.h"

namespace {

class MonitorEndToEnd : public frame_test::DemoWindowTest {
protected:
    void SetUp() override {
        DemoWindowTest::SetUp();
        if (SetUpStopped()) return;
        StartMaster();
    }

    // Selects the slave once it is on line and returns the pane of group `captionId`.
    CDlgDataPane* PaneOf(int mac, uint32_t captionId) {
        CSlaveDev* slave = master->FindSlave(mac);
        if (slave == nullptr) return nullptr;
        if (!QTest::qWaitFor([slave] { return slave->IsRunning() != 0; }, 10000)) return nullptr;
        frame->Tree()->SelectNode(slave);
        frame->RefreshView(0);
        for (QGroupBox* g : frame->DataView()->Groups()) {
            if (g->objectName() == QString::number(captionId)) return g->findChild<CDlgDataPane*>();
        }
        return nullptr;
    }
    static QString Texts(const CDlgDataPane& pane) {
        QStringList texts;
        for (const CEditEx* box : pane.Boxes()) texts << box->text();
        return texts.join(QLatin1Char(' '));
    }
    static void Click(const CDlgDataPane& pane, int id) { pane.ControlAs<QAbstractButton>(id)->click(); }
};

TEST_F(MonitorEndToEnd, ReadsTheCounterAndWritesTheLoopback) {
    CDlgDataPane* counter = PaneOf(1, 10040);
    ASSERT_NE(counter, nullptr);
    Click(*counter, CDlgDataPane::kIdAction);
    const QString first = Texts(*counter);
    QTest::qWait(200);
    Click(*counter, CDlgDataPane::kIdAction);
    EXPECT_NE(Texts(*counter), first) << "the counter of slave 1 advances";
    EXPECT_TRUE(boxes.Seen().empty()) << boxes.Texts();

    CDlgDataPane* output = PaneOf(4, 10041);
    ASSERT_NE(output, nullptr);
    const QStringList values{QStringLiteral("12"), QStringLiteral("34"), QStringLiteral("AB"), QStringLiteral("CD")};
    for (int i = 0; i < 4; ++i) output->Boxes()[i]->setText(values[i]);
    Click(*output, CDlgDataPane::kIdAction);
    CDlgDataPane* input = PaneOf(4, 10040);
    ASSERT_NE(input, nullptr);
    QElapsedTimer clock;
    clock.start();
    while (Texts(*input) != values.join(QLatin1Char(' ')) && clock.elapsed() < 5000) {
        Click(*input, CDlgDataPane::kIdAction);
        QTest::qWait(50);
    }
    EXPECT_EQ(Texts(*input), values.join(QLatin1Char(' ')));
    EXPECT_TRUE(boxes.Seen().empty()) << boxes.Texts();
}

TEST_F(MonitorEndToEnd, APanelKeepsItsTimedReadFormatAndTypedValuesWhileAnotherSlaveIsShown) {
    QPointer<CDlgDataPane> output = PaneOf(4, 10041);
    ASSERT_NE(output, nullptr);
    const QStringList typed{QStringLiteral("12"), QStringLiteral("34"), QStringLiteral("AB"), QStringLiteral("CD")};
    for (int i = 0; i < 4; ++i) output->Boxes()[i]->setText(typed[i]);
    QPointer<CDlgDataPane> counter = PaneOf(1, 10040);
    ASSERT_NE(counter, nullptr);
    Click(*counter, CDlgDataPane::kIdDecimal);
    counter->SetText(CDlgDataPane::kIdPeriod, "50");
    Click(*counter, CDlgDataPane::kIdTimed);
    ASSERT_TRUE(counter->IsTimed());

    CSlaveDev* other = master->FindSlave(2);
    ASSERT_NE(other, nullptr);
    frame->Tree()->SelectNode(other);
    frame->RefreshView(0);
    ASSERT_EQ(frame->DataView()->ShownNode(), other);
    ASSERT_FALSE(counter.isNull()) << "hidden, not destroyed";
    EXPECT_FALSE(counter->isVisibleTo(frame->DataView()));
    // The hidden pane goes on reading: the counter advances.
    const QString hiddenFirst = Texts(*counter);
    QTRY_VERIFY_WITH_TIMEOUT(Texts(*counter) != hiddenFirst, 3000);
    EXPECT_TRUE(counter->IsTimed());

    EXPECT_EQ(PaneOf(1, 10040), counter.data()) << "the same pane is shown again";
    EXPECT_TRUE(counter->isVisibleTo(frame->DataView()));
    EXPECT_TRUE(counter->IsTimed());
    EXPECT_EQ(counter->DisplayFormat(), 1) << "decimal kept";
    ASSERT_EQ(PaneOf(4, 10041), output.data());
    EXPECT_EQ(Texts(*output), typed.join(QLatin1Char(' ')));
    EXPECT_TRUE(boxes.Seen().empty()) << boxes.Texts();
}

TEST_F(MonitorEndToEnd, ASilentSlaveShowsItsStatus) {
    ASSERT_NE(PaneOf(3, 10044), nullptr);
    auto* status = frame->DataView()->Groups().value(0)->findChild<CDlgStatus*>();
    ASSERT_NE(status, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(status->StatusText(), QStringLiteral("从站在线"), 3000);
    ASSERT_EQ(emulator->Control("0 slave 3 stop"), "ok\n");
    QTRY_COMPARE_WITH_TIMEOUT(status->StatusText(), QStringLiteral(" 设备停止通信 "), 10000);
}

TEST_F(MonitorEndToEnd, AnUnpluggedAdapterUnderTimedReadsGivesReports) {
    CDlgDataPane* pane = PaneOf(1, 10040);
    ASSERT_NE(pane, nullptr);
    auto* status = frame->DataView()->Groups().value(0)->findChild<CDlgStatus*>();
    ASSERT_NE(status, nullptr);
    pane->SetText(CDlgDataPane::kIdPeriod, "50");
    Click(*pane, CDlgDataPane::kIdTimed);
    ASSERT_TRUE(pane->IsTimed());
    QTest::qWait(200);
    ASSERT_EQ(emulator->Control("0 unplug"), "ok\n");
    // The window's loop keeps turning: a zero timer posted now fires within a few ticks.
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer clock;
        clock.start();
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QTRY_VERIFY_WITH_TIMEOUT(fired, 2000);
        EXPECT_LT(clock.elapsed(), 1000);
        QTest::qWait(100);
    }
    EXPECT_TRUE(pane->IsTimed()) << "timed reading goes on";
    // Every message is a report of a failed read; the slave's status tells what happened.
    for (const auto& box : boxes.Seen()) {
        EXPECT_NE(box.Text().find("Slave ID=1,Poll IO,VARDA_ReadSlaveIO"), std::string::npos) << box.Text();
    }
    QTRY_VERIFY_WITH_TIMEOUT(status->StatusText() != QStringLiteral("从站在线") && !status->StatusText().isEmpty(),
                             5000);
    // A read asked for by hand now is answered with a message, not silence.
    Click(*pane, CDlgDataPane::kIdTimed);
    const std::size_t before = boxes.Seen().size();
    Click(*pane, CDlgDataPane::kIdAction);
    ASSERT_EQ(boxes.Seen().size(), before + 1);
    const std::string last = boxes.Seen().back().Text();
    EXPECT_TRUE(last == "从站未连接" || last.find("Slave ID=1,Poll IO,VARDA_ReadSlaveIO") != std::string::npos) << last;
    emulator->Control("0 replug");
}

}  // namespace
