// File, "导出报告…": the report of the window's network written through the real save dialog, as
// HTML or PDF, and an output the report cannot be written to.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <filesystem>

#include "network/network.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/command_table.h"
#include "ui/frame/main_frame.h"

namespace {

using frame_test::TempFolder;

constexpr uint16_t kExportReport = 32860;

class FrameReportExport : public ::testing::Test {
protected:
    void SetUp() override {
        frame_test::UseFreshProfile(folder);
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1))));
        boxes.Clear();
    }
    void TearDown() override {
        frame.reset();
        GetNetwork().ClearNetwork();
    }

    // Triggers the command and answers its save dialog with `path`; the dialog title is kept.
    void ExportTo(const std::string& path) {
        dialogTitle.clear();
        QTimer::singleShot(0, [this, path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialogTitle = dialog->windowTitle();
            dialog->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();  // the dialog's own accept checks the name
        });
        frame->Commands().Action(kExportReport)->trigger();
    }

    TempFolder folder;
    std::unique_ptr<CMainFrame> frame;
    ui_test::BoxAnswerer boxes;
    QString dialogTitle;
};

TEST_F(FrameReportExport, FileMenuWritesTheReportAsHtmlOrPdf) {
    QAction* action = frame->Commands().Action(kExportReport);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("导出报告…"));
    EXPECT_EQ(action->statusTip(), QStringLiteral("将网络报告导出为HTML或PDF文件"));
    QMenu* file = frame->menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->actions().indexOf(action), file->actions().indexOf(frame->Commands().Action(32773)) + 1);

    ExportTo(folder.Path("report.html"));
    EXPECT_EQ(dialogTitle, QStringLiteral("导出报告"));
    const std::string html = frame_test::ReadFile(folder.Path("report.html"));
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    for (const char* text : {"ND-VF400 AC Drive", "Absent device", "<td colspan=\"6\">合计</td>"}) {
        EXPECT_NE(html.find(text), std::string::npos) << text;
    }
    EXPECT_TRUE(boxes.Seen().empty());

    ExportTo(folder.Path("report.pdf"));
    EXPECT_EQ(frame_test::ReadFile(folder.Path("report.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(boxes.Seen().empty());
}

TEST_F(FrameReportExport, AnUnwritableOutputIsReportedAndNothingIsWritten) {
    const std::string path = folder.Path("no/such/folder/report.html");
    ExportTo(path);
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_NE(boxes.Seen()[0].Text().find("报告无法写入：" + path), std::string::npos) << boxes.Seen()[0].Text();
    EXPECT_FALSE(std::filesystem::exists(folder.Path("no")));
}

}  // namespace
