// CMainFrame: the main window of Norvane. Menu bar 128 and the context menus of 20003 from the
// language resources, toolbar 128, a status bar showing each command's hint, the three docking
// panes (network structure, properties, information) around the data view, the command table
// with every enabling rule, the start of a master off the user-interface thread, the 500 ms
// refresh timer shared by all running masters, the language switch, files dropped on the
// window and the list of recent files. The network itself lives in the core (GetNetwork()).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "services/background_job.h"
#include "ui/widgets/ui_poster.h"

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
    // Pane ids (objectName of the dock widgets).
    static constexpr int kPaneNetwork = 32775;
    static constexpr int kPaneProperties = 32776;
    static constexpr int kPaneInformation = 32777;
    static constexpr int kMinimumWidth = 850;
    static constexpr int kMinimumHeight = 600;
    static constexpr int kRecentFileCount = 4;
    static constexpr uint16_t kFirstRecentFileId = 57616;  // 57616 .. 57619
    static constexpr uint16_t kFirstEdsEntryId = 32900;    // 32900 .. 33000
    static constexpr uint16_t kLastEdsEntryId = 33000;
    static constexpr uint16_t kFirstLanguageId = 65000;    // 65000 .. 65050
    static constexpr uint16_t kLastLanguageId = 65050;

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
    QMenu* ContextMenu(int subIndex);

    CommandTable& Commands() const { return *commands_; }
    // Runs a command when it is enabled (after re-evaluating the rules).
    bool RunCommand(uint16_t id);
    // Re-evaluates every enabled and checked rule.
    void UpdateCommands();

    CTreeDev* Tree() const { return tree_; }
    CPanePropertyGrid* PropertyPane() const { return propertyPane_; }
    CInfoLogPane* LogPane() const { return logPane_; }
    CDataView* DataView() const { return dataView_; }
    QDockWidget* Pane(int paneId) const;
    QToolBar* ToolBar() const { return toolBar_; }
    QToolButton* AddSlaveButton() const { return addSlaveButton_; }
    // The add-slave drop-down (built on first use; nullptr while the EDS list is empty).
    QMenu* AddSlaveMenu();
    // Appends an EDS name to the add-slave drop-down after an EDS import.
    void AppendEdsEntry(int position);
    // The "&Language" pop-up of the menu bar, filled with the languages.
    QMenu* LanguageMenu();
    void FillLanguageMenu();
    QStringList RecentFiles() const { return recentFiles_; }

    // Running masters started from this window and the state of the refresh timer.
    int RunningMasterCount() const { return runningMasters_; }
    bool RefreshTimerActive() const { return refreshTimer_.isActive(); }
    // How many times the refresh timer was started (one start for any number of masters).
    int RefreshTimerStarts() const { return refreshTimerStarts_; }
    bool StartInProgress() const { return startPending_; }
    CWaitIndicator* WaitIndicator() const { return waitIndicator_; }

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

    // Where the window layout and the recent files are kept (QSettings); tests use a file.
    static void SetProfileFile(const QString& path);

signals:
    // A start command finished (after the wait indicator was closed).
    void startFinished(bool started);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateCommands();
    void CreateToolBar();
    void CreatePanes();
    void BuildMenuBar();
    void ApplyTexts();
    void RestoreLayout();
    void SaveLayout();
    void LoadRecentFiles();
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);  // a file that no longer exists
    void SaveRecentFiles();
    void FillRecentFiles(QMenu* fileMenu);

    // Selection and rules.
    CDeviceBase* Selected() const;
    CServerDev* SelectedMaster() const;
    bool Idle() const { return !StartInProgress(); }
    void OnNodeSelected(CDeviceBase* node);
    void ShowSelectedInPanes(bool force);

    // Commands.
    void CmdImport();
    void CmdExport();
    void CmdOpen();
    void OnStartDone(CServerDev* master, bool started);
    void CmdDeleteNode();
    void CmdDeleteAllSlaves();
    void CmdSearch();
    void CmdCommission();
    // Rebuilds the master's tree node after slaves were added to it by a dialog.
    void ShowAddedSlaves(CServerDev* master);
    void CmdProperties();
    void CmdAddNetwork();
    void CmdAddSlaveFromEds(int position);
    void CmdImportEds();
    void CmdTogglePane(int paneId);
    void CmdAbout();
    void CmdHelp();
    void CmdLanguage(int index);
    void StopRefreshIfIdle();

    std::unique_ptr<CommandTable> commands_;
    std::unique_ptr<CQtHost> host_;
    CTreeDev* tree_ = nullptr;
    CPanePropertyGrid* propertyPane_ = nullptr;
    CInfoLogPane* logPane_ = nullptr;
    CDataView* dataView_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QToolButton* addSlaveButton_ = nullptr;
    QPointer<QMenu> addSlaveMenu_;
    QPointer<QMenu> contextMenu_;  // menu 20003, its pop-ups are its sub-menus
    CWaitIndicator* waitIndicator_ = nullptr;

    QTimer refreshTimer_;
    int runningMasters_ = 0;
    int refreshTimerStarts_ = 0;
    bool reloading_ = false;
    bool pendingOpened_ = false;
    QStringList recentFiles_;

    name_share::BackgroundJob startJob_;  // the master start; its result comes back through poster_
    bool startPending_ = false;           // from the start command until its result has arrived
    UiPoster poster_{this};
    std::atomic<bool> closing_{false};
};
