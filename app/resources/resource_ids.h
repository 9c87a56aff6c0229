// Ids of the menus, dialogs and dialog controls that several parts of the program share.
#pragma once

#include <cstdint>

namespace resource_ids {

// ---- Menus, toolbars, panes, commands and dialog templates ----

// Menus.
inline constexpr uint32_t kMainMenu = 128;     // the menu bar
inline constexpr uint32_t kContextMenu = 20003;  // pop-ups 0 "InfoWnd", 1 "Net", 2 "Slave", 3 "viewpop", 4 "REPORTRCLICK"
inline constexpr int kContextInfoWnd = 0;
inline constexpr int kContextNet = 1;
inline constexpr int kContextSlave = 2;
inline constexpr int kContextViewPop = 3;
inline constexpr int kContextReportClick = 4;

// Toolbars (the main toolbar shares id 128 with the menu bar).
inline constexpr uint32_t kMainToolBar = 128;
inline constexpr uint32_t kPropertyToolBar = 20044;  // IO配置, 参数配置, 属性配置

// Docking panes of the main window.
inline constexpr int kPaneNetwork = 32775;
inline constexpr int kPaneProperties = 32776;
inline constexpr int kPaneInformation = 32777;

// Commands of the menus and toolbars.
inline constexpr uint16_t kCommandNew = 57600;
inline constexpr uint16_t kCommandOpen = 57601;
inline constexpr uint16_t kCommandImport = 32771;
inline constexpr uint16_t kCommandExport = 32773;
inline constexpr uint16_t kCommandExportReport = 32860;  // File, "导出报告…": the network report as HTML or PDF
inline constexpr uint16_t kCommandExit = 57665;
inline constexpr uint16_t kCommandStart = 32786;
inline constexpr uint16_t kCommandStop = 32787;
inline constexpr uint16_t kCommandProperties = 32788;
inline constexpr uint16_t kCommandAddNetwork = 32789;
inline constexpr uint16_t kCommandDeleteSlave = 32790;
inline constexpr uint16_t kCommandAddSlave = 32791;
inline constexpr uint16_t kCommandDeleteAllSlaves = 32792;
inline constexpr uint16_t kCommandSearch = 32793;
inline constexpr uint16_t kCommandDeleteNetwork = 32816;
inline constexpr uint16_t kCommandIoConfig = 32819;
inline constexpr uint16_t kCommandParameters = 32820;
inline constexpr uint16_t kCommandExplicit = 32821;
inline constexpr uint16_t kCommandCommissionNode = 32862;  // Master, "节点调试…": a device's MAC ID and baud rate
inline constexpr uint16_t kCommandLanguagePlaceholder = 32830;  // "no", hidden once languages are listed
inline constexpr uint16_t kCommandNoMenu = 32834;               // no menu entry, never enabled
inline constexpr uint16_t kCommandImportEds = 32835;
inline constexpr uint16_t kCommandHelp = 32836;
inline constexpr uint16_t kCommandPropertyBar = 32778;
inline constexpr uint16_t kCommandInfoBar = 32779;
inline constexpr uint16_t kCommandToolBar = 59392;
inline constexpr uint16_t kCommandStatusBar = 59393;
inline constexpr uint16_t kCommandLogClear = 32780;
inline constexpr uint16_t kCommandLogSave = 32782;
inline constexpr uint16_t kCommandLogSettings = 32794;
inline constexpr uint16_t kCommandRefreshView = 32805;
inline constexpr uint16_t kCommandAbout = 57664;
// The data pane's format pop-up ("viewpop") and the parameter editor's ("REPORTRCLICK").
inline constexpr uint16_t kCommandDataFormat = 32825;
inline constexpr uint16_t kCommandParamRestore = 32826;
inline constexpr uint16_t kCommandParamDefault = 32827;
inline constexpr uint16_t kCommandParamDownloadOne = 32828;
inline constexpr uint16_t kCommandParamUploadOne = 32829;
// Ranges: the add-slave drop-down (one entry per EDS name), the recent files, the languages.
inline constexpr uint16_t kCommandFirstEdsEntry = 32900;
inline constexpr uint16_t kCommandLastEdsEntry = 33000;
inline constexpr uint16_t kCommandFirstRecentFile = 57616;
inline constexpr int kRecentFileCount = 4;
inline constexpr uint16_t kCommandFirstLanguage = 65000;
inline constexpr uint16_t kCommandLastLanguage = 65050;

// Dialog templates.
inline constexpr uint32_t kAboutDialog = 100;
inline constexpr uint32_t kSlaveDialog = 17003;
inline constexpr uint32_t kMasterDialog = 20019;
inline constexpr uint32_t kInfoSettingDialog = 20020;
inline constexpr uint32_t kSearchDialog = 20028;
inline constexpr uint32_t kExplicitConsoleDialog = 20032;
inline constexpr uint32_t kParameterDialog = 20037;
inline constexpr uint32_t kBitCheckDialog = 20038;
inline constexpr uint32_t kDataPaneDialog = 20041;
inline constexpr uint32_t kWaitDialog = 20046;
inline constexpr uint32_t kStatusPaneDialog = 20047;
inline constexpr uint32_t kCommissionDialog = 20060;

// ---- end of menus, toolbars, panes, commands and dialog templates ----

// Buttons every dialog uses.
inline constexpr uint16_t kIdOk = 1;
inline constexpr uint16_t kIdCancel = 2;

// About box.
inline constexpr uint16_t kAboutIcon = 1000;     // the program icon (STATIC, resource 128)
inline constexpr uint16_t kAboutVersion = 1001;  // "DeviceNet 测试工具   V1.013"

// Information-log settings.
inline constexpr uint16_t kCheckLogError = 1001;
inline constexpr uint16_t kCheckLogWarning = 1002;
inline constexpr uint16_t kCheckLogLog = 1003;
inline constexpr uint16_t kCheckShowMsg = 1004;

}  // namespace resource_ids
