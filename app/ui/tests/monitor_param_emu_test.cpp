// The parameter editor and the explicit message console against adapter-emu's demo drive
// (slave 4): upload all, change a scaled value, download all, read it back through the console,
// a running upload-all that ends when the editor closes, and the compare of uploaded values
// with the network file.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>

#include "network/network.h"
#include "network/slave_eds.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "support/demo_window.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/monitor/param_dlg.h"
#include "ui/monitor/varda_pane.h"
#include "ui/widgets/hex_edit.h"

namespace {

constexpr int kTransferTimeoutMs = 60000;

class ParamEditorOnDemo : public frame_test::DemoWindowTest {
protected:
    void SetUp() override {
        DemoWindowTest::SetUp();
        if (SetUpStopped()) return;
        drive = master->FindSlave(4);
        ASSERT_NE(drive, nullptr);
    }
    CSlaveDev* drive = nullptr;
};

TEST_F(ParamEditorOnDemo, UploadChangeDownloadAndReadBackThroughTheConsole) {
    {
        CParamDlg dlg(*drive);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.IsEnabled(CParamDlg::kUpload), 5000);
        QSignalSpy uploaded(&dlg, &CParamDlg::uploadFinished);
        dlg.StartUpload();
        ASSERT_TRUE(uploaded.wait(kTransferTimeoutMs));
        EXPECT_EQ(dlg.RowValue(1), 100.0);
        EXPECT_EQ(dlg.RowCaption(1), "1.00 s") << "the raw 100 shown with the factor 0.01";
        EXPECT_EQ(dlg.RowValue(9), 400.0);

        // A scaled value typed in the table is downloaded as its raw value.
        ASSERT_TRUE(dlg.EditRow(1, "2.50"));
        QSignalSpy downloaded(&dlg, &CParamDlg::downloadFinished);
        dlg.StartDownload();
        ASSERT_TRUE(downloaded.wait(kTransferTimeoutMs));
        EXPECT_EQ(dlg.WorkingCopy().GetParam(1).defaultValue, 250.0);

        dlg.SetRowValue(1, 1);
        QSignalSpy again(&dlg, &CParamDlg::uploadFinished);
        dlg.StartUpload();
        ASSERT_TRUE(again.wait(kTransferTimeoutMs));
        EXPECT_EQ(dlg.RowValue(1), 250.0);
        EXPECT_EQ(dlg.RowCaption(1), "2.50 s");
        EXPECT_TRUE(boxes.Seen().empty()) << boxes.Texts();
    }
    EXPECT_EQ(master->InitCount(), 0u) << "the editor released the master";

    // Get_Attribute_Single of class 0x0F, instance 1, attribute 1 through the console.
    frame->Tree()->SelectNode(master);
    QSignalSpy started(frame.get(), &CMainFrame::startFinished);
    ASSERT_TRUE(frame->RunCommand(32786));
    ASSERT_TRUE(started.count() > 0 || started.wait(30000));
    ASSERT_TRUE(started.front().front().toBool()) << boxes.Texts();
    CVARDAPane pane(*drive);
    pane.SetCurrentIndex(CVARDAPane::kServiceList, 10);
    pane.SetText(CVARDAPane::kClassList, "F");
    pane.SetText(CVARDAPane::kInstanceList, "1");
    pane.Editor(CVARDAPane::kServiceData)->setPlainText("01");
    bool sent = false;
    for (int attempt = 0; attempt < 20 && !sent; ++attempt) {  // until the drive is on line
        sent = pane.Send();
        if (!sent) QTest::qWait(250);
    }
    ASSERT_TRUE(sent) << boxes.Texts();
    EXPECT_EQ(pane.Editor(CVARDAPane::kReplyData)->toPlainText(), "FA 00");
}

TEST_F(ParamEditorOnDemo, CompareMarksTheParameterChangedOnTheDeviceWithBothValues) {
    CParamDlg dlg(*drive);
    QTRY_VERIFY_WITH_TIMEOUT(dlg.IsEnabled(CParamDlg::kUpload), 5000);
    EXPECT_FALSE(dlg.IsEnabled(CParamDlg::kCompare)) << "nothing uploaded yet";
    EXPECT_EQ(dlg.CompareWithFile(), -1);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(boxes.Seen()[0].Text(), "请先上传参数,再与网络文件比较");
    boxes.Clear();

    QSignalSpy uploaded(&dlg, &CParamDlg::uploadFinished);
    dlg.StartUpload();
    ASSERT_TRUE(uploaded.wait(kTransferTimeoutMs));
    EXPECT_TRUE(dlg.IsEnabled(CParamDlg::kCompare));
    EXPECT_EQ(dlg.CompareWithFile(), 0) << "the demo drive carries its EDS defaults";
    EXPECT_EQ(dlg.GetText(CParamDlg::kHelpText), "设备参数与网络文件一致");

    // Decel Time (parameter 2) becomes 7.25 s on the device, by a download past the editor.
    const DeviceNetEDS::ParamEntry& entry = FileParameters(drive->Eds()).GetParam(2);
    double raw = 725;
    ASSERT_EQ(master->DownloadParameter(4, ParameterRef{entry.linkPathBytes, entry.dataType, entry.dataSize, &raw}),
              0u);
    QSignalSpy again(&dlg, &CParamDlg::uploadFinished);
    dlg.StartUpload();
    ASSERT_TRUE(again.wait(kTransferTimeoutMs));
    EXPECT_EQ(dlg.CompareWithFile(), 1);
    for (const auto& [number, unused] : drive->Eds().description.Params().Params())
        EXPECT_EQ(dlg.RowDiffers(number), number == 2) << "parameter " << number;
    EXPECT_EQ(dlg.RowCaption(2), "7.25 s(网络文件:1.00 s)");
    EXPECT_EQ(dlg.GetText(CParamDlg::kHelpText), "1 个参数与网络文件不同");
    EXPECT_TRUE(dlg.Model().item(dlg.RowOf(2), 0)->data(Qt::BackgroundRole).isValid());

    // A value edited afresh is no longer marked.
    dlg.SetRowValue(2, 100);
    EXPECT_FALSE(dlg.RowDiffers(2));
    EXPECT_EQ(dlg.RowCaption(2), "1.00 s");
    EXPECT_TRUE(boxes.Seen().empty()) << boxes.Texts();
}

TEST_F(ParamEditorOnDemo, ClosingTheEditorStopsARunningUploadAll) {
    ASSERT_EQ(emulator->Control("0 slave 4 delay 400").rfind("error", 0), std::string::npos);
    auto dlg = std::make_unique<CParamDlg>(*drive);
    QTRY_VERIFY_WITH_TIMEOUT(dlg->IsEnabled(CParamDlg::kUpload), 5000);
    dlg->StartUpload();
    ASSERT_TRUE(dlg->TransferRunning());
    QTest::qWait(100);
    const auto before = std::chrono::steady_clock::now();
    dlg.reset();  // stop flags, wait for the worker, detach
    const auto closing = std::chrono::steady_clock::now() - before;
    // Nine parameters at 400 ms each would take 3.6 s; the stop flag ends the loop after the
    // request in flight.
    EXPECT_LT(closing, std::chrono::milliseconds(2500));
    EXPECT_EQ(master->InitCount(), 0u);
}

TEST_F(ParamEditorOnDemo, WhileClosingWaitsForATransferNoNewTransferStarts) {
    ASSERT_EQ(emulator->Control("0 slave 4 delay 300").rfind("error", 0), std::string::npos);
    CParamDlg dlg(*drive);
    QTRY_VERIFY_WITH_TIMEOUT(dlg.IsEnabled(CParamDlg::kUpload), 5000);
    QSignalSpy downloads(&dlg, &CParamDlg::downloadFinished);
    dlg.StartUpload();
    ASSERT_TRUE(dlg.TransferRunning());
    // Pressed once the close has begun: the close waits for the upload without running the
    // window's loop, so these come when it returns, and nothing starts any more.
    bool enabledWhileClosing = true;
    QTimer::singleShot(100, &dlg, [&dlg, &enabledWhileClosing] {
        enabledWhileClosing = dlg.IsEnabled(CParamDlg::kDownload) || dlg.IsEnabled(CParamDlg::kUpload);
        dlg.StartDownload();
        dlg.StartUpload();
    });
    dlg.done(0);
    EXPECT_FALSE(dlg.TransferRunning()) << "the close waited for the upload";
    QTest::qWait(400);
    EXPECT_FALSE(enabledWhileClosing);
    EXPECT_FALSE(dlg.TransferRunning());
    EXPECT_EQ(downloads.count(), 0) << "no download was started";
}

}  // namespace
