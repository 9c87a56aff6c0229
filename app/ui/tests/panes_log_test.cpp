// The information log pane, its saved file, its settings dialog and the Qt host that feeds it.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QSignalSpy>
#include <QTreeView>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <atomic>
#include <thread>
#include <utility>

#include "panes_support.h"
#include "platform/text_encoding.h"
#include "ui/frame/dlg_info_setting.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/qt_host.h"
#include "support/box_answerer.h"
#include "ui/models/info_log_model.h"

namespace {

using panes_test::PanesTest;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

name_share::LogRow Row(int level, std::string time, std::string text) {
    name_share::LogRow row;
    row.level = level;
    row.image = level;
    row.time = std::move(time);
    row.text = std::move(text);
    return row;
}

class LogPane : public PanesTest {
protected:
    void SetUp() override {
        PanesTest::SetUp();
        if (HasFatalFailure()) return;
        folder = std::filesystem::temp_directory_path() / ("norvane-log-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        host.SetLogPane(&pane);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        PanesTest::TearDown();
    }
    std::string Path(const char* name) const { return (folder / name).string(); }

    // Runs `action` while the real message boxes that appear are recorded and answered OK.
    struct Box {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
    };
    std::vector<Box> BoxesDuring(const std::function<void()>& action) {
        ui_test::BoxAnswerer answerer(QMessageBox::Ok);
        action();
        std::vector<Box> seen;
        for (const ui_test::SeenBox& box : answerer.Seen()) seen.push_back({box.caption, box.text, box.icon});
        return seen;
    }

    CInfoLogPane pane;
    CQtHost host;
    std::filesystem::path folder;
};

TEST_F(LogPane, SavedFileHoldsOneItemPerRowWithLineBreaksAsDots) {
    pane.AppendRow(Row(0, "12:00:01", "A"));
    pane.AppendRow(Row(2, "12:00:02", "B\nC"));
    ASSERT_TRUE(pane.SaveTo(QString::fromStdString(Path("log.txt"))));
    EXPECT_EQ(ReadFile(Path("log.txt")),
              "<item time=\"12:00:01\" info=\"A\"/>\n<item time=\"12:00:02\" info=\"B.C\"/>\n");
    EXPECT_EQ(pane.RowCount(), 2) << "saving keeps the rows";
}

TEST_F(LogPane, SavedFileIsGb18030AndEscaped) {
    pane.AppendRow(Row(1, "08:09:10", "主站未启动 <\"&\">"));
    ASSERT_TRUE(pane.SaveTo(QString::fromStdString(Path("log.txt"))));
    const std::string bytes = ReadFile(Path("log.txt"));
    EXPECT_EQ(bytes,
              platform::Utf8ToGb18030("<item time=\"08:09:10\" info=\"主站未启动 &lt;&quot;&amp;&quot;&gt;\"/>\n"));
    EXPECT_FALSE(platform::IsValidUtf8(bytes)) << "Chinese text is not written as UTF-8";
}

TEST_F(LogPane, EmptyListSavesAnEmptyDocumentAndClearingIsHarmless) {
    pane.Clear();
    ASSERT_TRUE(pane.SaveTo(QString::fromStdString(Path("empty.txt"))));
    EXPECT_EQ(ReadFile(Path("empty.txt")), "");
    pane.AppendRow(Row(2, "01:02:03", "x"));
    pane.Clear();
    EXPECT_EQ(pane.RowCount(), 0);
}

TEST_F(LogPane, UnwritableFileChangesNothing) {
    pane.AppendRow(Row(0, "12:00:01", "A"));
    EXPECT_FALSE(pane.SaveTo(QString::fromStdString(Path("missing-folder/log.txt"))));
    EXPECT_FALSE(pane.SaveTo(QString::fromStdString(folder.string())));  // a folder
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(pane.RowCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("missing-folder")));
}

TEST_F(LogPane, SaveCommandAsksForATextFileAndCancellingDoesNothing) {
    pane.AppendRow(Row(2, "12:00:01", "A"));
    QString title;
    QStringList filters;
    QString suffix;
    bool confirmsOverwrite = false;
    QTimer chooser;
    chooser.setInterval(10);
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        confirmsOverwrite =
            !dialog->testOption(QFileDialog::DontConfirmOverwrite) && dialog->acceptMode() == QFileDialog::AcceptSave;
        dialog->reject();
    });
    chooser.start();
    const std::vector<Box> boxes = BoxesDuring([&] { pane.SaveWithDialog(); });
    EXPECT_EQ(title, QStringLiteral("保存信息"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("Text(*.txt)")});
    EXPECT_EQ(suffix, QStringLiteral("txt"));
    EXPECT_TRUE(confirmsOverwrite);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(pane.RowCount(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "nothing written";
}

TEST_F(LogPane, AFileThatCannotBeWrittenIsReportedAndTheRowsStay) {
    GetGlobal().SetHost(&host);
    pane.AppendRow(Row(2, "12:00:01", "A"));
    std::vector<Box> boxes =
        BoxesDuring([&] { EXPECT_TRUE(pane.SaveReporting(QString::fromStdString(Path("ok.txt")))); });
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(ReadFile(Path("ok.txt")), "<item time=\"12:00:01\" info=\"A\"/>\n");

    // Even the superuser cannot create files in /proc.
    boxes = BoxesDuring([&] { EXPECT_FALSE(pane.SaveReporting(QStringLiteral("/proc/norvane-log.txt"))); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("警告"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].text, QStringLiteral("无法写入文件:\n/proc/norvane-log.txt"));
    EXPECT_EQ(pane.RowCount(), 1);
}

TEST_F(LogPane, RowsShowLevelImageTimeTextAndLevelColour) {
    GetGlobal().SetHost(&host);
    GetGlobal().Infobar().logError = 1;
    GetGlobal().Infobar().logWarning = 1;
    GetGlobal().Infobar().logLog = 1;
    GetGlobal().LogMessage(0, "%s", "bad");
    GetGlobal().LogMessage(1, "%s", "odd");
    GetGlobal().LogMessage(2, "%s", "fine");
    ASSERT_EQ(pane.RowCount(), 3);
    const InfoLogModel& model = *pane.Model();
    const QColor colours[] = {QColor(200, 0, 0), QColor(180, 180, 0)};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(model.data(model.index(row, 0), InfoLogModel::kImageIndexRole).toInt(), row);
        EXPECT_FALSE(model.data(model.index(row, 0), Qt::DecorationRole).value<QIcon>().isNull());
        EXPECT_EQ(model.data(model.index(row, 0), Qt::DisplayRole), QVariant());
        EXPECT_EQ(model.data(model.index(row, 1)).toString().size(), 8);  // "%H:%M:%S"
        const QVariant colour = model.data(model.index(row, 2), Qt::ForegroundRole);
        if (row < 2) {
            EXPECT_EQ(colour.value<QBrush>().color(), colours[row]);
        } else {
            EXPECT_FALSE(colour.isValid()) << "log rows keep the list's own colour";
        }
    }
    EXPECT_EQ(model.data(model.index(2, 2)).toString(), QStringLiteral("fine"));
    // A message of several lines is one line of the list; the tool tip and the file keep it whole.
    pane.AppendRow(Row(0, "12:00:00", "VARDA_Init--\n\n错误号:45( 初始化设备失败 )"));
    EXPECT_EQ(model.data(model.index(3, 2)).toString(), QStringLiteral("VARDA_Init-- 错误号:45( 初始化设备失败 )"));
    EXPECT_EQ(model.data(model.index(3, 2), Qt::ToolTipRole).toString(),
              QStringLiteral("VARDA_Init--\n\n错误号:45( 初始化设备失败 )"));
    EXPECT_EQ(pane.List()->objectName(), QStringLiteral("2009"));
    EXPECT_EQ(pane.List()->columnWidth(0), 20);
    EXPECT_EQ(pane.List()->columnWidth(1), 80);
}

TEST_F(LogPane, RowsFromWorkerThreadsArriveThroughTheEventLoop) {
    GetGlobal().SetHost(&host);
    GetGlobal().Infobar().logError = 1;
    std::thread worker([] { GetGlobal().LogMessage(0, "%s", "from a worker"); });
    worker.join();
    EXPECT_EQ(pane.RowCount(), 0) << "not touched from the worker";
    QTRY_COMPARE(pane.RowCount(), 1);
    EXPECT_EQ(pane.Model()->Rows()[0].text, "from a worker");
}

TEST_F(LogPane, BoxesFromWorkerThreadsAreShownByTheWindowWithoutBlockingTheWorker) {
    GetGlobal().SetHost(&host);
    int answer = 0;
    std::thread worker([&answer] { answer = GetGlobal().ShowMessageBox(0, "%s", "from a worker"); });
    worker.join();  // returns without anyone closing a box
    EXPECT_EQ(answer, 1);
    const std::vector<Box> boxes = BoxesDuring([] { QTest::qWait(200); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("from a worker"));
}

TEST_F(LogPane, MessageBoxesCarryTheCaptionAndIconOfTheirLevel) {
    struct Case {
        int level;
        const char* caption;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {0, "错误", QMessageBox::Critical},
        {1, "警告", QMessageBox::Warning},
        {2, "信息", QMessageBox::Information},
        {7, "信息", QMessageBox::Information},
    };
    GetGlobal().SetHost(&host);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        const std::vector<Box> seen =
            BoxesDuring([&] { EXPECT_EQ(GetGlobal().ShowMessageBox(c.level, "%s %d", "text", c.level), 1); });
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(seen[0].text, QStringLiteral("text %1").arg(c.level));
        EXPECT_EQ(seen[0].icon, c.icon);
        name_share::MessageBoxRequest request;
        request.caption = c.caption;
        request.text = "x";
        request.type = c.level == 0   ? name_share::kMbIconStop
                       : c.level == 1 ? name_share::kMbIconExclamation
                                      : name_share::kMbIconInformation;
        auto box = CQtHost::MakeMessageBox(request, nullptr);
        EXPECT_EQ(box->icon(), c.icon);
        EXPECT_EQ(box->windowTitle(), QString::fromUtf8(c.caption));
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
}

TEST_F(LogPane, MessageBoxesOfferTheButtonsOfTheirTypeAndAnswerWithThePressedCode) {
    using Button = QMessageBox::StandardButton;
    struct Case {
        uint32_t type;
        QMessageBox::StandardButtons offered;
        Button press;
        int code;
    };
    const Case cases[] = {
        {name_share::kMbOk, QMessageBox::Ok, QMessageBox::Ok, 1},
        {name_share::kMbOkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, 2},
        {name_share::kMbOkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, 1},
        {name_share::kMbYesNo | name_share::kMbIconQuestion, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, 6},
        {name_share::kMbYesNo | name_share::kMbIconQuestion, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, 7},
        {name_share::kMbYesNoCancel, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel, 2},
        {name_share::kMbRetryCancel | name_share::kMbIconStop, QMessageBox::Retry | QMessageBox::Cancel,
         QMessageBox::Retry, 4},
        {name_share::kMbAbortRetryIgnore, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
         QMessageBox::Ignore, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " press " << c.press);
        ui_test::BoxAnswerer answerer(c.press);
        EXPECT_EQ(host.ShowMessageBox({nullptr, "提示", "question", c.type}), c.code);
        ASSERT_EQ(answerer.Seen().size(), 1u);
        EXPECT_EQ(answerer.Seen()[0].buttons, c.offered);
        EXPECT_EQ(answerer.Seen()[0].text, QStringLiteral("question"));
    }
    // Closed by Escape: Cancel when offered, else No (nothing else answers these boxes).
    ui_test::BoxAnswerer none(QMessageBox::NoButton);
    for (const auto& [type, code] : {std::pair{name_share::kMbYesNoCancel, 2}, std::pair{name_share::kMbYesNo, 7},
                                     std::pair{name_share::kMbOk, 1}}) {
        QTimer::singleShot(50, [] {
            if (QWidget* box = QApplication::activeModalWidget()) QTest::keyClick(box, Qt::Key_Escape);
        });
        EXPECT_EQ(host.ShowMessageBox({nullptr, "提示", "escape", type}), code) << type;
    }
}

TEST_F(LogPane, AQuestionFromAWorkerWaitsForTheAnswerOnTheWindowThread) {
    // The box runs its own loop on this thread: what happens while it is open runs from timers.
    ui_test::BoxAnswerer answerer(QMessageBox::NoButton);
    std::atomic<int> answer{0};
    int answerWhileOpen = -1;
    std::size_t openWhileWaiting = 0;
    QTimer::singleShot(300, [&] {
        answerWhileOpen = answer.load();
        openWhileWaiting = ui_test::BoxAnswerer::OpenBoxes().size();
        answerer.SetAnswer(QMessageBox::No);
    });
    std::thread worker([this, &answer] {
        answer =
            host.ShowMessageBox({nullptr, "提示", "from a worker", name_share::kMbYesNo | name_share::kMbIconQuestion});
    });
    QTRY_COMPARE_WITH_TIMEOUT(answer.load(), 7, 5000);
    worker.join();
    EXPECT_EQ(answerWhileOpen, 0) << "the worker waits while the box is open";
    EXPECT_EQ(openWhileWaiting, 1u);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].text, QStringLiteral("from a worker"));
}

TEST_F(LogPane, SettingsDialogStartsFromTheSwitchesAndWritesThemOnOkOnly) {
    InfobarSettings settings;
    settings.logError = 1;
    settings.logWarning = 1;
    settings.logLog = 0;
    settings.showMsg = 1;
    {
        CDlgInfoSetting dialog(settings);
        ASSERT_TRUE(dialog.HasTemplate());
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("信息栏设置"));
        EXPECT_TRUE(dialog.IsChecked(CDlgInfoSetting::kCheckLogError));
        EXPECT_TRUE(dialog.IsChecked(CDlgInfoSetting::kCheckLogWarning));
        EXPECT_FALSE(dialog.IsChecked(CDlgInfoSetting::kCheckLogLog));
        EXPECT_TRUE(dialog.IsChecked(CDlgInfoSetting::kCheckShowMsg));
        EXPECT_EQ(dialog.GetText(CDlgInfoSetting::kCheckLogWarning), "记录警告信息");
        dialog.ControlAs<QAbstractButton>(CDlgInfoSetting::kCheckLogWarning)->click();
        dialog.ControlAs<QAbstractButton>(CDlgInfoSetting::kCheckLogLog)->click();
        dialog.reject();
    }
    EXPECT_EQ(settings.logWarning, 1) << "Cancel changes nothing";
    EXPECT_EQ(settings.logLog, 0);
    {
        CDlgInfoSetting dialog(settings);
        dialog.ControlAs<QAbstractButton>(CDlgInfoSetting::kCheckLogWarning)->click();
        dialog.ControlAs<QAbstractButton>(CDlgInfoSetting::kCheckShowMsg)->click();
        dialog.accept();
    }
    EXPECT_EQ(settings.logError, 1);
    EXPECT_EQ(settings.logWarning, 0);
    EXPECT_EQ(settings.logLog, 0);
    EXPECT_EQ(settings.showMsg, 0);
}

TEST_F(LogPane, UntickingWarningsStopsNewWarningRowsAndOldOnesStay) {
    GetGlobal().SetHost(&host);
    GetGlobal().Infobar().logWarning = 1;
    GetGlobal().LogMessage(1, "%s", "before");
    ASSERT_EQ(pane.RowCount(), 1);
    {
        CDlgInfoSetting dialog(GetGlobal().Infobar());
        dialog.SetChecked(CDlgInfoSetting::kCheckLogWarning, false);
        dialog.accept();
    }
    GetGlobal().LogMessage(1, "%s", "after");
    EXPECT_EQ(pane.RowCount(), 1);
    EXPECT_EQ(pane.Model()->Rows()[0].text, "before");
}

TEST_F(LogPane, UntickingPopUpsKeepsErrorRowsWithoutMessageBoxes) {
    GetGlobal().SetHost(&host);
    GetGlobal().Infobar().logError = 1;
    GetGlobal().Infobar().showMsg = 1;
    auto boxes = BoxesDuring([] { GetGlobal().ReportApiError(45, "VARDA_Init(类型=101,地址=0,通道索引=0)--"); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(pane.RowCount(), 1);
    {
        CDlgInfoSetting dialog(GetGlobal().Infobar());
        dialog.SetChecked(CDlgInfoSetting::kCheckShowMsg, false);
        dialog.accept();
    }
    boxes = BoxesDuring([] { GetGlobal().ReportApiError(45, "VARDA_Init(类型=101,地址=0,通道索引=0)--"); });
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(pane.RowCount(), 2);
    EXPECT_EQ(pane.Model()->Rows()[1].text, "VARDA_Init(类型=101,地址=0,通道索引=0)--\n\n错误号:45( 初始化设备失败 )");
}

TEST_F(LogPane, ColumnsAreReTitledOnALanguageChange) {
    const QAbstractItemModel& model = *pane.Model();
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("时间"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("信息"));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QString());
    const int english = panes_test::EnglishLanguage();
    ASSERT_GE(english, 0);
    const int chinese = GetGlobal().CurrentLanguage();
    ASSERT_EQ(GetGlobal().SelectLanguage(english), 1);
    pane.RetranslateUi();
    const QString time = model.headerData(1, Qt::Horizontal).toString();
    const QString text = model.headerData(2, Qt::Horizontal).toString();
    ASSERT_EQ(GetGlobal().SelectLanguage(chinese), 1);
    pane.RetranslateUi();
    EXPECT_EQ(time, QString::fromStdString(panes_test::EnglishText(10003)));
    EXPECT_EQ(text, QString::fromStdString(panes_test::EnglishText(10004)));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("时间"));
}

TEST_F(LogPane, RightClickAsksForTheInfoWndMenu) {
    pane.resize(400, 200);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    QSignalSpy spy(&pane, &CInfoLogPane::contextMenuRequested);
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(50, 50),
                            pane.List()->viewport()->mapToGlobal(QPoint(50, 50)));
    QApplication::sendEvent(pane.List()->viewport(), &event);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).toPoint(), pane.List()->viewport()->mapToGlobal(QPoint(50, 50)));
}

}  // namespace
