// The main window without adapters: menus, toolbar, panes, enabling rules, network files,
// recent files, dropped files, layout, help, language switch and the command line.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/resource_manager.h"
#include "services/global.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "support/opened_files.h"
#include "ui/frame/app_startup.h"
#include "ui/frame/command_table.h"
#include "ui/frame/data_view.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/language_menu.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/property_pane.h"
#include "ui/frame/tree_dev.h"
#include "ui/models/info_log_model.h"
#include "ui/widgets/ui_text.h"

namespace {

using frame_test::TempFolder;

class FrameWindow : public ::testing::Test {
protected:
    void SetUp() override {
        frame_test::UseFreshProfile(folder);
        frame = std::make_unique<CMainFrame>();
    }
    void TearDown() override {
        frame.reset();
        GetNetwork().ClearNetwork();
    }

    bool Enabled(uint16_t id) const {
        frame->UpdateCommands();
        QAction* action = frame->Commands().Action(id);
        return action != nullptr && action->isEnabled();
    }
    bool Checked(uint16_t id) const {
        frame->UpdateCommands();
        QAction* action = frame->Commands().Action(id);
        return action != nullptr && action->isChecked();
    }
    // Loads the demo network (its card cannot be opened here: no adapter) and selects a node.
    void LoadDemo() {
        ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1))));
        boxes.Clear();
    }
    CServerDev* Master() const {
        auto masters = GetNetwork().Masters();
        return masters.empty() ? nullptr : masters.front();
    }
    void Select(CDeviceBase* node) { frame->Tree()->SelectNode(node); }

    TempFolder folder;
    std::unique_ptr<CMainFrame> frame;
    ui_test::BoxAnswerer boxes;
    ui_test::OpenedFiles opened;
};

TEST_F(FrameWindow, WindowHasItsTitlePanesAndMinimumSize) {
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Quillon for DeviceNet"));
    EXPECT_EQ(frame->minimumSize(), QSize(850, 600));
    struct PaneCase {
        int id;
        const char* title;
        Qt::DockWidgetArea area;
        bool closable;
    };
    for (const PaneCase& c : {PaneCase{32775, "网络结构", Qt::LeftDockWidgetArea, false},
                              PaneCase{32776, "属性栏", Qt::RightDockWidgetArea, true},
                              PaneCase{32777, "信息栏", Qt::BottomDockWidgetArea, true}}) {
        QDockWidget* pane = frame->Pane(c.id);
        ASSERT_NE(pane, nullptr) << c.id;
        EXPECT_EQ(pane->windowTitle(), QString::fromUtf8(c.title)) << c.id;
        EXPECT_EQ(frame->dockWidgetArea(pane), c.area) << c.id;
        EXPECT_EQ(pane->features().testFlag(QDockWidget::DockWidgetClosable), c.closable) << c.id;
    }
    EXPECT_EQ(frame->Pane(32775)->widget(), frame->Tree());
    EXPECT_EQ(frame->Pane(32776)->widget(), frame->PropertyPane());
    EXPECT_EQ(frame->Pane(32777)->widget(), frame->LogPane());
    EXPECT_EQ(frame->centralWidget(), frame->DataView());
}

TEST_F(FrameWindow, MenuBarComesFromMenu128WithTheCommandActions) {
    const std::vector<MenuNode> menu = LoadMenuTree(128);
    ASSERT_FALSE(menu.empty());
    const QList<QAction*> top = frame->menuBar()->actions();
    ASSERT_EQ(static_cast<size_t>(top.size()), menu.size());
    for (size_t i = 0; i < menu.size(); ++i) {
        EXPECT_EQ(top[static_cast<qsizetype>(i)]->text(), QString::fromStdString(menu[i].caption));
    }
    EXPECT_EQ(top[0]->text(), QStringLiteral("文件(&F)"));
    QMenu* file = top[0]->menu();
    ASSERT_NE(file, nullptr);
    for (uint16_t id : {32771, 32773, 57665}) {
        EXPECT_TRUE(file->actions().contains(frame->Commands().Action(id))) << id;
    }
    QAction* start = frame->Commands().Action(32786);
    EXPECT_EQ(start->text(), QStringLiteral("启动(&S)"));
    EXPECT_EQ(start->statusTip(), QStringLiteral("启动DeviceNet网络"));
    EXPECT_EQ(start->toolTip(), QStringLiteral("启动"));
    EXPECT_EQ(start->objectName(), QStringLiteral("32786"));
}

TEST_F(FrameWindow, ToolBarHoldsTheButtonsInOrderWithIcons) {
    const std::vector<int> expected{32789, 32816, 32786, 32787, 0,     32788, 0,    32791,
                                    32790, 32792, 32793, 32862, 32821, 0,     57664};
    const QList<QAction*> actions = frame->ToolBar()->actions();
    ASSERT_EQ(static_cast<size_t>(actions.size()), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QAction* action = actions[static_cast<qsizetype>(i)];
        if (expected[i] == 0) {
            EXPECT_TRUE(action->isSeparator()) << i;
            continue;
        }
        QAction* command = frame->Commands().Action(static_cast<uint16_t>(expected[i]));
        if (expected[i] == 32791) {
            EXPECT_EQ(frame->ToolBar()->widgetForAction(action), frame->AddSlaveButton());
        } else {
            EXPECT_EQ(action, command) << expected[i];
        }
        EXPECT_FALSE(command->icon().isNull()) << expected[i];
    }
    auto* start = frame->ToolBar()->findChild<QToolButton*>(QStringLiteral("32786"));
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    auto* about = frame->ToolBar()->findChild<QToolButton*>(QStringLiteral("57664"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->toolButtonStyle(), Qt::ToolButtonIconOnly);
    // The add-slave button drops down the EDS names, entry i being command 32900 + i.
    ASSERT_NE(frame->AddSlaveButton()->menu(), nullptr);
    QMenu* dropDown = frame->AddSlaveMenu();
    const auto& names = GetGlobal().EdsNames();
    ASSERT_FALSE(names.empty());
    ASSERT_NE(dropDown, nullptr);
    ASSERT_EQ(static_cast<size_t>(dropDown->actions().size()), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        QAction* entry = dropDown->actions()[static_cast<qsizetype>(i)];
        EXPECT_EQ(entry->objectName(), QString::number(32900 + i));
        EXPECT_EQ(entry->text(), QString::fromStdString(names[i]));
    }
}

TEST_F(FrameWindow, NoSelectionDisablesEveryMasterCommandButAddNetwork) {
    for (uint16_t id : {32786, 32787, 32816, 32788, 32791, 32790, 32792, 32793, 32862, 32821, 32820, 32819, 32900}) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    for (uint16_t id : {32789, 32771, 32773, 57664, 32836, 32780, 32782, 32794}) EXPECT_TRUE(Enabled(id)) << id;
}

TEST_F(FrameWindow, RulesForAStoppedMasterAndItsSlave) {
    LoadDemo();
    CServerDev* master = Master();
    ASSERT_NE(master, nullptr);
    Select(master);
    ASSERT_EQ(frame->SelectedNode(), master);
    struct Rule {
        uint16_t id;
        bool onMaster;
        bool onSlave;
    };
    const Rule rules[] = {
        {32786, true, true},   {32787, false, false}, {32816, true, false}, {32788, true, true},  {32791, true, true},
        {32790, false, true},  {32792, true, false},  {32793, true, false}, {32820, false, true}, {32821, false, false},
        {32819, false, false}, {32789, true, true},   {32862, true, false},
    };
    for (const Rule& r : rules) EXPECT_EQ(Enabled(r.id), r.onMaster) << "master " << r.id;
    Select(master->GetChild(0));
    ASSERT_EQ(frame->SelectedNode(), master->GetChild(0));
    for (const Rule& r : rules) EXPECT_EQ(Enabled(r.id), r.onSlave) << "slave " << r.id;
}

TEST_F(FrameWindow, DeletingSlavesMovesTheSelectionUp) {
    LoadDemo();
    CServerDev* master = Master();
    const int slaves = master->GetChildCount();
    ASSERT_GE(slaves, 2);
    CSlaveDev* second = master->GetChild(1);
    Select(second);
    ASSERT_TRUE(frame->RunCommand(32790));
    EXPECT_EQ(master->GetChildCount(), slaves - 1);
    EXPECT_EQ(frame->SelectedNode(), master->GetChild(0)) << "the slave above";
    Select(master->GetChild(0));
    ASSERT_TRUE(frame->RunCommand(32790));
    EXPECT_EQ(frame->SelectedNode(), master) << "the first slave's master";
    EXPECT_EQ(frame->PropertyPane()->ShownNode(), master);
    EXPECT_EQ(frame->Tree()->NodeCount(), 1 + slaves - 2);
}

TEST_F(FrameWindow, DeleteAllSlavesLeavesTheMasterSelectedAndTheCommandDisabled) {
    LoadDemo();
    CServerDev* master = Master();
    Select(master);
    ASSERT_TRUE(Enabled(32792));
    ASSERT_TRUE(frame->RunCommand(32792));
    EXPECT_EQ(master->GetChildCount(), 0);
    EXPECT_EQ(frame->Tree()->NodeCount(), 1);
    EXPECT_EQ(frame->SelectedNode(), master);
    EXPECT_FALSE(Enabled(32792)) << "a master without slaves";
    EXPECT_FALSE(frame->RunCommand(32792));
}

TEST_F(FrameWindow, DeletingTheOnlyMasterLeavesNothingSelected) {
    LoadDemo();
    Select(Master());
    ASSERT_TRUE(frame->RunCommand(32816));
    EXPECT_TRUE(GetNetwork().IsEmpty());
    EXPECT_EQ(frame->SelectedNode(), nullptr);
    EXPECT_EQ(frame->Tree()->NodeCount(), 0);
    EXPECT_EQ(frame->Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(frame->PropertyPane()->ShownNode(), nullptr);
    EXPECT_EQ(frame->DataView()->ShownNode(), nullptr);
    EXPECT_FALSE(Enabled(32786));
}

TEST_F(FrameWindow, ContextMenusOfTheTreeAndTheLog) {
    LoadDemo();
    frame->resize(1000, 700);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    QTreeWidget* tree = frame->Tree();
    struct Case {
        const char* what;
        QPoint pos;
        int subMenu;
        CDeviceBase* selected;
    };
    CServerDev* master = Master();
    const QRect slaveRect = tree->visualItemRect(frame->Tree()->ItemOf(master->GetChild(0)));
    ASSERT_TRUE(slaveRect.isValid());
    const QPoint empty(5, tree->viewport()->height() - 3);
    ASSERT_EQ(tree->itemAt(empty), nullptr);
    for (const Case& c :
         {Case{"empty space", empty, 1, master}, Case{"a slave", slaveRect.center(), 2, master->GetChild(0)}}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, c.pos, tree->viewport()->mapToGlobal(c.pos));
        QApplication::sendEvent(tree->viewport(), &event);
        QMenu* expected = frame->ContextMenu(c.subMenu);
        ASSERT_NE(expected, nullptr) << c.what;
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(expected));
        expected->close();
        if (c.subMenu == 2) {
            EXPECT_EQ(frame->SelectedNode(), c.selected) << "a right click selects";
        }
    }
    // "Net" and "Slave" offer the window's own actions.
    EXPECT_TRUE(frame->ContextMenu(1)->actions().contains(frame->Commands().Action(32792)));
    EXPECT_TRUE(frame->ContextMenu(2)->actions().contains(frame->Commands().Action(32790)));
    EXPECT_TRUE(frame->ContextMenu(0)->actions().contains(frame->Commands().Action(32780)));
}

TEST_F(FrameWindow, PendingFileIsLoadedOnceTheWindowIsShown) {
    const QString path = QString::fromStdString(frame_test::WriteDemoNetwork(folder, 1));
    frame.reset();
    OpenDocument(path, nullptr);
    EXPECT_EQ(GetGlobal().PendingNetworkFile(), path.toStdString());
    EXPECT_TRUE(GetNetwork().IsEmpty()) << "nothing is loaded before the window exists";
    frame = std::make_unique<CMainFrame>();
    frame->show();
    frame->OpenPendingNetworkFile();
    EXPECT_EQ(GetNetwork().Masters().size(), 1u);
    EXPECT_EQ(frame->Tree()->NodeCount(), 1 + Master()->GetChildCount());
    EXPECT_EQ(frame->SelectedNode(), Master()) << "the first node is selected";
    EXPECT_TRUE(GetGlobal().PendingNetworkFile().empty());
    // With the window there, a document goes straight into it.
    Select(Master());
    frame->RunCommand(32792);
    OpenDocument(path, frame.get());
    EXPECT_GT(Master()->GetChildCount(), 0);
}

TEST_F(FrameWindow, UnreadableNetworkFilesKeepTheNetwork) {
    LoadDemo();
    const int nodes = frame->Tree()->NodeCount();
    std::ofstream(folder.Path("garbage.kld")) << "this is no network file \x01\x02";
    std::filesystem::create_directories(folder.Path("folder.kld"));
    std::ofstream(folder.Path("bus.kld")) << "<bus name=\"not a network\"><slave mac=\"1\"/></bus>";
    std::ofstream(folder.Path("zeros.kld"), std::ios::binary) << std::string(4096, '\0');
    std::ofstream(folder.Path("truncated.kld")) << "<Card type=\"101\" addr=\"0\">\n    <Server chl";
    for (const std::string& bad : {folder.Path("missing.kld"), folder.Path("garbage.kld"), folder.Path("folder.kld"),
                                   folder.Path("bus.kld"), folder.Path("zeros.kld"), folder.Path("truncated.kld")}) {
        boxes.Clear();
        EXPECT_FALSE(frame->OpenNetworkFile(QString::fromStdString(bad))) << bad;
        ASSERT_EQ(boxes.Seen().size(), 1u) << bad;
        EXPECT_NE(boxes.Seen()[0].Text().find(std::filesystem::path(bad).filename().string()), std::string::npos);
        EXPECT_EQ(boxes.Seen()[0].Caption(), "错误");
        EXPECT_EQ(GetNetwork().Masters().size(), 1u) << bad;
        EXPECT_EQ(frame->Tree()->NodeCount(), nodes) << bad;
    }
    // An empty file is an empty network.
    std::ofstream(folder.Path("empty.kld")).flush();
    EXPECT_TRUE(frame->OpenNetworkFile(QString::fromStdString(folder.Path("empty.kld"))));
    EXPECT_TRUE(GetNetwork().IsEmpty());
    EXPECT_EQ(frame->Tree()->NodeCount(), 0);
}

TEST_F(FrameWindow, ExportWritesTheNetworkAndReportsAFolderItCannotWriteTo) {
    LoadDemo();
    const QString out = QString::fromStdString(folder.Path("out.kld"));
    ASSERT_TRUE(frame->ExportNetworkFile(out));
    EXPECT_NE(frame_test::ReadFile(folder.Path("out.kld")).find("<Card type=\"101\" addr=\"0\">"), std::string::npos);
    EXPECT_FALSE(frame->ExportNetworkFile(QString::fromStdString(folder.Path("no/such/folder/out.kld"))));
    EXPECT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(GetNetwork().Masters().size(), 1u);
}

TEST_F(FrameWindow, DroppedFileIsLoaded) {
    const QString path = QString::fromStdString(frame_test::WriteDemoNetwork(folder, 2));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(frame.get(), &drop);
    EXPECT_EQ(GetNetwork().Masters().size(), 2u);
    EXPECT_EQ(frame->RecentFiles().value(0), path);
}

TEST_F(FrameWindow, RecentFilesKeepTheLastFourAndOutliveTheWindow) {
    QStringList paths;
    for (int i = 0; i < 5; ++i) {
        const std::string path = folder.Path("net" + std::to_string(i) + ".kld");
        std::ofstream(path).flush();
        paths.prepend(QString::fromStdString(path));
        ASSERT_TRUE(frame->OpenNetworkFile(paths.first()));
    }
    const QStringList expected = paths.mid(0, 4);
    EXPECT_EQ(frame->RecentFiles(), expected);
    QMenu* file = frame->menuBar()->actions().value(0)->menu();
    ASSERT_NE(file, nullptr);
    QAction* first = frame->Commands().Action(57616);
    EXPECT_TRUE(file->actions().contains(first));
    EXPECT_EQ(first->text(), QStringLiteral("&1 net4.kld"));
    EXPECT_LT(file->actions().indexOf(first), file->actions().indexOf(frame->Commands().Action(57665)));
    // Opening an older one moves it to the top; the list survives the window.
    ASSERT_TRUE(frame->RunCommand(57619));
    // One that has gone since leaves the list with a message.
    std::filesystem::remove(expected[1].toStdString());
    boxes.Clear();
    ASSERT_TRUE(frame->RunCommand(57617 + 1));
    EXPECT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(frame->RecentFiles(), (QStringList{expected[3], expected[0], expected[2]}));
    frame.reset();
    frame = std::make_unique<CMainFrame>();
    EXPECT_EQ(frame->RecentFiles(), (QStringList{expected[3], expected[0], expected[2]}));
}

TEST_F(FrameWindow, ViewTogglesAndLayoutAreSavedAtClose) {
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    EXPECT_TRUE(Checked(32778));
    EXPECT_TRUE(Checked(32779));
    EXPECT_TRUE(Checked(59392));
    EXPECT_TRUE(Checked(59393));
    ASSERT_TRUE(frame->RunCommand(32778));
    EXPECT_FALSE(Checked(32778));
    EXPECT_TRUE(frame->Pane(32776)->isHidden());
    ASSERT_TRUE(frame->RunCommand(59393));
    EXPECT_FALSE(Checked(59393));
    EXPECT_TRUE(frame->close());
    frame.reset();
    frame = std::make_unique<CMainFrame>();
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    EXPECT_TRUE(frame->Pane(32776)->isHidden()) << "NormalLayout restored";
    EXPECT_FALSE(Checked(32778));
    EXPECT_TRUE(frame->statusBar()->isHidden()) << "CommandBars restored";
    EXPECT_FALSE(frame->Pane(32775)->isHidden());
    ASSERT_TRUE(frame->RunCommand(32778));
    EXPECT_FALSE(frame->Pane(32776)->isHidden());
}

TEST_F(FrameWindow, HelpOpensTheProgramsHelpFileOrSaysItIsMissing) {
    const std::string help = GetGlobal().GetProgramDir() + "help.chm";
    std::filesystem::remove(help);
    ASSERT_TRUE(frame->RunCommand(32836));
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_NE(boxes.Seen()[0].Text().find("help.chm"), std::string::npos);
    EXPECT_TRUE(opened.paths.empty());
    std::ofstream(help) << "help";
    ASSERT_TRUE(frame->RunCommand(32836));
    EXPECT_EQ(boxes.Seen().size(), 1u);
    EXPECT_EQ(opened.paths, std::vector<std::string>{help});
    std::filesystem::remove(help);
}

TEST_F(FrameWindow, HelpOpensTheHtmlPagesWhenTheDesktopHasNoChmViewer) {
    const std::string dir = GetGlobal().GetProgramDir();
    const std::string chm = dir + "help.chm";
    const std::string html = dir + "help/index.html";
    const std::string desktop = dir + "xdg/applications/chmview.desktop";
    std::filesystem::create_directories(dir + "help");
    std::filesystem::create_directories(dir + "xdg/applications");
    std::ofstream(chm) << "help";
    std::ofstream(html) << "<html/>";
    const QByteArray oldHome = qgetenv("XDG_DATA_HOME"), oldDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "xdg"));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(dir + "none"));
    ASSERT_TRUE(frame->RunCommand(32836));
    // With a CHM viewer installed the compiled help opens.
    std::ofstream(desktop) << "[Desktop Entry]\nName=CHM\nExec=chmview %f\nMimeType=application/vnd.ms-htmlhelp;\n";
    ASSERT_TRUE(frame->RunCommand(32836));
    for (const auto& [name, old] : {std::pair{"XDG_DATA_HOME", oldHome}, std::pair{"XDG_DATA_DIRS", oldDirs}}) {
        if (old.isNull()) qunsetenv(name);
        else qputenv(name, old);
    }
    EXPECT_TRUE(boxes.Seen().empty());
    EXPECT_EQ(opened.paths, (std::vector<std::string>{html, chm}));
    std::filesystem::remove_all(dir + "help");
    std::filesystem::remove_all(dir + "xdg");
    std::filesystem::remove(chm);
}

TEST_F(FrameWindow, StatusBarShowsTheHintOfTheCommandUnderTheMouse) {
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    auto* button = frame->ToolBar()->findChild<QToolButton*>(QStringLiteral("32789"));
    ASSERT_NE(button, nullptr);
    QTest::mouseMove(button);
    QTRY_COMPARE(frame->statusBar()->currentMessage(), frame->Commands().Action(32789)->statusTip());
    EXPECT_FALSE(frame->statusBar()->currentMessage().isEmpty());
}

TEST_F(FrameWindow, AboutBoxIsDialog100) {
    ASSERT_TRUE(frame->RunCommand(57664));
    auto* about = frame->findChild<QDialog*>(QStringLiteral("100"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle(), QStringLiteral("关于 Norvane"));
    EXPECT_TRUE(about->isVisible());
    about->close();
}

TEST_F(FrameWindow, LanguageMenuListsTheLanguagesAndSwitchesEveryText) {
    const auto& languages = GetGlobal().Languages();
    ASSERT_GE(languages.size(), 2u) << "the program folder ships Chinese and English";
    QMenu* menu = frame->LanguageMenu();
    ASSERT_NE(menu, nullptr);
    frame->FillLanguageMenu();
    EXPECT_FALSE(frame->Commands().Action(32830)->isVisible()) << "the placeholder hides";
    QAction* english = frame->Commands().Action(65001);
    ASSERT_TRUE(menu->actions().contains(english));
    EXPECT_EQ(english->text(), QStringLiteral("English"));
    EXPECT_TRUE(Checked(65000));
    EXPECT_FALSE(Checked(65001));

    LoadDemo();
    Select(Master());
    const int fills = frame->PropertyPane()->FillCount();
    const QString chineseFile = frame->menuBar()->actions().value(0)->text();
    ASSERT_TRUE(frame->RunCommand(65001));
    QTRY_COMPARE(frame->Pane(32775)->windowTitle(), LoadText(10002));
    EXPECT_NE(frame->Pane(32775)->windowTitle(), QStringLiteral("网络结构"));
    EXPECT_EQ(frame->Pane(32776)->windowTitle(), LoadText(10000));
    EXPECT_EQ(frame->Pane(32777)->windowTitle(), LoadText(10001));
    EXPECT_EQ(frame->windowTitle(), LoadText(57344));
    const QString englishFile = frame->menuBar()->actions().value(0)->text();
    EXPECT_NE(englishFile, chineseFile);
    EXPECT_EQ(englishFile, QString::fromStdString(LoadMenuTree(128).at(0).caption));
    EXPECT_GT(frame->PropertyPane()->FillCount(), fills) << "the property pane is filled again";
    auto header = [this](int column) {
        return frame->LogPane()->Model()->headerData(column, Qt::Horizontal).toString();
    };
    EXPECT_EQ(header(1), LoadText(10003));
    EXPECT_NE(header(1), QStringLiteral("时间"));
    EXPECT_EQ(header(2), LoadText(10004));
    ASSERT_GT(frame->PropertyPane()->Grid()->topLevelItemCount(), 0);
    EXPECT_EQ(frame->PropertyPane()->Grid()->topLevelItem(0)->text(0), LoadText(61447));
    EXPECT_NE(LoadText(61447), QStringLiteral("主站卡信息"));
    EXPECT_TRUE(Checked(65001));
    EXPECT_NE(frame->Commands().Action(32786)->statusTip(), QStringLiteral("启动DeviceNet网络"));

    ASSERT_TRUE(frame->RunCommand(65000));
    QTRY_COMPARE(frame->Pane(32775)->windowTitle(), QStringLiteral("网络结构"));
    EXPECT_EQ(frame->menuBar()->actions().value(0)->text(), chineseFile);
    EXPECT_EQ(frame->Commands().Action(32786)->statusTip(), QStringLiteral("启动DeviceNet网络"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Quillon for DeviceNet"));
    EXPECT_EQ(header(1), QStringLiteral("时间"));
    EXPECT_EQ(frame->PropertyPane()->Grid()->topLevelItem(0)->text(0), QStringLiteral("主站卡信息"));
    EXPECT_TRUE(Checked(65000));
}

// Every menu of the menu bar as the accessibility tree shows it: (menu title, item names).
std::vector<std::pair<QString, QStringList>> AccessibleMenus(QMenuBar& bar) {
    std::vector<std::pair<QString, QStringList>> menus;
    for (QAction* top : bar.actions()) {
        QMenu* menu = top->menu();
        if (menu == nullptr) continue;
        emit menu->aboutToShow();  // as when the user opens it
        QStringList names;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; list != nullptr && i < list->childCount(); ++i) {
            QAccessibleInterface* item = list->child(i);
            QAction* action = menu->actions().value(i);
            if (action == nullptr || action->isSeparator() || !action->isVisible()) continue;
            const bool named =
                item != nullptr && item->isValid() && item->parent() != nullptr && item->parent()->object() == menu;
            names << (named ? item->text(QAccessible::Name) : QStringLiteral("<missing>"));
        }
        menus.emplace_back(top->text(), names);
    }
    return menus;
}

TEST_F(FrameWindow, LanguageSwitchKeepsEveryMenuWholeBothWaysAndAfterARestart) {
    const auto& languages = GetGlobal().Languages();
    ASSERT_GE(languages.size(), 2u);
    const std::string network = frame_test::WriteDemoNetwork(folder, 1);
    ASSERT_TRUE(frame->OpenNetworkFile(QString::fromStdString(network)));
    const QString recent = QStringLiteral("&1 ") + QFileInfo(QString::fromStdString(network)).fileName();
    const QString chineseTitle = frame->menuBar()->actions().value(0)->text();

    // The menus as a user finds them: the languages to choose, the recent file before "Exit", and
    // an accessible name for every entry, in the language shown.
    auto expectWholeMenus = [&](const char* when) {
        SCOPED_TRACE(when);
        QMenu* language = frame->LanguageMenu();
        ASSERT_NE(language, nullptr);
        emit language->aboutToShow();
        QStringList captions;
        for (QAction* entry : language->actions()) {
            if (entry->isVisible()) captions << entry->text();
        }
        EXPECT_EQ(captions.join(QLatin1Char('|')).toStdString(), languages[0].caption + "|" + languages[1].caption);
        QMenu* file = frame->menuBar()->actions().value(0)->menu();
        ASSERT_NE(file, nullptr);
        emit file->aboutToShow();
        QAction* first = frame->Commands().Action(57616);
        EXPECT_TRUE(file->actions().contains(first));
        EXPECT_EQ(first->text(), recent);
        EXPECT_LT(file->actions().indexOf(first), file->actions().indexOf(frame->Commands().Action(57665)));
        for (const auto& [title, names] : AccessibleMenus(*frame->menuBar())) {
            QMenu* menu = nullptr;
            for (QAction* top : frame->menuBar()->actions()) {
                if (top->text() == title) menu = top->menu();
            }
            ASSERT_NE(menu, nullptr);
            QStringList expected;
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator() && action->isVisible())
                    expected << QString(action->text()).remove(QLatin1Char('&'));
            }
            EXPECT_EQ(names.join(QLatin1Char('|')).toStdString(), expected.join(QLatin1Char('|')).toStdString())
                << title.toStdString();
            for (const QString& name : names) EXPECT_FALSE(name.isEmpty()) << title.toStdString();
        }
    };
    // The tree's context menu shows actions of the menu bar too; it is read first.
    QMenu* net = frame->ContextMenu(1);
    ASSERT_NE(net, nullptr);
    emit net->aboutToShow();
    QAccessibleInterface* netItems = QAccessible::queryAccessibleInterface(net);
    ASSERT_NE(netItems, nullptr);
    for (int i = 0; i < netItems->childCount(); ++i) ASSERT_NE(netItems->child(i), nullptr);
    expectWholeMenus("Chinese");

    ASSERT_TRUE(frame->RunCommand(65001));
    QTRY_VERIFY(frame->menuBar()->actions().value(0)->text() != chineseTitle);
    EXPECT_EQ(frame->menuBar()->actions().value(0)->text(), QStringLiteral("&File"));
    expectWholeMenus("English");
    EXPECT_EQ(frame->Commands().Action(57665)->text(), QStringLiteral("E&xit"));

    // Back through the Language menu itself.
    QAction* chinese = frame->Commands().Action(65000);
    ASSERT_TRUE(frame->LanguageMenu()->actions().contains(chinese));
    chinese->trigger();
    QTRY_COMPARE(frame->menuBar()->actions().value(0)->text(), chineseTitle);
    expectWholeMenus("Chinese again");

    // English is kept for the next start.
    ASSERT_TRUE(frame->RunCommand(65001));
    QTRY_COMPARE(frame->menuBar()->actions().value(0)->text(), QStringLiteral("&File"));
    frame.reset();
    frame = std::make_unique<CMainFrame>();
    EXPECT_EQ(frame->menuBar()->actions().value(0)->text(), QStringLiteral("&File"));
    expectWholeMenus("English after a restart");
    ASSERT_TRUE(frame->RunCommand(65000));
    QTRY_COMPARE(frame->menuBar()->actions().value(0)->text(), chineseTitle);
}

TEST_F(FrameWindow, ALanguageThatCannotBeReadKeepsTheTexts) {
    const auto& languages = GetGlobal().Languages();
    ASSERT_GE(languages.size(), 2u);
    const std::string file = GetGlobal().GetProgramDir() + "language/" + languages[1].resourceFile;
    const std::string saved = frame_test::ReadFile(file);
    std::ofstream(file, std::ios::trunc) << "<not a resource";
    EXPECT_TRUE(frame->RunCommand(65001));
    QTest::qWait(20);
    std::ofstream(file, std::ios::trunc | std::ios::binary) << saved;
    ASSERT_EQ(boxes.Seen().size(), 1u);
    EXPECT_NE(boxes.Seen()[0].Text().find(languages[1].resourceFile), std::string::npos);
    EXPECT_EQ(GetGlobal().CurrentLanguage(), 0);
    EXPECT_EQ(frame->Pane(32775)->windowTitle(), QStringLiteral("网络结构"));
}

TEST(FrameLanguageMenu, EntriesStopAtTheFirstEmptyCaption) {
    CommandTable table;
    table.Add(
        32830, [] {}, [] { return false; });
    for (uint16_t id = 65000; id <= 65050; ++id) table.Add(id, [] {});
    auto actionFor = [&table](uint16_t id) { return table.Action(id); };
    QMenu menu;
    menu.addAction(table.Action(32830));
    using name_share::ParseLanguageEntry;
    struct Case {
        std::vector<const char*> lines;
        std::vector<const char*> captions;
    };
    const Case cases[] = {
        {{"2052|936|zh_CN.UTF-8|chinese.xml|中文(简体)", "1033|1252|en_US.UTF-8|english.xml|English"},
         {"中文(简体)", "English"}},
        {{"1|1|C|a.xml|A", "2|2|C|b.xml", "3|3|C|c.xml|C"}, {"A"}},  // a line without a caption ends the list
        {{"1|1|C|a.xml|"}, {}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        std::vector<name_share::LanguageEntry> languages;
        for (const char* line : c.lines) languages.push_back(ParseLanguageEntry(line));
        EXPECT_EQ(FillLanguageMenu(menu, languages, actionFor), static_cast<int>(c.captions.size()));
        const QList<QAction*> actions = menu.actions();
        ASSERT_EQ(actions.size(), static_cast<qsizetype>(c.captions.size() + 1));
        EXPECT_EQ(actions[0], table.Action(32830));
        EXPECT_EQ(actions[0]->isVisible(), c.captions.empty()) << "the placeholder shows only alone";
        for (size_t i = 0; i < c.captions.size(); ++i) {
            EXPECT_EQ(actions[static_cast<qsizetype>(i + 1)], table.Action(static_cast<uint16_t>(65000 + i)));
            EXPECT_EQ(actions[static_cast<qsizetype>(i + 1)]->text(), QString::fromUtf8(c.captions[i]));
        }
    }
}

TEST(FrameCommandLine, ArgumentsGiveTheFileOrEnd) {
    struct Case {
        QStringList args;
        bool exit;
        int code;
        const char* outputHas;
        bool hasFile;
    };
    const Case cases[] = {
        {{"Norvane"}, false, 0, "", false},
        {{"Norvane", "net.kld"}, false, 0, "", true},
        {{"Norvane", "--help"}, true, 0, "FILE.kld", false},
        {{"Norvane", "--version"}, true, 0, "Norvane 1.013", false},
        {{"Norvane", "--bogus"}, true, 2, "bogus", false},
        {{"Norvane", "a.kld", "b.kld"}, true, 2, "one network file", false},
        {{"Norvane", "--script", "s.txt", "net.kld"}, false, 0, "", true},
        {{"Norvane", "--script"}, true, 2, "script", false},
    };
    for (const Case& c : cases) {
        const StartupOptions options = ParseCommandLine(c.args);
        EXPECT_EQ(options.exit, c.exit) << c.args.join(' ').toStdString();
        EXPECT_EQ(options.exitCode, c.code) << c.args.join(' ').toStdString();
        EXPECT_TRUE(options.output.contains(QString::fromUtf8(c.outputHas))) << options.output.toStdString();
        EXPECT_EQ(!options.networkFile.isEmpty(), c.hasFile);
        if (c.hasFile) {
            EXPECT_TRUE(options.networkFile.endsWith(QStringLiteral("/net.kld")));
        }
        EXPECT_EQ(options.scriptFile, c.args.size() > 2 && c.args[1] == "--script" ? c.args[2] : QString());
    }
}

TEST(FrameCommandTable, RulesDecideWhatRuns) {
    CommandTable table;
    int runs = 0;
    bool enabled = false;
    bool checked = true;
    QAction* action = table.Add(
        7, [&] { ++runs; }, [&] { return enabled; }, [&] { return checked; });
    EXPECT_EQ(table.Action(7), action);
    EXPECT_EQ(table.Action(8), nullptr);
    EXPECT_EQ(action->objectName(), QStringLiteral("7"));
    EXPECT_TRUE(action->isCheckable());
    EXPECT_FALSE(table.Execute(7));
    EXPECT_FALSE(table.Execute(8));
    EXPECT_EQ(runs, 0);
    enabled = true;
    table.UpdateAll();
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(action->isChecked()) << "the checked rule wins over the toggle";
    checked = false;
    table.UpdateAll();
    EXPECT_FALSE(action->isChecked());
    table.SetTexts(7, QStringLiteral("Caption"), QStringLiteral("Status text\nTip"));
    EXPECT_EQ(action->text(), QStringLiteral("Caption"));
    EXPECT_EQ(action->statusTip(), QStringLiteral("Status text"));
    EXPECT_EQ(action->toolTip(), QStringLiteral("Tip"));
}

}  // namespace
