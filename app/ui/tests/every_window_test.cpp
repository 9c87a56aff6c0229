// Every window and dialog of the program opened as a user opens them (commands on the demo
// network), checked in two ways:
// - in English, no text a person sees or a screen reader reads holds a Chinese character,
//   apart from user data (names of the network, master cards and slaves, file paths) and the
//   languages' own names in the Language menu;
// - per dialog family, the layout holds: no child outside its parent, no caption wider than its
//   control. ctest runs the layout tests a second time with QT_SCALE_FACTOR=2.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "network/network.h"
#include "resources/resource_ids.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/command_table.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/tree_dev.h"
#include "ui/frame/wait_indicator.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/varda_pane.h"
#include "ui/widgets/language_events.h"

namespace {

bool IsCjk(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x3000 && u <= 0x303F) || (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) ||
           (u >= 0xFF00 && u <= 0xFFEF);
}

// One text of a window and where it was found.
struct SeenText {
    QString where;
    QString text;
};

void AddTexts(const QAbstractItemModel* model, const QModelIndex& parent, const QString& where,
              std::vector<SeenText>& out) {
    if (model == nullptr) return;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        for (int column = 0; column < model->columnCount(parent); ++column) {
            const QModelIndex index = model->index(row, column, parent);
            out.push_back({where + QStringLiteral(" cell"), index.data(Qt::DisplayRole).toString()});
            out.push_back({where + QStringLiteral(" cell tip"), index.data(Qt::ToolTipRole).toString()});
            if (column == 0) AddTexts(model, index, where, out);
        }
    }
    if (parent.isValid()) return;
    for (int column = 0; column < model->columnCount(); ++column)
        out.push_back({where + QStringLiteral(" header"), model->headerData(column, Qt::Horizontal).toString()});
}

void AddActionTexts(QAction* action, const QString& where, std::vector<SeenText>& out, int depth = 0) {
    if (action == nullptr || !action->isVisible() || depth > 4) return;
    const QString name = where + QStringLiteral(" action ") + action->objectName();
    out.push_back({name, action->text()});
    out.push_back({name + QStringLiteral(" tip"), action->toolTip()});
    out.push_back({name + QStringLiteral(" status tip"), action->statusTip()});
    if (QMenu* menu = action->menu()) {
        out.push_back({name + QStringLiteral(" menu"), menu->title()});
        for (QAction* item : menu->actions()) AddActionTexts(item, where, out, depth + 1);
    }
}

// Every text of `root` and its visible children that a person sees or a screen reader reads.
std::vector<SeenText> TextsOf(QWidget* root) {
    std::vector<SeenText> out;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (w != root && !w->isVisibleTo(root)) continue;
        if (qobject_cast<QMenu*>(w) != nullptr) continue;  // reached through their actions
        const QString where = QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
        if (w->isWindow() || qobject_cast<QDockWidget*>(w) || qobject_cast<QToolBar*>(w))
            out.push_back({where + QStringLiteral(" title"), w->windowTitle()});
        out.push_back({where + QStringLiteral(" tool tip"), w->toolTip()});
        out.push_back({where + QStringLiteral(" accessible name"), w->accessibleName()});
        out.push_back({where + QStringLiteral(" accessible description"), w->accessibleDescription()});
        if (auto* label = qobject_cast<QLabel*>(w)) out.push_back({where, label->text()});
        if (auto* button = qobject_cast<QAbstractButton*>(w)) out.push_back({where, button->text()});
        if (auto* group = qobject_cast<QGroupBox*>(w)) out.push_back({where, group->title()});
        if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                out.push_back({where + QStringLiteral(" item"), combo->itemText(i)});
        } else if (auto* view = qobject_cast<QAbstractItemView*>(w)) {
            if (qobject_cast<QHeaderView*>(w) == nullptr) AddTexts(view->model(), QModelIndex(), where, out);
        }
        if (auto* bar = qobject_cast<QMenuBar*>(w)) {
            for (QAction* action : bar->actions()) AddActionTexts(action, where, out);
        } else if (auto* tools = qobject_cast<QToolBar*>(w)) {
            for (QAction* action : tools->actions()) AddActionTexts(action, where, out);
        }
        if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w)) {
            out.push_back({where + QStringLiteral(" accessible text"), a->text(QAccessible::Name)});
        }
    }
    return out;
}

// Width a caption needs in `w` (buttons add their indicator or bevel).
int NeededWidth(const QWidget* w, const QString& text) {
    QString shown = text;
    shown.remove(QLatin1Char('&'));
    int width = 0;
    for (const QString& line : shown.split(QLatin1Char('\n')))
        width = std::max(width, w->fontMetrics().horizontalAdvance(line));
    return width;
}

// Layout faults of `root`: children outside their parent, captions wider than their control.
std::vector<std::string> LayoutFaults(QWidget* root) {
    std::vector<std::string> faults;
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(root) || w->isWindow()) continue;
        QWidget* parent = w->parentWidget();
        // Views and scroll areas clip their contents on purpose; Qt's own parts place themselves.
        if (parent == nullptr || parent->inherits("QAbstractScrollArea") ||
            w->objectName().startsWith(QLatin1String("qt_")) || parent->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QString name = QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(' ') + w->objectName();
        if (!parent->rect().contains(w->geometry()))
            faults.push_back((name + QStringLiteral(" lies outside its parent ") + parent->objectName()).toStdString());
        if (auto* label = qobject_cast<QLabel*>(w); label != nullptr && label->textFormat() != Qt::RichText &&
                                                    !label->text().isEmpty() && label->pixmap().isNull()) {
            const QRect room = label->contentsRect();
            const int needed =
                label->wordWrap() ? label->heightForWidth(room.width()) : NeededWidth(label, label->text());
            const int have = label->wordWrap() ? room.height() : room.width();
            if (needed > have + 1)
                faults.push_back((name + QStringLiteral(" \"") + label->text() + QStringLiteral("\" needs ") +
                                  QString::number(needed) + QStringLiteral(" px, has ") + QString::number(have))
                                     .toStdString());
        }
        // A drop-down box shows its longest entry whole.
        if (auto* combo = qobject_cast<QComboBox*>(w); combo != nullptr && combo->count() > 0) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = combo->isEditable();
            const int have = combo->style()
                                 ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                                 .width();
            int needed = 0;
            QString longest;
            for (int i = 0; i < combo->count(); ++i) {
                const int width = combo->fontMetrics().horizontalAdvance(combo->itemText(i));
                if (width > needed) {
                    needed = width;
                    longest = combo->itemText(i);
                }
            }
            if (needed > have + 1)
                faults.push_back((name + QStringLiteral(" entry \"") + longest + QStringLiteral("\" needs ") +
                                  QString::number(needed) + QStringLiteral(" px, has ") + QString::number(have))
                                     .toStdString());
        }
        // The property pane's toolbar shows its commands' captions.
        if (auto* bar = qobject_cast<QToolBar*>(w);
            bar != nullptr && bar->objectName() == QString::number(resource_ids::kPropertyToolBar) &&
            bar->toolButtonStyle() == Qt::ToolButtonIconOnly)
            faults.push_back(
                (name + QStringLiteral(" shows icons only at ") + QString::number(bar->width()) + QStringLiteral(" px"))
                    .toStdString());
        // The network tree shows every name whole.
        if (auto* tree = qobject_cast<CTreeDev*>(w);
            tree != nullptr && tree->topLevelItemCount() > 0 && tree->columnWidth(0) > tree->viewport()->width())
            faults.push_back((name + QStringLiteral(" cuts its names: ") + QString::number(tree->columnWidth(0)) +
                              QStringLiteral(" px in ") + QString::number(tree->viewport()->width()))
                                 .toStdString());
        if (auto* button = qobject_cast<QAbstractButton*>(w);
            button != nullptr && !button->text().isEmpty() && qobject_cast<QToolBar*>(parent) == nullptr) {
            const int needed = NeededWidth(button, button->text());
            const int have =
                button->width() - (button->inherits("QPushButton") ? 4 : button->iconSize().width() / 2 + 14);
            if (needed > have)
                faults.push_back((name + QStringLiteral(" \"") + button->text() + QStringLiteral("\" needs ") +
                                  QString::number(needed) + QStringLiteral(" px, has ") + QString::number(have))
                                     .toStdString());
        }
    }
    return faults;
}

// The demo network on a card index that is not there (5), with its first slave written twice.
std::string WriteBrokenNetwork(const frame_test::TempFolder& folder) {
    std::string network = frame_test::ReadFile(frame_test::WriteDemoNetwork(folder, 1));
    network.replace(network.find("addr=\"0\""), 8, "addr=\"5\"");
    const std::size_t first = network.find("<Slave ");
    const std::size_t end = network.find("</Slave>", first) + 8;
    network.insert(end, network.substr(first, end - first));
    const std::string path = folder.Path("broken.kld");
    std::ofstream(path) << network;
    return path;
}

enum class Family { MainWindow, FrameDialogs, NetworkDialogs, MonitorWindows };

// Opens the windows of the program on the demo network; every window that opens is passed to
// `visit` once, laid out and shown, before it is closed.
class WindowWalk {
public:
    // Opens the demo network, or the network file `network` when one is given.
    explicit WindowWalk(std::function<void(const QString&, QWidget*)> visit, const std::string& network = {})
        : visit_(std::move(visit)) {
        frame_test::UseFreshProfile(folder_);
        frame_ = std::make_unique<CMainFrame>();
        frame_->resize(1280, 800);
        frame_->show();
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
        const std::string path = network.empty() ? frame_test::WriteDemoNetwork(folder_, 1) : network;
        loaded_ = frame_->OpenNetworkFile(QString::fromStdString(path));
    }
    ~WindowWalk() {
        timer_.stop();
        frame_.reset();
        GetNetwork().ClearNetwork();
    }

    bool Loaded() const { return loaded_; }
    // Time the data panel is given before it is visited.
    void SetSettleTime(int ms) { settleMs_ = ms; }
    // Starts the master with the start command; true when it runs.
    bool StartMaster() {
        frame_->Tree()->SelectNode(Master());
        QSignalSpy finished(frame_.get(), &CMainFrame::startFinished);
        if (!frame_->RunCommand(resource_ids::kCommandStart)) return false;
        if (finished.count() == 0 && !finished.wait(30000)) return false;
        return finished.front().front().toBool();
    }
    CMainFrame& Frame() { return *frame_; }
    CServerDev* Master() const {
        auto masters = GetNetwork().Masters();
        return masters.empty() ? nullptr : masters.front();
    }
    CSlaveDev* Slave() const {
        return Master() != nullptr && Master()->GetChildCount() > slaveIndex_ ? Master()->GetChild(slaveIndex_)
                                                                              : nullptr;
    }
    // The slave whose windows are opened: the master's `index`-th (the first by default).
    void UseSlave(int index) { slaveIndex_ = index; }

    void Visit(const QString& what, QWidget* window) {
        QApplication::processEvents();
        visit_(what, window);
    }

    // Runs command `id` with `node` selected; modal windows it opens are visited and closed.
    void Run(uint16_t id, CDeviceBase* node) {
        frame_->Tree()->SelectNode(node);
        frame_->UpdateCommands();
        QAction* action = frame_->Commands().Action(id);
        ASSERT_NE(action, nullptr) << id;
        ASSERT_TRUE(action->isEnabled()) << "command " << id << " is disabled";
        frame_->RunCommand(id);
        QApplication::processEvents();
    }

    void Open(Family family) {
        switch (family) {
            case Family::MainWindow:
                frame_->Tree()->expandAll();
                frame_->Tree()->SelectNode(Master());
                Visit(QStringLiteral("main window, master selected"), frame_.get());
                break;
            case Family::FrameDialogs: {
                Run(resource_ids::kCommandAbout, nullptr);
                for (QDialog* about : frame_->findChildren<QDialog*>(QStringLiteral("100"))) {
                    if (about->isVisible()) Visit(QStringLiteral("about box"), about);
                    about->close();
                }
                Run(resource_ids::kCommandLogSettings, nullptr);
                Run(resource_ids::kCommandImport, nullptr);
                Run(resource_ids::kCommandExport, nullptr);
                CWaitIndicator wait(LoadTextOfWait(), frame_.get());
                wait.Begin();
                Visit(QStringLiteral("wait indicator"), &wait);
                wait.End();
                break;
            }
            case Family::NetworkDialogs:
                Run(resource_ids::kCommandAddNetwork, nullptr);
                Run(resource_ids::kCommandProperties, Master());
                Run(resource_ids::kCommandProperties, Slave());
                Run(resource_ids::kCommandFirstEdsEntry, Master());
                Run(resource_ids::kCommandSearch, Master());
                Run(resource_ids::kCommandCommissionNode, Master());
                break;
            case Family::MonitorWindows: {
                frame_->Tree()->SelectNode(Slave());
                QApplication::processEvents();
                if (settleMs_ > 0) {
                    // A running master: each input pane reads once, as a click on its read
                    // button does, and the panel gets a few refresh periods.
                    for (CDlgDataPane* pane : frame_->findChildren<CDlgDataPane*>()) {
                        auto* read = pane->ControlAs<QAbstractButton>(CDlgDataPane::kIdAction);
                        if (pane->Direction() == 1 && !pane->IsNoteOnly() && read != nullptr) read->click();
                    }
                    QTest::qWait(settleMs_);
                }
                Visit(QStringLiteral("main window with the slave data panel"), frame_.get());
                {
                    CVARDAPane console(*Slave(), frame_.get());
                    console.show();
                    Visit(QStringLiteral("explicit message console"), &console);
                }
                // Last: the parameter editor stops a running master.
                Run(resource_ids::kCommandParameters, Slave());
                break;
            }
        }
    }

private:
    static QString LoadTextOfWait() {
        return QString::fromStdString(GetGlobal().LoadText(resource_ids::kTextStartWait));
    }

    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->property("walked").toBool()) return;
        modal->setProperty("walked", true);
        QPointer<QWidget> guard(modal);
        QTimer::singleShot(0, modal, [this, guard] {
            if (guard == nullptr) return;
            Visit(QString::fromLatin1(guard->metaObject()->className()) + QLatin1Char(' ') + guard->objectName(),
                  guard);
            if (auto* box = qobject_cast<QMessageBox*>(guard.data())) {
                // Pressed as a user presses it: its default button, else its first.
                QAbstractButton* button = box->defaultButton();
                if (button == nullptr && !box->buttons().isEmpty()) button = box->buttons().front();
                if (button != nullptr) button->click();
            } else if (auto* dialog = qobject_cast<QDialog*>(guard.data())) {
                dialog->reject();
            }
        });
    }

    frame_test::TempFolder folder_;
    std::unique_ptr<CMainFrame> frame_;
    std::function<void(const QString&, QWidget*)> visit_;
    QTimer timer_;
    bool loaded_ = false;
    int settleMs_ = 0;
    int slaveIndex_ = 0;
};

// Chooses the language whose language code is `code` ("en", "zh") and tells the windows.
bool UseLanguage(const std::string& code) {
    CGlobal& global = GetGlobal();
    for (size_t i = 0; i < global.Languages().size(); ++i) {
        if (global.SelectLanguage(static_cast<int32_t>(i)) == 0) continue;
        if (global.LoadText(61913) == code) {
            LanguageNotifier::Instance().Notify();
            return true;
        }
    }
    return false;
}

class EveryWindow : public ::testing::TestWithParam<Family> {
protected:
    void TearDown() override { UseLanguage("zh"); }
};

std::string FamilyName(Family family) {
    switch (family) {
        case Family::MainWindow: return "MainWindow";
        case Family::FrameDialogs: return "FrameDialogs";
        case Family::NetworkDialogs: return "NetworkDialogs";
        case Family::MonitorWindows: return "MonitorWindows";
    }
    return "?";
}

// In English no window shows a Chinese character outside user data.
// The window opens in Chinese and is switched to English with a slave's data panel up, so the
// texts and accessible names of windows that live through the switch are checked too.
TEST(EveryWindowInEnglish, ShowsNoChineseOutsideUserData) {
    ASSERT_TRUE(UseLanguage("zh"));
    frame_test::TempFolder files;
    std::set<QString> userData;
    std::vector<std::string> faults;
    int windows = 0;
    bool switched = false;  // windows are checked once the program speaks English
    auto visit = [&](const QString& what, QWidget* window) {
        if (!switched) return;
        ++windows;
        for (const SeenText& seen : TextsOf(window)) {
            QString text = seen.text;
            for (const QString& data : userData) text.remove(data);
            if (std::any_of(text.begin(), text.end(), IsCjk))
                faults.push_back(
                    (what + QStringLiteral(": ") + seen.where + QStringLiteral(": ") + seen.text).toStdString());
        }
    };
    {
        WindowWalk walk(visit);
        ASSERT_TRUE(walk.Loaded());
        // Each language is listed under its own name, so a reader of it finds it.
        for (const name_share::LanguageEntry& language : GetGlobal().Languages())
            userData.insert(QString::fromStdString(language.caption));
        // Master-card names come from the device-type table of the settings.
        for (const DeviceTypeEntry& type : GetGlobal().DeviceTypes())
            userData.insert(QString::fromStdString(type.name));
        for (CServerDev* master : GetNetwork().Masters()) {
            std::string name;
            master->GetName(name);
            userData.insert(QString::fromStdString(name));
            for (int i = 0; i < master->GetChildCount(); ++i) {
                master->GetChild(i)->GetName(name);
                userData.insert(QString::fromStdString(name));
            }
        }
        walk.Frame().Tree()->SelectNode(walk.Slave());
        QApplication::processEvents();
        ASSERT_TRUE(UseLanguage("en"));
        QApplication::processEvents();
        // Log rows written before the switch stay as they were written.
        walk.Frame().RunCommand(resource_ids::kCommandLogClear);
        switched = true;
        ui_test::BoxAnswerer boxes;
        for (Family family : {Family::MainWindow, Family::FrameDialogs, Family::NetworkDialogs, Family::MonitorWindows})
            walk.Open(family);

        // A network whose card is not there and that names a slave address twice: the file
        // problem and the master-API context of the failed start reach the log in English.
        walk.Frame().RunCommand(resource_ids::kCommandLogClear);
        const std::string path = WriteBrokenNetwork(files);
        ASSERT_TRUE(walk.Frame().OpenNetworkFile(QString::fromStdString(path)));
        userData.insert(QString::fromStdString(path));
        auto logText = [&walk] {
            std::vector<SeenText> rows;
            AddTexts(walk.Frame().LogPane()->List()->model(), QModelIndex(), QStringLiteral("log"), rows);
            QString log;
            for (const SeenText& row : rows) log += row.text + QLatin1Char('\n');
            return log;
        };
        walk.Visit(QStringLiteral("main window with a damaged network"), &walk.Frame());
        QString log = logText();
        EXPECT_TRUE(log.contains(QStringLiteral("is used twice, the slave was left out"))) << log.toStdString();
        // The start begins with an empty log.
        walk.Frame().Tree()->SelectNode(walk.Master());
        QSignalSpy finished(&walk.Frame(), &CMainFrame::startFinished);
        ASSERT_TRUE(walk.Frame().RunCommand(resource_ids::kCommandStart));
        ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
        walk.Visit(QStringLiteral("main window after a failed start"), &walk.Frame());
        log = logText();
        EXPECT_TRUE(log.contains(QStringLiteral("VARDA_Open(type=101,index=5)--"))) << log.toStdString();
    }
    UseLanguage("zh");
    EXPECT_GE(windows, 16);
    std::string all;
    for (const std::string& f : faults) all += f + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " Chinese texts in English:\n" << all;
}

// The windows of a family fit their texts (run again at QT_SCALE_FACTOR=2 by ctest), in both
// languages.
TEST_P(EveryWindow, LayoutHoldsInBothLanguages) {
    for (const char* code : {"zh", "en"}) {
        ASSERT_TRUE(UseLanguage(code));
        std::vector<std::string> faults;
        int windows = 0;
        auto visit = [&](const QString& what, QWidget* window) {
            ++windows;
            for (const std::string& f : LayoutFaults(window))
                faults.push_back(std::string(code) + " " + what.toStdString() + ": " + f);
        };
        {
            WindowWalk walk(visit);
            ASSERT_TRUE(walk.Loaded());
            walk.Open(GetParam());
        }
        EXPECT_GE(windows, 1);
        std::string all;
        for (const std::string& f : faults) all += f + "\n";
        EXPECT_TRUE(faults.empty()) << faults.size() << " layout faults:\n" << all;
    }
}

// Pictures of the main window, the slave data panel, the parameter editor and the explicit
// message console in both languages, written to $NORVANE_SCREENSHOT_DIR (scripts/screenshots.sh
// runs this for docs/screenshots/); skipped without it.
TEST(EveryWindowScreenshots, MainWindowDataPanelEditorAndConsole) {
    const QString folder = qEnvironmentVariable("NORVANE_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "NORVANE_SCREENSHOT_DIR is not set";
    // The demo network as it is shipped (EDS files beside it) on the emulated demo bus, started,
    // so the pictures show live data and no path of the build.
    frame_test::Emulator emulator(1);
    ASSERT_TRUE(emulator.Ready()) << emulator.Problem();
    frame_test::TempFolder demo;
    std::filesystem::copy(frame_test::SourceDir() + "/resources/demo", demo.Path("demo"),
                          std::filesystem::copy_options::recursive);
    int written = 0;
    std::set<QString> wanted;  // the pictures the current step takes
    for (const char* code : {"zh", "en"}) {
        ASSERT_TRUE(UseLanguage(code));
        auto visit = [&](const QString& what, QWidget* window) {
            QString name;
            if (what.startsWith(QLatin1String("main window, master"))) name = QStringLiteral("main-window");
            else if (what.startsWith(QLatin1String("main window with the slave"))) name = QStringLiteral("data-panel");
            else if (what.startsWith(QLatin1String("CParamDlg"))) name = QStringLiteral("parameter-editor");
            else if (what.startsWith(QLatin1String("explicit message console"))) name = QStringLiteral("console");
            if (wanted.count(name) == 0) return;
            const QString file =
                folder + QLatin1Char('/') + name + QLatin1Char('-') + QLatin1String(code) + QStringLiteral(".png");
            if (window->grab().save(file)) ++written;
        };
        WindowWalk walk(visit, demo.Path("demo/demo.kld"));
        ASSERT_TRUE(walk.Loaded());
        ui_test::BoxAnswerer boxes;
        ASSERT_TRUE(walk.StartMaster()) << boxes.Texts();
        walk.Frame().RunCommand(resource_ids::kCommandLogClear);  // the start's own rows
        walk.SetSettleTime(1500);
        QTest::qWait(1500);  // the slaves come on line
        // The I/O block's data (its inputs change), then the drive's console and parameters
        // (the editor stops the master, so the drive's windows come from a second start).
        wanted = {QStringLiteral("main-window"), QStringLiteral("data-panel")};
        walk.Open(Family::MainWindow);
        walk.Open(Family::MonitorWindows);
        ASSERT_TRUE(walk.StartMaster()) << boxes.Texts();
        QTest::qWait(1500);
        wanted = {QStringLiteral("console"), QStringLiteral("parameter-editor")};
        walk.UseSlave(3);
        walk.Open(Family::MonitorWindows);
        EXPECT_EQ(boxes.Seen().size(), 0u) << boxes.Texts();
        walk.Frame().Tree()->SelectNode(walk.Master());
        walk.Frame().RunCommand(resource_ids::kCommandStop);
    }
    UseLanguage("zh");
    EXPECT_EQ(written, 8);
}

INSTANTIATE_TEST_SUITE_P(Families, EveryWindow,
                         ::testing::Values(Family::MainWindow, Family::FrameDialogs, Family::NetworkDialogs,
                                           Family::MonitorWindows),
                         [](const ::testing::TestParamInfo<Family>& info) { return FamilyName(info.param); });

}  // namespace
