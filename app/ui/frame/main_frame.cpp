#include "ui/frame/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <tinyxml2.h>

#include <algorithm>
#include <set>

#include "ui/frame/command_table.h"
#include "ui/frame/data_view.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/language_menu.h"
#include "ui/frame/property_pane.h"
#include "ui/frame/qt_host.h"
#include "ui/frame/report_export.h"
#include "ui/frame/tree_dev.h"
#include "ui/frame/wait_indicator.h"
#include "ui/monitor/param_dlg.h"
#include "ui/monitor/varda_pane.h"
#include "ui/network/commission_dlg.h"
#include "ui/network/search_dlg.h"
#include "ui/network/server_property.h"
#include "ui/network/slave_property.h"
#include "network/eds_import.h"
#include "network/network.h"
#include "network/network_file.h"
#include "services/profile_file.h"
#include "services/user_settings.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/resource_ids.h"
#include "resources/resource_manager.h"
#include "services/help_file.h"
#include "services/global.h"
#include "ui/widgets/language_events.h"
#include "ui/widgets/menu_builder.h"
#include "ui/widgets/template_dialog.h"
#include "ui/widgets/ui_text.h"

namespace {

// Command ids of the main window.
namespace cmd {
constexpr uint16_t kImport = 32771;
constexpr uint16_t kExport = 32773;
constexpr uint16_t kExportReport = resource_ids::kCommandExportReport;
constexpr uint16_t kExit = 57665;
constexpr uint16_t kStart = 32786;
constexpr uint16_t kStop = 32787;
constexpr uint16_t kProperties = 32788;
constexpr uint16_t kAddNetwork = 32789;
constexpr uint16_t kDeleteSlave = 32790;
constexpr uint16_t kAddSlave = 32791;
constexpr uint16_t kDeleteAllSlaves = 32792;
constexpr uint16_t kSearch = 32793;
constexpr uint16_t kCommission = resource_ids::kCommandCommissionNode;
constexpr uint16_t kDeleteNetwork = 32816;
constexpr uint16_t kIoConfig = 32819;
constexpr uint16_t kParameters = 32820;
constexpr uint16_t kExplicit = 32821;
constexpr uint16_t kLanguagePlaceholder = 32830;
constexpr uint16_t kNoMenuNever = 32834;
constexpr uint16_t kImportEds = 32835;
constexpr uint16_t kHelp = 32836;
constexpr uint16_t kPropertyBar = 32778;
constexpr uint16_t kInfoBar = 32779;
constexpr uint16_t kToolBarToggle = 59392;
constexpr uint16_t kStatusBarToggle = 59393;
constexpr uint16_t kLogClear = 32780;
constexpr uint16_t kLogSave = 32782;
constexpr uint16_t kLogSettings = 32794;
constexpr uint16_t kRefreshView = 32805;
constexpr uint16_t kAbout = 57664;
constexpr uint16_t kOpen = 57601;
constexpr uint16_t kNew = 57600;
}  // namespace cmd

// String ids of the window's texts.
constexpr uint32_t kTitleString = 57344;
constexpr uint32_t kToolBarTitle = 10012;
constexpr uint32_t kPaneNetworkTitle = 10002;
constexpr uint32_t kPanePropertiesTitle = 10000;
constexpr uint32_t kPaneInformationTitle = 10001;

// Toolbar 128 in order; 0 is a separator.
constexpr uint16_t kToolBarButtons[] = {32789, 32816, 32786, 32787, 0,     32788, 0,     32791,
                                        32790, 32792, 32793, 32862, 32821, 0,     57664};

// Buttons that show their caption beside the icon.
bool ShowsCaption(uint16_t id) {
    return (id >= 32786 && id <= 32790) || (id >= 32792 && id <= 32796) || (id >= 32799 && id <= 32805);
}

const char* const kKldFilter = "Norvane(*.KLD *.kld)";
const char* const kAllFilter = "All Text(*.*) (*)";

QString g_profileFile;

std::unique_ptr<QSettings> Profile() {
    if (!g_profileFile.isEmpty()) return std::make_unique<QSettings>(g_profileFile, QSettings::IniFormat);
    // Beside the user's other settings of the program; a file at the old place is moved there.
    const std::string path = name_share::UserProfilePath(name_share::UserSettings::UserDirFromEnvironment(),
                                                         name_share::LegacyProfilePath());
    if (path.empty()) return std::make_unique<QSettings>(QStringLiteral("norvane"), QStringLiteral("Norvane"));
    return std::make_unique<QSettings>(QFile::decodeName(QByteArray::fromStdString(path)), QSettings::IniFormat);
}

QIcon CommandIcon(uint16_t id) {
    const QString path = QStringLiteral(":/icons/tb_%1.svg").arg(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Shows a fixed message as a box of the given level (0 error, 1 warning) through CGlobal, so it
// gets the caption and icon of its level like every other message.
void ShowMessage(int level, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    GetGlobal().ShowMessageBox(level, "%s", utf8.constData());
}

// The menu (of a menu bar or a pop-up) that holds the action, or nullptr.
QMenu* MenuHolding(QAction* action) {
    if (action == nullptr) return nullptr;
    for (QObject* object : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(object)) return menu;
    }
    return nullptr;
}

}  // namespace

void CMainFrame::SetProfileFile(const QString& path) { g_profileFile = path; }

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), commands_(std::make_unique<CommandTable>()) {
    setObjectName(QStringLiteral("CMainFrame"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setAcceptDrops(true);
    setWindowIcon(QIcon(QStringLiteral(":/icons/app_norvane.svg")));

    CreateCommands();
    statusBar()->setObjectName(QStringLiteral("59393"));
    CreatePanes();
    CreateToolBar();
    BuildMenuBar();
    ApplyTexts();

    waitIndicator_ = new CWaitIndicator(QString::fromUtf8(CWaitIndicator::kStartText), this);

    host_ = std::make_unique<CQtHost>();
    host_->SetLogPane(logPane_);
    host_->SetMainWindow(this);
    GetGlobal().SetHost(host_.get());

    refreshTimer_.setInterval(kRefreshIntervalMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &CMainFrame::OnRefreshTimer);
    // The language notification arrives like a posted message: after the command that caused it.
    connect(&LanguageNotifier::Instance(), &LanguageNotifier::languageChanged, this, &CMainFrame::OnLanguageChanged,
            Qt::QueuedConnection);

    LoadRecentFiles();
    RestoreLayout();
    tree_->Rebuild();
    OnNodeSelected(tree_->SelectedNode());
}

CMainFrame::~CMainFrame() {
    closing_ = true;
    startJob_.Wait();
    refreshTimer_.stop();
    // The children go after the members: their last signals (panes hiding, the tree emptying)
    // must not reach this window any more.
    for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
    if (GetGlobal().Host() == host_.get()) GetGlobal().SetHost(nullptr);
    GetGlobal().SetSelectedNode(nullptr);
}

// ---- building ----

void CMainFrame::CreateCommands() {
    CommandTable& t = *commands_;
    auto always = CommandTable::Rule{};
    auto never = [] { return false; };
    auto selectedMasterStopped = [this] {
        CServerDev* master = SelectedMaster();
        return Idle() && master != nullptr && master->IsRunning() == 0;
    };
    auto selectedIsStoppedMaster = [this] {
        CDeviceBase* node = Selected();
        return Idle() && node != nullptr && node->IsMaster() != 0 && node->IsRunning() == 0;
    };

    t.Add(cmd::kImport, [this] { CmdImport(); }, [this] { return Idle(); });
    t.Add(cmd::kExport, [this] { CmdExport(); }, always);
    t.Add(cmd::kExportReport, [this] { ExportReportWithDialog(this); }, always);
    t.Add(cmd::kExit, [this] { close(); }, always);
    t.Add(cmd::kOpen, [this] { CmdOpen(); }, [this] { return Idle(); });
    t.Add(cmd::kNew, [this] { dataView_->RefreshView(1); }, always);

    t.Add(cmd::kStart, [this] { StartSelectedMaster(); }, selectedMasterStopped);
    t.Add(cmd::kStop, [this] { StopSelectedMaster(); }, [this] {
        CServerDev* master = SelectedMaster();
        return Idle() && master != nullptr && master->IsRunning() != 0;
    });
    t.Add(cmd::kAddNetwork, [this] { CmdAddNetwork(); }, [this] { return Idle(); });
    t.Add(cmd::kDeleteNetwork, [this] { CmdDeleteNode(); }, selectedIsStoppedMaster);
    // A node that is not running; a slave also needs a stopped master, since its dialog changes
    // what the running scan list holds.
    t.Add(cmd::kProperties, [this] { CmdProperties(); }, [this] {
        CDeviceBase* node = Selected();
        if (!Idle() || node == nullptr || node->IsRunning() != 0) return false;
        CServerDev* master = node->GetParent();
        return master == nullptr || master->IsRunning() == 0;
    });
    t.Add(cmd::kAddSlave, [this] {
        QMenu* menu = AddSlaveMenu();
        if (menu == nullptr) return;
        QPoint at = QCursor::pos();
        if (addSlaveButton_ != nullptr && addSlaveButton_->isVisible() && addSlaveButton_->underMouse()) {
            at = addSlaveButton_->mapToGlobal(QPoint(0, addSlaveButton_->height()));
        }
        menu->popup(at);
    }, selectedMasterStopped);
    t.Add(cmd::kDeleteSlave, [this] { CmdDeleteNode(); }, [this] {
        CDeviceBase* node = Selected();
        if (!Idle() || node == nullptr || node->IsMaster() != 0) return false;
        CServerDev* master = node->GetParent();
        return master != nullptr && master->IsRunning() == 0;
    });
    t.Add(cmd::kDeleteAllSlaves, [this] { CmdDeleteAllSlaves(); }, [this] {
        CDeviceBase* node = Selected();
        return Idle() && node != nullptr && node->IsMaster() != 0 && node->IsRunning() == 0 &&
               node->GetChildCount() > 0;
    });
    // The search dialog (20028), offered for a stopped master.
    t.Add(cmd::kSearch, [this] { CmdSearch(); }, selectedIsStoppedMaster);
    // The node commissioning dialog (20060), offered for a stopped master.
    t.Add(cmd::kCommission, [this] { CmdCommission(); }, selectedIsStoppedMaster);
    // The explicit message console (20032) for a slave of a running master.
    t.Add(cmd::kExplicit, [this] {
        CDeviceBase* node = Selected();
        if (node == nullptr || node->IsMaster() != 0 || node->GetParent() == nullptr) return;
        CVARDAPane pane(*static_cast<CSlaveDev*>(node), this);
        pane.exec();
    }, [this] {
        CDeviceBase* node = Selected();
        CServerDev* master = node != nullptr ? node->GetParent() : nullptr;
        return master != nullptr && master->IsRunning() != 0;
    });
    // The parameter editor (20037) of the selected slave.
    t.Add(cmd::kParameters, [this] {
        CDeviceBase* node = Selected();
        if (node == nullptr || node->IsMaster() != 0) return;
        CParamDlg dlg(*static_cast<CSlaveDev*>(node), this);
        dlg.exec();
    }, [this] {
        CDeviceBase* node = Selected();
        return node != nullptr && node->IsMaster() == 0;
    });
    t.Add(cmd::kIoConfig, [] {}, never);
    t.Add(cmd::kNoMenuNever, [] {}, never);
    t.Add(cmd::kLanguagePlaceholder, [] {}, never);
    t.Add(cmd::kImportEds, [this] { CmdImportEds(); }, always);

    auto paneShown = [this](int paneId) {
        QDockWidget* pane = Pane(paneId);
        return pane != nullptr && !pane->isHidden();
    };
    t.Add(cmd::kPropertyBar, [this] { CmdTogglePane(kPaneProperties); }, always,
          [paneShown] { return paneShown(kPaneProperties); });
    t.Add(cmd::kInfoBar, [this] { CmdTogglePane(kPaneInformation); }, always,
          [paneShown] { return paneShown(kPaneInformation); });
    t.Add(cmd::kToolBarToggle, [this] { toolBar_->setVisible(toolBar_->isHidden()); }, always,
          [this] { return toolBar_ != nullptr && !toolBar_->isHidden(); });
    t.Add(cmd::kStatusBarToggle, [this] { statusBar()->setVisible(statusBar()->isHidden()); }, always,
          [this] { return !statusBar()->isHidden(); });

    t.Add(cmd::kLogClear, [this] { logPane_->Clear(); }, always);
    t.Add(cmd::kLogSave, [this] { logPane_->SaveWithDialog(); }, always);
    t.Add(cmd::kLogSettings, [this] { logPane_->ShowSettings(); }, always);
    t.Add(cmd::kRefreshView, [this] { dataView_->RefreshView(0); }, always);
    t.Add(cmd::kAbout, [this] { CmdAbout(); }, always);
    t.Add(cmd::kHelp, [this] { CmdHelp(); }, always);

    // The add-slave drop-down entries: one per possible EDS name, same rule as 32791.
    for (uint16_t id = kFirstEdsEntryId; id <= kLastEdsEntryId; ++id)
        t.Add(id, [this, id] { CmdAddSlaveFromEds(id - kFirstEdsEntryId); }, selectedMasterStopped);
    // Languages: ticked for the current one.
    for (uint16_t id = kFirstLanguageId; id <= kLastLanguageId; ++id) {
        const int index = id - kFirstLanguageId;
        t.Add(id, [this, index] { CmdLanguage(index); }, always,
              [index] { return GetGlobal().CurrentLanguage() == index; });
    }
    // Recent files.
    for (int i = 0; i < kRecentFileCount; ++i) {
        t.Add(static_cast<uint16_t>(kFirstRecentFileId + i), [this, i] {
            if (i >= recentFiles_.size()) return;
            const QString file = recentFiles_.at(i);
            if (!OpenNetworkFile(file, true) && !QFileInfo::exists(file)) RemoveRecentFile(file);
        }, [this, i] { return Idle() && i < recentFiles_.size(); });
    }

    for (uint16_t id : {cmd::kOpen, cmd::kNew}) {
        if (QAction* action = t.Action(id)) {
            action->setShortcut(id == cmd::kOpen ? QKeySequence::Open : QKeySequence::New);
            addAction(action);  // the shortcuts work without a menu entry
        }
    }
}

void CMainFrame::CreatePanes() {
    dataView_ = new CDataView(this);
    setCentralWidget(dataView_);

    auto makePane = [this](int id, QWidget* content, Qt::DockWidgetArea area, bool closable) {
        auto* pane = new QDockWidget(this);
        pane->setObjectName(QString::number(id));
        pane->setWidget(content);
        QDockWidget::DockWidgetFeatures features = QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable;
        if (closable) features |= QDockWidget::DockWidgetClosable;
        pane->setFeatures(features);
        addDockWidget(area, pane);
        connect(pane, &QDockWidget::visibilityChanged, this, [this] { UpdateCommands(); });
        return pane;
    };

    tree_ = new CTreeDev;
    propertyPane_ = new CPanePropertyGrid([this](uint16_t id) { return commands_->Action(id); });
    logPane_ = new CInfoLogPane;
    QDockWidget* network = makePane(kPaneNetwork, tree_, Qt::LeftDockWidgetArea, false);
    QDockWidget* information = makePane(kPaneInformation, logPane_, Qt::BottomDockWidgetArea, true);
    QDockWidget* properties = makePane(kPaneProperties, propertyPane_, Qt::RightDockWidgetArea, true);
    resizeDocks({network, properties}, {230, 230}, Qt::Horizontal);
    resizeDocks({information}, {160}, Qt::Vertical);

    connect(tree_, &CTreeDev::nodeSelected, this, &CMainFrame::OnNodeSelected);
    connect(tree_, &CTreeDev::contextMenuRequested, this, [this](QPoint pos, const QString& caption) {
        ShowContextMenu(caption == QLatin1String("Slave") ? 2 : 1, pos);
    });
    connect(logPane_, &CInfoLogPane::contextMenuRequested, this, [this](QPoint pos) { ShowContextMenu(0, pos); });
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("128"));
    toolBar_->setIconSize(QSize(20, 20));
    addToolBar(Qt::TopToolBarArea, toolBar_);
    connect(toolBar_, &QToolBar::visibilityChanged, this, [this] { UpdateCommands(); });

    addSlaveMenu_ = new QMenu(this);
    addSlaveMenu_->setObjectName(QStringLiteral("AddSlaveDropDown"));
    connect(addSlaveMenu_, &QMenu::aboutToShow, this, [this] {
        AddSlaveMenu();
        UpdateCommands();
    });

    for (uint16_t id : kToolBarButtons) {
        if (id == 0) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = commands_->Action(id);
        if (action == nullptr) continue;
        action->setIcon(CommandIcon(id));
        if (id == cmd::kAddSlave) {
            // The add-slave button opens the list of EDS names.
            addSlaveButton_ = new QToolButton(toolBar_);
            addSlaveButton_->setObjectName(QString::number(id));
            addSlaveButton_->setDefaultAction(action);
            addSlaveButton_->setMenu(addSlaveMenu_);
            addSlaveButton_->setPopupMode(QToolButton::InstantPopup);
            addSlaveButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            addSlaveButton_->setIconSize(toolBar_->iconSize());
            toolBar_->addWidget(addSlaveButton_);
            continue;
        }
        toolBar_->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action))) {
            button->setObjectName(QString::number(id));
            button->setToolButtonStyle(ShowsCaption(id) ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        }
    }
    // Small icons of the menus.
    for (uint16_t id : {cmd::kExit, cmd::kLogClear, cmd::kLogSave, cmd::kLogSettings, cmd::kImport, cmd::kExport,
                        cmd::kParameters, cmd::kIoConfig, cmd::kHelp}) {
        if (QAction* action = commands_->Action(id)) action->setIcon(CommandIcon(id));
    }
}

void CMainFrame::BuildMenuBar() {
    QMenuBar* bar = menuBar();
    bar->clear();
    for (QMenu* old : bar->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) old->deleteLater();
    FillMenuBar(*bar, LoadMenuTree(resource_ids::kMainMenu), [this](uint16_t id) { return commands_->Action(id); });
    for (QMenu* menu : bar->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
    }
    if (QMenu* language = LanguageMenu()) {
        connect(language, &QMenu::aboutToShow, this, &CMainFrame::FillLanguageMenu);
    }
    if (QMenu* file = MenuHolding(commands_->Action(cmd::kExit))) {
        connect(file, &QMenu::aboutToShow, this, [this, file] { FillRecentFiles(file); });
        FillRecentFiles(file);
    }
    FillLanguageMenu();
}

void CMainFrame::ApplyTexts() {
    std::map<uint16_t, QString> captions = CommandCaptions(LoadMenuTree(resource_ids::kContextMenu));
    for (auto& [id, caption] : CommandCaptions(LoadMenuTree(resource_ids::kMainMenu))) captions[id] = caption;
    for (uint16_t id : {cmd::kImport, cmd::kExport, cmd::kExportReport, cmd::kExit, cmd::kStart, cmd::kStop,
                        cmd::kProperties, cmd::kAddNetwork, cmd::kDeleteSlave, cmd::kAddSlave, cmd::kDeleteAllSlaves, cmd::kSearch,
                        cmd::kCommission,
                        cmd::kDeleteNetwork, cmd::kIoConfig, cmd::kParameters, cmd::kExplicit, cmd::kImportEds,
                        cmd::kHelp, cmd::kPropertyBar, cmd::kInfoBar, cmd::kToolBarToggle, cmd::kStatusBarToggle,
                        cmd::kLogClear, cmd::kLogSave, cmd::kLogSettings, cmd::kAbout, cmd::kOpen, cmd::kNew,
                        cmd::kLanguagePlaceholder, cmd::kRefreshView}) {
        QAction* action = commands_->Action(id);
        if (action == nullptr) continue;
        auto it = captions.find(id);
        ApplyCommandTexts(*action, id, it == captions.end() ? QString() : it->second);
    }
    // Toolbar buttons show the short name of the hint (its tool-tip part), as "启动".
    for (uint16_t id : kToolBarButtons) {
        if (QAction* action = id != 0 ? commands_->Action(id) : nullptr) action->setIconText(action->toolTip());
    }
    // Drop-down entries take the names of the EDS files.
    const std::vector<std::string>& names = GetGlobal().EdsNames();
    for (size_t i = 0; i < names.size() && kFirstEdsEntryId + i <= kLastEdsEntryId; ++i) {
        if (QAction* action = commands_->Action(static_cast<uint16_t>(kFirstEdsEntryId + i))) {
            action->setText(FromUtf8(names[i]));
        }
    }
    setWindowTitle(LoadText(kTitleString));
    toolBar_->setWindowTitle(LoadText(kToolBarTitle));
    Pane(kPaneNetwork)->setWindowTitle(LoadText(kPaneNetworkTitle));
    Pane(kPaneProperties)->setWindowTitle(LoadText(kPanePropertiesTitle));
    Pane(kPaneInformation)->setWindowTitle(LoadText(kPaneInformationTitle));
}

QDockWidget* CMainFrame::Pane(int paneId) const {
    return findChild<QDockWidget*>(QString::number(paneId), Qt::FindDirectChildrenOnly);
}

QMenu* CMainFrame::LanguageMenu() { return MenuHolding(commands_->Action(cmd::kLanguagePlaceholder)); }

void CMainFrame::FillLanguageMenu() {
    QMenu* menu = LanguageMenu();
    if (menu == nullptr) return;
    ::FillLanguageMenu(*menu, GetGlobal().Languages(), [this](uint16_t id) { return commands_->Action(id); });
    commands_->UpdateAll();
}

QMenu* CMainFrame::AddSlaveMenu() {
    if (addSlaveMenu_ == nullptr) return nullptr;
    if (addSlaveMenu_->isEmpty()) {
        // Built once, from the EDS names of CGlobal, in list order.
        const std::vector<std::string>& names = GetGlobal().EdsNames();
        for (size_t i = 0; i < names.size(); ++i) AppendEdsEntry(static_cast<int>(i));
    }
    return addSlaveMenu_->isEmpty() ? nullptr : addSlaveMenu_.data();
}

void CMainFrame::AppendEdsEntry(int position) {
    const std::vector<std::string>& names = GetGlobal().EdsNames();
    if (position < 0 || static_cast<size_t>(position) >= names.size()) return;
    const int id = kFirstEdsEntryId + position;
    if (id > kLastEdsEntryId) return;
    QAction* action = commands_->Action(static_cast<uint16_t>(id));
    action->setText(FromUtf8(names[static_cast<size_t>(position)]));
    if (!addSlaveMenu_->actions().contains(action)) addSlaveMenu_->addAction(action);
}

QMenu* CMainFrame::ContextMenu(int subIndex) {
    if (contextMenu_ == nullptr) {
        // Menu 20003, loaded once through the language resources (again after a language change).
        contextMenu_ = new QMenu(this);
        contextMenu_->setObjectName(QString::number(resource_ids::kContextMenu));
        FillMenu(*contextMenu_, LoadMenuTree(resource_ids::kContextMenu),
                 [this](uint16_t id) { return commands_->Action(id); });
        for (QMenu* menu : contextMenu_->findChildren<QMenu*>()) {
            connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommands);
        }
    }
    const QList<QAction*> entries = contextMenu_->actions();
    int index = 0;
    for (QAction* entry : entries) {
        if (entry->menu() == nullptr) continue;
        if (index++ == subIndex) return entry->menu();
    }
    return nullptr;
}

void CMainFrame::ShowContextMenu(int subIndex, const QPoint& globalPos) {
    QMenu* menu = ContextMenu(subIndex);
    if (menu == nullptr) return;
    UpdateCommands();
    menu->popup(globalPos);
}

// ---- rules and selection ----

CDeviceBase* CMainFrame::Selected() const { return GetGlobal().GetSelectedNode(); }

CServerDev* CMainFrame::SelectedMaster() const {
    CDeviceBase* node = Selected();
    if (node == nullptr) return nullptr;
    if (node->IsMaster() != 0) return static_cast<CServerDev*>(node);
    return node->GetParent();
}

bool CMainFrame::RunCommand(uint16_t id) {
    commands_->UpdateAll();
    return commands_->Execute(id);
}

void CMainFrame::UpdateCommands() {
    if (commands_) commands_->UpdateAll();
}

void CMainFrame::OnNodeSelected(CDeviceBase* node) {
    GetGlobal().SetSelectedNode(node);
    dataView_->RefreshView(0);
    propertyPane_->ShowNode(node, false);
    UpdateCommands();
}

void CMainFrame::ShowSelectedInPanes(bool force) {
    propertyPane_->ShowNode(Selected(), force);
    dataView_->RefreshView(force ? 1 : 0);
}

// ---- network files ----

bool CMainFrame::OpenNetworkFile(const QString& path, bool rebuild) {
    if (path.isEmpty()) return false;
    if (StartInProgress()) return false;
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!info.isFile() || !info.isReadable()) {
        ShowMessage(0, QStringLiteral("无法读取网络配置文件：%1").arg(shown));
        return false;
    }
    const std::string local = LocalPath(info.absoluteFilePath());
    // A file that is no network (binary, another document, nothing readable) would only empty
    // the network: keep it.
    if (CheckNetworkFile(local) != NetworkFileRefusal::None) {
        ShowMessage(0, QStringLiteral("网络配置文件无法读取：%1").arg(shown));
        return false;
    }

    // The panes and the tree let go of the nodes, and the refresh timer stops, before the
    // network is replaced: reading it may show a box (an adapter that cannot be opened), and the
    // box's event loop must not reach the nodes that are gone.
    GetGlobal().SetSelectedNode(nullptr);
    propertyPane_->ShowNode(nullptr, true);
    dataView_->ShowNode(nullptr, true);
    tree_->Clear();
    runningMasters_ = 0;
    refreshTimer_.stop();

    // Reading stops and replaces every master, also the running ones.
    LoadNetworkFile(GetNetwork(), local);

    tree_->Rebuild();
    tree_->expandAll();  // the slaves of a network just read are in view
    if (rebuild) {
        const std::vector<CServerDev*> masters = GetNetwork().Masters();
        if (!masters.empty()) tree_->SelectNode(masters.front());
    }
    OnNodeSelected(tree_->SelectedNode());
    AddRecentFile(info.absoluteFilePath());
    return true;
}

bool CMainFrame::ExportNetworkFile(const QString& path) {
    if (path.isEmpty()) return false;
    if (!SaveNetworkFile(GetNetwork(), LocalPath(path))) {
        ShowMessage(0, QStringLiteral("无法写入网络配置文件：%1").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    AddRecentFile(QFileInfo(path).absoluteFilePath());
    return true;
}

void CMainFrame::OpenPendingNetworkFile() {
    if (pendingOpened_) return;
    pendingOpened_ = true;
    const std::string pending = GetGlobal().PendingNetworkFile();
    GetGlobal().SetPendingNetworkFile(std::string());
    if (!pending.empty()) OpenNetworkFile(QFile::decodeName(QByteArray::fromStdString(pending)), true);
}

void CMainFrame::CmdImport() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("导入主站网络配置"), QString(),
                                                      QStringLiteral("%1;;%2").arg(kKldFilter, kAllFilter));
    if (!path.isEmpty()) OpenNetworkFile(path, true);
}

void CMainFrame::CmdOpen() {
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), QString::fromLatin1(kKldFilter));
    if (!path.isEmpty()) OpenNetworkFile(path, true);
}

void CMainFrame::CmdExport() {
    QFileDialog dialog(this, QStringLiteral("保存主站网络配置"), QString(), QString::fromLatin1(kKldFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kld"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    ExportNetworkFile(dialog.selectedFiles().constFirst());
}

void CMainFrame::LoadRecentFiles() {
    auto profile = Profile();
    recentFiles_.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString file = profile->value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!file.isEmpty()) recentFiles_.append(file);
    }
}

void CMainFrame::AddRecentFile(const QString& path) {
    recentFiles_.removeAll(path);
    recentFiles_.prepend(path);
    while (recentFiles_.size() > kRecentFileCount) recentFiles_.removeLast();
    SaveRecentFiles();
}

void CMainFrame::RemoveRecentFile(const QString& path) {
    recentFiles_.removeAll(path);
    SaveRecentFiles();
}

void CMainFrame::SaveRecentFiles() {
    auto profile = Profile();
    for (int i = 0; i < kRecentFileCount; ++i) {
        const QString key = QStringLiteral("Recent File List/File%1").arg(i + 1);
        if (i < recentFiles_.size()) {
            profile->setValue(key, recentFiles_.at(i));
        } else {
            profile->remove(key);
        }
    }
    if (QMenu* file = MenuHolding(commands_->Action(cmd::kExit))) FillRecentFiles(file);
}

void CMainFrame::FillRecentFiles(QMenu* fileMenu) {
    QAction* exitAction = commands_->Action(cmd::kExit);
    // Recent files stand before the exit entry, behind a separator of their own.
    QAction* separator = fileMenu->findChild<QAction*>(QStringLiteral("RecentFilesSeparator"));
    for (int i = 0; i < kRecentFileCount; ++i) {
        fileMenu->removeAction(commands_->Action(static_cast<uint16_t>(kFirstRecentFileId + i)));
    }
    if (recentFiles_.isEmpty()) {
        if (separator != nullptr) separator->setVisible(false);
        return;
    }
    if (separator == nullptr) {
        separator = new QAction(fileMenu);
        separator->setObjectName(QStringLiteral("RecentFilesSeparator"));
        separator->setSeparator(true);
        fileMenu->insertAction(exitAction, separator);
    }
    separator->setVisible(true);
    for (int i = 0; i < recentFiles_.size(); ++i) {
        QAction* action = commands_->Action(static_cast<uint16_t>(kFirstRecentFileId + i));
        const QString file = recentFiles_.at(i);
        action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
        action->setStatusTip(QDir::toNativeSeparators(file));
        action->setToolTip(QDir::toNativeSeparators(file));
        fileMenu->insertAction(separator, action);
    }
    commands_->UpdateAll();
}

// ---- start, stop, timer ----

void CMainFrame::StartSelectedMaster() {
    CServerDev* master = SelectedMaster();
    if (master == nullptr) return;
    logPane_->Clear();
    if (master->IsRunning() != 0 || StartInProgress()) return;
    waitIndicator_->Begin();
    // The start talks to the adapter for a while: it runs on a worker, and the result comes back
    // on the user-interface thread. The destructor waits for the worker before the window goes,
    // so the result always finds the window.
    startPending_ = true;
    startJob_.Start([master, done = poster_.Relay<bool>([this, master](bool started) { OnStartDone(master, started); })] {
        done(master->Start() != 0);
    });
    UpdateCommands();
}

void CMainFrame::OnStartDone(CServerDev* master, bool started) {
    startJob_.Wait();
    startPending_ = false;
    waitIndicator_->End();
    started = started && master->IsRunning() != 0;
    if (started) {
        tree_->UpdateNodeState(master);
        propertyPane_->ShowNode(Selected(), true);
        if (runningMasters_ == 0) {
            refreshTimer_.start();
            ++refreshTimerStarts_;
        }
        ++runningMasters_;
    }
    UpdateCommands();
    emit startFinished(started);
}

void CMainFrame::StopSelectedMaster() {
    CServerDev* master = SelectedMaster();
    if (master == nullptr) return;
    master->Stop();
    tree_->UpdateNodeState(master);
    propertyPane_->ShowNode(Selected(), true);
    if (runningMasters_ > 0) --runningMasters_;
    StopRefreshIfIdle();
}

void CMainFrame::StopRefreshIfIdle() {
    if (runningMasters_ == 0) refreshTimer_.stop();
}

void CMainFrame::OnRefreshTimer() {
    tree_->RefreshStates(true);
    if (CDeviceBase* node = Selected()) node->RefreshDataCells();
    UpdateCommands();
}

// ---- network editing ----

void CMainFrame::CmdDeleteNode() {
    CDeviceBase* node = Selected();
    if (node == nullptr || node->IsRunning() != 0) return;
    // The item goes first (the selection moves to the item above, or below), then the node.
    tree_->DeleteNodeItem(node);
    CDeviceBase* now = tree_->SelectedNode();
    if (Selected() == node || Selected() != now) OnNodeSelected(now);
    if (propertyPane_->ShownNode() == node) propertyPane_->ShowNode(now, true);
    if (dataView_->ShownNode() == node) dataView_->ShowNode(now, true);
    dataView_->DropPanels(node);
    GetNetwork().DeleteNode(node);
}

void CMainFrame::CmdDeleteAllSlaves() {
    CDeviceBase* node = Selected();
    if (node == nullptr || node->IsMaster() == 0 || node->IsRunning() != 0) return;
    tree_->DeleteChildItems(node);
    CDeviceBase* now = tree_->SelectedNode();
    if (Selected() != now) OnNodeSelected(now);
    dataView_->DropPanels(node);
    node->RemoveAllChildren();
    propertyPane_->ShowNode(Selected(), true);
    dataView_->RefreshView(1);
}

void CMainFrame::CmdSearch() {
    CServerDev* master = SelectedMaster();
    if (master == nullptr || master->IsRunning() != 0) return;
    bool added = false;
    {
        CSearchDlg dialog(master, this);
        dialog.exec();
        added = dialog.SlavesAdded();
    }
    if (added) ShowAddedSlaves(master);
}

void CMainFrame::CmdCommission() {
    CServerDev* master = SelectedMaster();
    if (master == nullptr || master->IsRunning() != 0) return;
    bool added = false;
    {
        CCommissionDlg dialog(master, this);
        dialog.exec();
        added = dialog.SlaveAdded();
    }
    if (added) ShowAddedSlaves(master);
}

void CMainFrame::ShowAddedSlaves(CServerDev* master) {
    // The master's node is rebuilt with the slaves added.
    tree_->DeleteChildItems(master);
    for (int i = 0; i < master->GetChildCount(); ++i) tree_->InsertNode(master->GetChild(i), false);
    if (master->GetChildCount() > 0) tree_->ExpandToNode(master->GetChild(master->GetChildCount() - 1));
    tree_->SelectNode(master);
    OnNodeSelected(tree_->SelectedNode());
    propertyPane_->ShowNode(Selected(), true);
    dataView_->RefreshView(1);
}

void CMainFrame::CmdProperties() {
    CDeviceBase* node = Selected();
    if (node != nullptr) {
        bool accepted = false;
        if (node->IsMaster()) {
            CServerProperty dialog(ServerPropertyRules::kEdit, this);
            accepted = dialog.exec() == QDialog::Accepted && dialog.ResultMaster() != nullptr;
        } else {
            CSlaveProperty dialog(static_cast<CSlaveDev*>(node), this);
            accepted = dialog.Run() == QDialog::Accepted;
        }
        if (accepted) {
            tree_->UpdateNodeText(node);
            propertyPane_->ShowNode(node, true);
        }
    }
    dataView_->RefreshView(1);
}

void CMainFrame::CmdAddNetwork() {
    CServerProperty dialog(ServerPropertyRules::kNew, this);
    if (dialog.exec() != QDialog::Accepted) return;
    CServerDev* master = dialog.ResultMaster();
    if (master == nullptr) return;
    tree_->InsertNode(master);
    tree_->UpdateNodeText(master);
    tree_->SelectNode(master);
}

void CMainFrame::CmdAddSlaveFromEds(int position) {
    const std::vector<std::string>& names = GetGlobal().EdsNames();
    CServerDev* master = SelectedMaster();
    if (master == nullptr || position < 0 || static_cast<size_t>(position) >= names.size()) return;
    CSlaveProperty dialog(master, names[static_cast<size_t>(position)], this);
    if (dialog.Run() != QDialog::Accepted) return;
    CSlaveDev* first = dialog.ResultSlave();
    tree_->Rebuild();
    if (first != nullptr) {
        tree_->ExpandToNode(first);
        tree_->SelectNode(first);
    }
}

void CMainFrame::CmdImportEds() {
    QFileDialog dialog(this, QStringLiteral("选择EDS文件"), QString(), QStringLiteral("DeviceNet EDS(*.eds)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const EdsImportOutcome outcome = ImportEdsFile(GetGlobal().Eds(), dialog.selectedFiles().first().toStdString());
    if (!outcome.message.empty()) GetGlobal().ShowMessageBox(1, "%s", outcome.message.c_str());
    if (outcome.status != EdsImportOutcome::Status::kImported) return;
    // The drop-down takes the new name once it exists; a drop-down built later lists it anyway.
    if (addSlaveMenu_ != nullptr && !addSlaveMenu_->isEmpty()) AppendEdsEntry(outcome.position);
    commands_->UpdateAll();
}

// ---- view, help, about, language ----

void CMainFrame::CmdTogglePane(int paneId) {
    QDockWidget* pane = Pane(paneId);
    if (pane == nullptr) return;
    if (pane->isHidden()) {
        pane->show();
        pane->raise();
    } else {
        pane->close();
    }
}

void CMainFrame::CmdAbout() {
    auto* about = new TemplateDialog(resource_ids::kAboutDialog, this);
    about->setObjectName(QString::number(resource_ids::kAboutDialog));
    about->setAttribute(Qt::WA_DeleteOnClose);
    if (auto* icon = about->ControlAs<QLabel>(resource_ids::kAboutIcon)) {
        const int side = std::max(32, std::min(icon->width(), icon->height()));
        icon->setPixmap(QIcon(QStringLiteral(":/icons/app_norvane.svg")).pixmap(side, side));
    }
    about->open();
}

void CMainFrame::CmdHelp() {
    // help.chm when the desktop can show it, else the same pages as HTML.
    bool chmViewer = false;
    for (std::string_view type : name_share::kChmMimeTypes)
        chmViewer = chmViewer || name_share::DesktopHasHandlerFor(type, name_share::XdgDataDirs());
    const std::string file = name_share::HelpFileToOpen(GetGlobal().GetProgramDir(), chmViewer);
    const QString path = QFile::decodeName(QByteArray::fromStdString(file));
    if (!QFileInfo(path).isFile()) {
        ShowMessage(1, QStringLiteral("找不到帮助文件：%1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (GetGlobal().OpenProgramFile(file.substr(GetGlobal().GetProgramDir().size())) == 0) {
        ShowMessage(1, QStringLiteral("无法打开帮助文件：%1").arg(QDir::toNativeSeparators(path)));
    }
}

void CMainFrame::CmdLanguage(int index) {
    CGlobal& global = GetGlobal();
    if (global.SelectLanguage(index) == 0) {
        QString file;
        if (index >= 0 && static_cast<size_t>(index) < global.Languages().size()) {
            file = FromUtf8(global.GetProgramDir() + "language/" + global.Languages()[static_cast<size_t>(index)].resourceFile);
        }
        ShowMessage(1, QStringLiteral("无法读取语言文件：%1").arg(QDir::toNativeSeparators(file)));
        return;
    }
    LanguageNotifier::Instance().Notify();
}

void CMainFrame::OnLanguageChanged() {
    reloading_ = true;
    BuildMenuBar();
    if (contextMenu_ != nullptr) {
        contextMenu_->deleteLater();
        contextMenu_ = nullptr;
    }
    ApplyTexts();
    logPane_->RetranslateUi();
    propertyPane_->RetranslateUi();
    propertyPane_->ShowNode(Selected(), true);
    dataView_->RefreshView(2);
    reloading_ = false;
    UpdateCommands();
    update();
}

// ---- layout, close, drops ----

void CMainFrame::RestoreLayout() {
    auto profile = Profile();
    const QByteArray geometry = profile->value(QStringLiteral("Geometry")).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        // First start: room for the toolbar with its captions, within the screen.
        QSize size(1280, 820);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            size = size.boundedTo(screen->availableSize() * 9 / 10);
        }
        resize(size.expandedTo(minimumSize()));
    }
    const QByteArray layout = profile->value(QStringLiteral("NormalLayout")).toByteArray();
    if (!layout.isEmpty()) restoreState(layout);
    profile->beginGroup(QStringLiteral("CommandBars"));
    if (profile->contains(QStringLiteral("StatusBar"))) {
        statusBar()->setVisible(profile->value(QStringLiteral("StatusBar")).toBool());
    }
    profile->endGroup();
    // The network structure pane cannot be closed, whatever the saved layout says.
    Pane(kPaneNetwork)->setVisible(true);
}

void CMainFrame::SaveLayout() {
    auto profile = Profile();
    profile->setValue(QStringLiteral("Geometry"), saveGeometry());
    profile->setValue(QStringLiteral("NormalLayout"), saveState());
    profile->beginGroup(QStringLiteral("CommandBars"));
    profile->setValue(QStringLiteral("StatusBar"), !statusBar()->isHidden());
    profile->setValue(QStringLiteral("ToolBar"), !toolBar_->isHidden());
    profile->endGroup();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (StartInProgress()) {
        // A master is being started: the window closes once it is done.
        event->ignore();
        connect(this, &CMainFrame::startFinished, this, &QWidget::close, Qt::SingleShotConnection);
        return;
    }
    SaveLayout();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
        }
    }
    event->ignore();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            OpenNetworkFile(url.toLocalFile(), true);
            return;
        }
    }
}
