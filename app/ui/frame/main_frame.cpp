#include "ui/frame/main_frame.h"

#include <QCloseEvent>
#include <QDir>
#include <QAbstractButton>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

#include "network/command_rules.h"
#include "network/network.h"
#include "network/network_file.h"
#include "network/server_dev.h"
#include "services/global.h"
#include "ui/frame/command_bars.h"
#include "ui/frame/command_dialogs.h"
#include "ui/frame/command_table.h"
#include "ui/frame/data_view.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/network_views.h"
#include "ui/frame/property_pane.h"
#include "ui/frame/qt_host.h"
#include "ui/frame/report_export.h"
#include "ui/frame/tree_dev.h"
#include "ui/frame/window_profile.h"
#include "ui/widgets/language_events.h"
#include "ui/widgets/qt_translations.h"
#include "ui/widgets/ui_text.h"

namespace {

namespace ids = resource_ids;

// String ids of the window's texts.
constexpr uint32_t kTitleString = 57344;
constexpr uint32_t kPaneNetworkTitle = 10002;
constexpr uint32_t kPanePropertiesTitle = 10000;
constexpr uint32_t kPaneInformationTitle = 10001;
// Width of the side panes before their contents are measured.
constexpr int kDefaultPaneWidth = 230;

// A message box of level 0 (error) or 1 (warning) through CGlobal, with that level's caption.
void ShowMessage(int level, const QString& text) { GetGlobal().ShowMessageBox(level, "%s", text.toUtf8().constData()); }

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), commands_(std::make_unique<CommandTable>()) {
    setObjectName(QStringLiteral("CMainFrame"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setAcceptDrops(true);
    setWindowIcon(QIcon(QStringLiteral(":/icons/app_norvane.svg")));
    FollowLanguageInQt();  // Qt's own texts in the language chosen at start

    runner_ = new MasterRunner(this);
    CreateCommands();
    statusBar()->setObjectName(QString::number(ids::kCommandStatusBar));
    CreatePanes();
    bars_ = new CommandBars(*this, *commands_, recent_, [this] { UpdateCommands(); });
    bars_->BuildMenuBar();
    ApplyTexts();

    connect(runner_, &MasterRunner::started, this, &CMainFrame::OnStarted);
    connect(runner_, &MasterRunner::tick, this, &CMainFrame::OnRefreshTimer);

    host_ = std::make_unique<CQtHost>();
    host_->SetLogPane(logPane_);
    host_->SetMainWindow(this);
    GetGlobal().SetHost(host_.get());

    // The language notification arrives like a posted message: after the command that caused it.
    connect(&LanguageNotifier::Instance(), &LanguageNotifier::languageChanged, this, &CMainFrame::OnLanguageChanged,
            Qt::QueuedConnection);

    panesAtDefault_ = !window_profile::Restore(*this);
    FitPanes();
    // The network structure pane cannot be closed, whatever the saved layout says.
    Pane(ids::kPaneNetwork)->setVisible(true);
    tree_->Rebuild();
    views_->Select(tree_->SelectedNode());
}

CMainFrame::~CMainFrame() {
    // The children go after the members: their last signals (panes hiding, the tree emptying)
    // must not reach this window any more.
    for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
    delete views_;  // before the panes it shows
    delete runner_;  // waits for a start under way
    if (GetGlobal().Host() == host_.get()) GetGlobal().SetHost(nullptr);
}

// ---- building ----

void CMainFrame::CreateCommands() {
    // Handler and checked rule of each command; the enabling rule is CommandRules' of its id.
    struct Entry {
        uint16_t id;
        void (*run)(CMainFrame&);
        bool (*checked)(const CMainFrame&) = nullptr;
    };
    static constexpr auto paneShown = [](const CMainFrame& f, int id) {
        const QDockWidget* pane = f.Pane(id);
        return pane != nullptr && !pane->isHidden();
    };
    static constexpr Entry kCommands[] = {
        {ids::kCommandImport, [](CMainFrame& f) { f.OpenNetworkFile(command_dialogs::AskImportPath(&f)); }},
        {ids::kCommandExport, [](CMainFrame& f) { f.ExportNetworkFile(command_dialogs::AskExportPath(&f)); }},
        {ids::kCommandExportReport, [](CMainFrame& f) { ExportReportWithDialog(&f); }},
        {ids::kCommandExit, [](CMainFrame& f) { f.close(); }},
        {ids::kCommandOpen, [](CMainFrame& f) { f.OpenNetworkFile(command_dialogs::AskOpenPath(&f)); }},
        {ids::kCommandNew, [](CMainFrame& f) { f.views_->RefreshView(1); }},
        {ids::kCommandStart, [](CMainFrame& f) { f.StartSelectedMaster(); }},
        {ids::kCommandStop, [](CMainFrame& f) { f.StopSelectedMaster(); }},
        {ids::kCommandAddNetwork, [](CMainFrame& f) { f.views_->AddMaster(&f); }},
        {ids::kCommandDeleteNetwork, [](CMainFrame& f) { f.views_->DeleteSelected(); }},
        {ids::kCommandProperties, [](CMainFrame& f) { f.views_->EditSelected(&f); }},
        {ids::kCommandAddSlave, [](CMainFrame& f) { f.bars_->PopUpAddSlaveMenu(); }},
        {ids::kCommandDeleteSlave, [](CMainFrame& f) { f.views_->DeleteSelected(); }},
        {ids::kCommandDeleteAllSlaves, [](CMainFrame& f) { f.views_->DeleteAllSlaves(); }},
        {ids::kCommandSearch, [](CMainFrame& f) { f.views_->SearchSlaves(&f); }},
        {ids::kCommandCommissionNode, [](CMainFrame& f) { f.views_->CommissionNode(&f); }},
        {ids::kCommandExplicit, [](CMainFrame& f) { f.views_->ExplicitConsole(&f); }},
        {ids::kCommandParameters, [](CMainFrame& f) { f.views_->ParameterEditor(&f); }},
        {ids::kCommandIoConfig, [](CMainFrame&) {}},
        {ids::kCommandNoMenu, [](CMainFrame&) {}},
        {ids::kCommandLanguagePlaceholder, [](CMainFrame&) {}},
        {ids::kCommandImportEds, [](CMainFrame& f) { f.bars_->ShowImportedEds(command_dialogs::ImportEds(&f)); }},
        {ids::kCommandPropertyBar, [](CMainFrame& f) { f.CmdTogglePane(ids::kPaneProperties); },
         [](const CMainFrame& f) { return paneShown(f, ids::kPaneProperties); }},
        {ids::kCommandInfoBar, [](CMainFrame& f) { f.CmdTogglePane(ids::kPaneInformation); },
         [](const CMainFrame& f) { return paneShown(f, ids::kPaneInformation); }},
        {ids::kCommandToolBar, [](CMainFrame& f) { f.ToolBar()->setVisible(f.ToolBar()->isHidden()); },
         [](const CMainFrame& f) { return f.bars_ != nullptr && !f.ToolBar()->isHidden(); }},
        {ids::kCommandStatusBar, [](CMainFrame& f) { f.statusBar()->setVisible(f.statusBar()->isHidden()); },
         [](const CMainFrame& f) { return !f.statusBar()->isHidden(); }},
        {ids::kCommandLogClear, [](CMainFrame& f) { f.logPane_->Clear(); }},
        {ids::kCommandLogSave, [](CMainFrame& f) { f.logPane_->SaveWithDialog(); }},
        {ids::kCommandLogSettings, [](CMainFrame& f) { f.logPane_->ShowSettings(); }},
        {ids::kCommandRefreshView, [](CMainFrame& f) { f.views_->RefreshView(0); }},
        {ids::kCommandAbout, [](CMainFrame& f) { command_dialogs::ShowAbout(&f); }},
        {ids::kCommandHelp, [](CMainFrame&) { command_dialogs::OpenHelp(); }},
    };
    CommandTable& t = *commands_;
    auto add = [this, &t](uint16_t id, CommandTable::Handler run, CommandTable::Rule checked = {}) {
        CommandTable::Rule enabled;
        if (const CommandRule r = CommandRules::RuleOf(id); r != CommandRule::kAlways) {
            enabled = [this, r] {
                const CDeviceBase* selected = views_ != nullptr ? views_->Selected() : nullptr;
                return CommandRules::Enabled(r, CommandState::Of(selected, StartInProgress()));
            };
        }
        t.Add(id, std::move(run), std::move(enabled), std::move(checked));
    };
    for (const Entry& e : kCommands) {
        CommandTable::Rule checked;
        if (e.checked != nullptr) checked = [this, c = e.checked] { return c(*this); };
        CommandTable::Handler run = [this, r = e.run] { r(*this); };
        add(e.id, std::move(run), std::move(checked));
    }
    // The add-slave drop-down: one entry per possible EDS name.
    for (uint16_t id = ids::kCommandFirstEdsEntry; id <= ids::kCommandLastEdsEntry; ++id) {
        add(id, [this, position = size_t{id} - ids::kCommandFirstEdsEntry] {
            const std::vector<std::string>& names = GetGlobal().EdsNames();
            if (position < names.size()) views_->AddSlaves(names[position], this);
        });
    }
    // Languages: ticked for the current one.
    for (uint16_t id = ids::kCommandFirstLanguage; id <= ids::kCommandLastLanguage; ++id) {
        const int index = id - ids::kCommandFirstLanguage;
        CommandTable::Handler choose = [this, index] { CmdLanguage(index); };
        add(id, std::move(choose), [index] { return GetGlobal().CurrentLanguage() == index; });
    }
    for (int i = 0; i < ids::kRecentFileCount; ++i) {
        add(static_cast<uint16_t>(ids::kCommandFirstRecentFile + i), [this, i] { CmdOpenRecent(i); });
    }
    for (uint16_t id : {ids::kCommandOpen, ids::kCommandNew}) {
        QAction* action = t.Action(id);
        action->setShortcut(id == ids::kCommandOpen ? QKeySequence::Open : QKeySequence::New);
        addAction(action);  // the shortcuts work without a menu entry
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
    QDockWidget* network = makePane(ids::kPaneNetwork, tree_, Qt::LeftDockWidgetArea, false);
    QDockWidget* information = makePane(ids::kPaneInformation, logPane_, Qt::BottomDockWidgetArea, true);
    QDockWidget* properties = makePane(ids::kPaneProperties, propertyPane_, Qt::RightDockWidgetArea, true);
    resizeDocks({network, properties}, {kDefaultPaneWidth, kDefaultPaneWidth}, Qt::Horizontal);
    resizeDocks({information}, {160}, Qt::Vertical);

    views_ = new NetworkViews(*tree_, *propertyPane_, *dataView_, this);
    connect(views_, &NetworkViews::selectionChanged, this, [this] { UpdateCommands(); });
    connect(tree_, &CTreeDev::contextMenuRequested, this, [this](QPoint pos, const QString& caption) {
        ShowContextMenu(caption == QLatin1String("Slave") ? ids::kContextSlave : ids::kContextNet, pos);
    });
    connect(logPane_, &CInfoLogPane::contextMenuRequested, this,
            [this](QPoint pos) { ShowContextMenu(ids::kContextInfoWnd, pos); });
}

void CMainFrame::FitPanes() {
    QDockWidget* network = Pane(ids::kPaneNetwork);
    QDockWidget* properties = Pane(ids::kPaneProperties);
    if (!panesAtDefault_ || network == nullptr || properties == nullptr) return;
    if (network->isFloating() || properties->isFloating() ||
        (fittedPaneWidths_.isValid() && isVisible() &&
         fittedPaneWidths_ != QSize(network->width(), properties->width()))) {
        panesAtDefault_ = false;  // the user's widths stay
        return;
    }
    // The tree as wide as its longest name, the property pane as wide as its toolbar with
    // captions beside the icons; each at most 7/20 of the window.
    const int most = std::max(kDefaultPaneWidth, width() * 7 / 20);
    int tree = std::clamp(tree_->WidthForNames(), kDefaultPaneWidth, most);
    int grid = std::clamp(propertyPane_->WidthForCaptions(), kDefaultPaneWidth, most);
    // The data panes come first: what the panes would take from them goes back, from the
    // property pane first (its toolbar can put its captions below the icons).
    const int room = width() - dataView_->WidthForPanes();
    if (tree + grid > room) grid = std::max(kDefaultPaneWidth, room - tree);
    if (tree + grid > room) tree = std::max(kDefaultPaneWidth, room - grid);
    resizeDocks({network, properties}, {tree, grid}, Qt::Horizontal);
    QTimer::singleShot(0, this, [this, network, properties] {
        if (isVisible()) fittedPaneWidths_ = QSize(network->width(), properties->width());
    });
}

void CMainFrame::ApplyTexts() {
    bars_->ApplyTexts();
    setWindowTitle(LoadText(kTitleString));
    Pane(ids::kPaneNetwork)->setWindowTitle(LoadText(kPaneNetworkTitle));
    Pane(ids::kPaneProperties)->setWindowTitle(LoadText(kPanePropertiesTitle));
    Pane(ids::kPaneInformation)->setWindowTitle(LoadText(kPaneInformationTitle));
    // A screen reader names each pane's contents after the pane, in the current language.
    for (int pane : {ids::kPaneNetwork, ids::kPaneProperties, ids::kPaneInformation}) {
        if (QWidget* contents = Pane(pane)->widget()) contents->setAccessibleName(Pane(pane)->windowTitle());
    }
    // Qt names the float and close buttons of a pane once, in the language of that moment.
    for (QDockWidget* pane : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (auto* button = pane->findChild<QAbstractButton*>(QStringLiteral("qt_dockwidget_floatbutton"))) {
            button->setAccessibleName(QDockWidget::tr("Float"));
            button->setAccessibleDescription(QDockWidget::tr("Undocks and re-attaches the dock widget"));
        }
        if (auto* button = pane->findChild<QAbstractButton*>(QStringLiteral("qt_dockwidget_closebutton"))) {
            button->setAccessibleName(QDockWidget::tr("Close"));
            button->setAccessibleDescription(QDockWidget::tr("Closes the dock widget"));
        }
    }
}

QDockWidget* CMainFrame::Pane(int paneId) const {
    return findChild<QDockWidget*>(QString::number(paneId), Qt::FindDirectChildrenOnly);
}

void CMainFrame::ShowContextMenu(int subIndex, const QPoint& globalPos) {
    if (QMenu* menu = ContextMenu(subIndex)) {
        UpdateCommands();
        menu->popup(globalPos);
    }
}

// ---- commands ----

bool CMainFrame::RunCommand(uint16_t id) {
    commands_->UpdateAll();
    return commands_->Execute(id);
}

void CMainFrame::UpdateCommands() {
    if (commands_) commands_->UpdateAll();
}

// ---- network files ----

bool CMainFrame::OpenNetworkFile(const QString& path, bool rebuild) {
    if (path.isEmpty() || StartInProgress()) return false;
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(info.absoluteFilePath());
    if (!info.isFile() || !info.isReadable()) {
        ShowMessage(0, LoadText(resource_ids::kTextCannotReadNetworkFile).arg(shown));
        return false;
    }
    const std::string local = QFile::encodeName(info.absoluteFilePath()).toStdString();
    // A file that is no network (binary, another document, nothing readable) would only empty
    // the network: keep it.
    if (CheckNetworkFile(local) != NetworkFileRefusal::None) {
        ShowMessage(0, LoadText(resource_ids::kTextNetworkFileUnreadable).arg(shown));
        return false;
    }

    // The views let go of the nodes, and the refresh timer stops, before the network is
    // replaced: reading it may show a box (an adapter that cannot be opened), and the box's
    // event loop must not reach the nodes that are gone.
    views_->LetGo();
    runner_->Forget();
    // Reading stops and replaces every master, also the running ones.
    LoadNetworkFile(GetNetwork(), local);
    views_->ShowLoaded(rebuild);
    FitPanes();
    recent_.Add(info.absoluteFilePath());
    bars_->FillRecentFiles();
    return true;
}

bool CMainFrame::ExportNetworkFile(const QString& path) {
    if (path.isEmpty()) return false;
    if (!SaveNetworkFile(GetNetwork(), QFile::encodeName(path).toStdString())) {
        ShowMessage(0, LoadText(resource_ids::kTextCannotWriteNetworkFile).arg(QDir::toNativeSeparators(path)));
        return false;
    }
    recent_.Add(QFileInfo(path).absoluteFilePath());
    bars_->FillRecentFiles();
    return true;
}

void CMainFrame::OpenPendingNetworkFile() {
    if (pendingOpened_) return;
    pendingOpened_ = true;
    const std::string pending = GetGlobal().PendingNetworkFile();
    GetGlobal().SetPendingNetworkFile(std::string());
    if (!pending.empty()) OpenNetworkFile(QFile::decodeName(QByteArray::fromStdString(pending)), true);
}

void CMainFrame::CmdOpenRecent(int position) {
    if (position >= recent_.Files().size()) return;
    const QString file = recent_.Files().at(position);
    if (!OpenNetworkFile(file, true) && !QFileInfo::exists(file)) {
        recent_.Remove(file);
        bars_->FillRecentFiles();
    }
}

// ---- start, stop, timer ----

void CMainFrame::StartSelectedMaster() {
    CServerDev* master = views_->SelectedMaster();
    if (master == nullptr) return;
    logPane_->Clear();
    runner_->Start(master);
    UpdateCommands();
}

void CMainFrame::OnStarted(CServerDev* master, bool started) {
    if (started) views_->ShowMasterState(master);
    UpdateCommands();
    emit startFinished(started);
}

void CMainFrame::StopSelectedMaster() {
    CServerDev* master = views_->SelectedMaster();
    if (master == nullptr) return;
    runner_->Stop(master);
    views_->ShowMasterState(master);
}

void CMainFrame::OnRefreshTimer() {
    views_->Refresh();
    UpdateCommands();
}

// ---- view, help, about, language ----

void CMainFrame::CmdTogglePane(int paneId) {
    QDockWidget* pane = Pane(paneId);
    if (pane->isHidden()) {
        pane->show();
        pane->raise();
    } else {
        pane->close();
    }
}

void CMainFrame::CmdLanguage(int index) {
    CGlobal& global = GetGlobal();
    if (global.SelectLanguage(index) != 0) {
        LanguageNotifier::Instance().Notify();
        return;
    }
    const auto& languages = global.Languages();
    const QString file = index < 0 || static_cast<size_t>(index) >= languages.size()
                             ? QString()
                             : QString::fromStdString(global.GetProgramDir() + "language/" +
                                                      languages[static_cast<size_t>(index)].resourceFile);
    ShowMessage(1, LoadText(resource_ids::kTextLanguageUnreadable).arg(QDir::toNativeSeparators(file)));
}

void CMainFrame::OnLanguageChanged() {
    reloading_ = true;
    bars_->BuildMenuBar();
    ApplyTexts();
    logPane_->RetranslateUi();
    tree_->RetranslateUi();
    views_->Retranslate();
    FitPanes();
    reloading_ = false;
    UpdateCommands();
    update();
}

// ---- close, drops ----

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (StartInProgress()) {
        // A master is being started: the window closes once it is done.
        event->ignore();
        connect(this, &CMainFrame::startFinished, this, &QWidget::close, Qt::SingleShotConnection);
        return;
    }
    window_profile::Save(*this, *ToolBar());
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    const bool local = std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    local ? event->acceptProposedAction() : event->ignore();
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
