// CMainFrame: the main window of Norvane. The command bars (menus, toolbar, context menus), a
// status bar showing each command's hint, the three docking panes (network structure,
// properties, information) around the data view, the command table with its handlers (the
// enabling rules are the core's CommandRules), the node selected in the tree, the start of a
// master off the user-interface thread, the 500 ms refresh timer shared by all running masters,
// the language switch and files dropped on the window. The network itself lives in the core
// (GetNetwork()).
#pragma once

#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <memory>

#include "resources/resource_ids.h"
#include "ui/frame/command_bars.h"
#include "ui/frame/master_runner.h"
#include "ui/frame/network_views.h"
#include "ui/frame/recent_files.h"

class CDataView;
class CDeviceBase;
class CInfoLogPane;
class CPanePropertyGrid;
class CQtHost;
class CServerDev;
class CTreeDev;
class CWaitIndicator;
class CommandTable;
class QDockWidget;
class QMenu;
class QToolBar;
class QToolButton;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 850;
    static constexpr int kMinimumHeight = 600;

    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Loads a network file into the network model; with `rebuild` the tree is rebuilt and its
    // first node selected. A file that cannot be read is reported and the network stays as it
    // was. Empty paths are ignored. True when the file was read.
    bool OpenNetworkFile(const QString& path, bool rebuild = true);
    // Writes the whole network to `path`; false (with a message) when it cannot be written.
    bool ExportNetworkFile(const QString& path);
    // Loads CGlobal's pending network file (a file opened before the window existed), once.
    void OpenPendingNetworkFile();

    // Shows sub-menu `subIndex` of menu 20003 ("InfoWnd", "Net", "Slave", "viewpop",
    // "REPORTRCLICK") at `globalPos`; the chosen command runs through the command table.
    void ShowContextMenu(int subIndex, const QPoint& globalPos);
    // The sub-menu of menu 20003 (built once, on first use); nullptr when it does not exist.
    QMenu* ContextMenu(int subIndex) { return bars_->ContextMenu(subIndex); }

    CommandTable& Commands() const { return *commands_; }
    // Runs a command when it is enabled (after re-evaluating the rules).
    bool RunCommand(uint16_t id);
    // Re-evaluates every enabled and checked rule.
    void UpdateCommands();

    // The node selected in the network tree (none: nullptr).
    CDeviceBase* SelectedNode() const { return views_->Selected(); }
    // WM_REFRESH_VIEW: the data view shows the selected node; force != 0 rebuilds its panel.
    void RefreshView(int force) { views_->RefreshView(force); }

    CTreeDev* Tree() const { return tree_; }
    CPanePropertyGrid* PropertyPane() const { return propertyPane_; }
    CInfoLogPane* LogPane() const { return logPane_; }
    CDataView* DataView() const { return dataView_; }
    QDockWidget* Pane(int paneId) const;
    QToolBar* ToolBar() const { return bars_->ToolBar(); }
    QToolButton* AddSlaveButton() const { return bars_->AddSlaveButton(); }
    // The add-slave drop-down (built on first use; nullptr while the EDS list is empty).
    QMenu* AddSlaveMenu() { return bars_->AddSlaveMenu(); }
    // The "&Language" pop-up of the menu bar, filled with the languages.
    QMenu* LanguageMenu() { return bars_->LanguageMenu(); }
    void FillLanguageMenu() { bars_->FillLanguageMenu(); }
    QStringList RecentFiles() const { return recent_.Files(); }

    // Running masters started from this window and the state of the refresh timer.
    int RunningMasterCount() const { return runner_->RunningCount(); }
    bool RefreshTimerActive() const { return runner_->TimerActive(); }
    // How many times the refresh timer was started (one start for any number of masters).
    int RefreshTimerStarts() const { return runner_->TimerStarts(); }
    bool StartInProgress() const { return runner_->Starting(); }
    CWaitIndicator* WaitIndicator() const { return runner_->WaitIndicator(); }

    // The handlers of "启动" (32786) and "停止" (32787) for the selected master, also when the
    // rules would not offer them: start clears the log, then starts a stopped master on a
    // worker thread behind the wait indicator; stop stops it and kills the refresh timer with
    // the last running master.
    void StartSelectedMaster();
    void StopSelectedMaster();

    // WM_LANGUAGE_CHANGED: reloads every text of the window.
    void OnLanguageChanged();
    bool Reloading() const { return reloading_; }
    // One tick of the refresh timer.
    void OnRefreshTimer();

signals:
    // A start command finished (after the wait indicator was closed).
    void startFinished(bool started);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateCommands();
    void CreatePanes();
    void ApplyTexts();
    void FitPanes();

    // Commands.
    void CmdOpenRecent(int position);
    void OnStarted(CServerDev* master, bool started);
    void CmdTogglePane(int paneId);
    void CmdLanguage(int index);

    std::unique_ptr<CommandTable> commands_;
    std::unique_ptr<CQtHost> host_;
    ::RecentFiles recent_;
    CommandBars* bars_ = nullptr;
    CTreeDev* tree_ = nullptr;
    CPanePropertyGrid* propertyPane_ = nullptr;
    CInfoLogPane* logPane_ = nullptr;
    CDataView* dataView_ = nullptr;
    MasterRunner* runner_ = nullptr;
    NetworkViews* views_ = nullptr;
    bool reloading_ = false;
    // The side panes keep the widths FitPanes gave them (no saved layout, not moved by the user).
    bool panesAtDefault_ = true;
    QSize fittedPaneWidths_;  // network, properties; empty until the window showed them
    bool pendingOpened_ = false;
};
