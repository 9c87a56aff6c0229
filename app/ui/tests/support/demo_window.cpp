#include "support/demo_window.h"

#include <QSignalSpy>

#include "network/network.h"
#include "ui/frame/tree_dev.h"

namespace frame_test {

namespace {
constexpr uint16_t kStart = 32786;
constexpr uint16_t kStop = 32787;
}  // namespace

void DemoWindowTest::SetUp() {
    emulator = std::make_unique<Emulator>(1);
    if (!emulator->Ready()) GTEST_SKIP() << emulator->Problem();
    UseFreshProfile(folder);
    frame = std::make_unique<CMainFrame>();  // installs the window's own host
    ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(WriteDemoNetwork(folder, 1))));
    master = GetNetwork().Masters().at(0);
}

void DemoWindowTest::StartMaster() {
    frame->Tree()->SelectNode(master);
    QSignalSpy finished(frame.get(), &CMainFrame::startFinished);
    ASSERT_TRUE(frame->RunCommand(kStart));
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    ASSERT_TRUE(finished.front().front().toBool()) << boxes.Texts();
}

void DemoWindowTest::TearDown() {
    if (frame && master != nullptr && master->IsRunning() != 0) {
        ui_test::BoxAnswerer ok(QMessageBox::Ok);
        frame->Tree()->SelectNode(master);
        frame->RunCommand(kStop);
    }
    frame.reset();
    GetNetwork().ClearNetwork();
    emulator.reset();
}

}  // namespace frame_test
