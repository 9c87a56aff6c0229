// Ids of the menus, dialogs and dialog controls that several parts of the program share.
#pragma once

#include <cstdint>

namespace resource_ids {

// ---- Menus, toolbars, panes, commands and dialog templates ----

// Menus.
inline constexpr uint32_t kMainMenu = 128;  // the menu bar
inline constexpr uint32_t kContextMenu =
    20003;  // pop-ups 0 "InfoWnd", 1 "Net", 2 "Slave", 3 "viewpop", 4 "REPORTRCLICK"
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
inline constexpr uint16_t kCommandNoMenu = 32834;  // no menu entry, never enabled
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
inline constexpr uint16_t kAboutIcon = 1000;  // the program icon (STATIC, resource 128)
inline constexpr uint16_t kAboutVersion = 1001;  // "DeviceNet 测试工具   V1.013"

// Information-log settings.
inline constexpr uint16_t kCheckLogError = 1001;
inline constexpr uint16_t kCheckLogWarning = 1002;
inline constexpr uint16_t kCheckLogLog = 1003;
inline constexpr uint16_t kCheckShowMsg = 1004;

// ---- Fixed texts of the program (strings; built-in Chinese in builtin.xml) ----
// Status tables: the text of a slave status or master-API code is string kStatusTextBase + code,
// of an explicit reply's general status kExplicitStatusTextBase + code.
inline constexpr uint32_t kStatusTextBase = 62000;
inline constexpr uint32_t kExplicitStatusTextBase = 62200;
inline constexpr uint32_t kTextApiErrorTemplate = 62300;
inline constexpr uint32_t kTextExplicitErrorTemplate = 62301;
inline constexpr uint32_t kTextMasterNotStarted = 62302;
inline constexpr uint32_t kTextCannotReadNetworkFile = 62303;
inline constexpr uint32_t kTextNetworkFileUnreadable = 62304;
inline constexpr uint32_t kTextCannotWriteNetworkFile = 62305;
inline constexpr uint32_t kTextChooseEdsFile = 62306;
inline constexpr uint32_t kTextEdsFilter = 62307;
inline constexpr uint32_t kTextHelpMissing = 62308;
inline constexpr uint32_t kTextHelpCannotOpen = 62309;
inline constexpr uint32_t kTextLanguageUnreadable = 62310;
inline constexpr uint32_t kTextStartWait = 62311;
inline constexpr uint32_t kTextCannotWriteFile = 62312;
inline constexpr uint32_t kTextSlaveDialogTitle = 62313;
inline constexpr uint32_t kTextChooseDeviceNetEds = 62314;
inline constexpr uint32_t kTextOffline = 62315;
inline constexpr uint32_t kTextAttachFailed = 62316;
inline constexpr uint32_t kTextNote = 62317;
inline constexpr uint32_t kTextTransferBusy = 62318;
inline constexpr uint32_t kTextAskDefaults = 62319;
inline constexpr uint32_t kTextAskRestore = 62320;
inline constexpr uint32_t kTextNotHexDigit = 62321;
inline constexpr uint32_t kTextOddHexDigits = 62322;
inline constexpr uint32_t kTextTooManyBytes = 62323;
inline constexpr uint32_t kTextDefaultBits = 62324;
inline constexpr uint32_t kTextDefaultEnum = 62325;
inline constexpr uint32_t kTextDefault = 62326;
inline constexpr uint32_t kTextMinimum = 62327;
inline constexpr uint32_t kTextMaximum = 62328;
inline constexpr uint32_t kTextRangeMessage = 62329;
inline constexpr uint32_t kTextSetClassId = 62330;
inline constexpr uint32_t kTextClassIdNotHex = 62331;
inline constexpr uint32_t kTextSetInstanceId = 62332;
inline constexpr uint32_t kTextInstanceIdNotDecimal = 62333;
inline constexpr uint32_t kTextRetryCount = 62334;
inline constexpr uint32_t kTextRetriesExhausted = 62335;
inline constexpr uint32_t kTextServiceNotSupported = 62336;
inline constexpr uint32_t kTextNoSuchConnection = 62337;
inline constexpr uint32_t kTextWriteDone = 62338;
inline constexpr uint32_t kTextRetryRange = 62339;
inline constexpr uint32_t kTextAllAddressesUsed = 62340;
inline constexpr uint32_t kTextEdsNameExists = 62341;
inline constexpr uint32_t kTextCannotReadEds = 62342;
inline constexpr uint32_t kTextEdsWithoutIoInfo = 62343;
inline constexpr uint32_t kTextEdsNotUsed = 62344;
inline constexpr uint32_t kTextChooseSlaveAddress = 62345;
inline constexpr uint32_t kTextCannotCopyEds = 62346;
inline constexpr uint32_t kTextNoMasterChosen = 62347;
inline constexpr uint32_t kTextChooseCardModel = 62348;
inline constexpr uint32_t kTextChooseCardIndex = 62349;
inline constexpr uint32_t kTextChooseChannel = 62350;
inline constexpr uint32_t kTextChooseBaud = 62351;
inline constexpr uint32_t kTextChooseMasterAddress = 62352;
inline constexpr uint32_t kTextChannelTaken = 62353;
inline constexpr uint32_t kTextCannotMoveMaster = 62354;
inline constexpr uint32_t kTextIntegerRange = 62355;
inline constexpr uint32_t kTextXmlEmpty = 62360;
inline constexpr uint32_t kTextXmlMismatchedElement = 62361;
inline constexpr uint32_t kTextXmlBadElement = 62362;
inline constexpr uint32_t kTextXmlBadAttribute = 62363;
inline constexpr uint32_t kTextXmlBadText = 62364;
inline constexpr uint32_t kTextXmlBadCdata = 62365;
inline constexpr uint32_t kTextXmlBadComment = 62366;
inline constexpr uint32_t kTextXmlBadDeclaration = 62367;
inline constexpr uint32_t kTextXmlTooDeep = 62368;
inline constexpr uint32_t kTextXmlNotXml = 62369;
inline constexpr uint32_t kTextValueColumn = 62370;
inline constexpr uint32_t kTextImportEdsItem = 62371;
inline constexpr uint32_t kTextUnknownUserSet = 62372;
// Rows of the node commissioning steps: kCommissionTextBase + 0 to 36 (English forms in
// node_commissioning.cpp).
inline constexpr uint32_t kCommissionTextBase = 62400;

// Master-API failure contexts, parameter-transfer messages and network-file problems (the
// arguments in the order the comments give).
inline constexpr uint32_t kTextOpenFailed = 62440;  // type, index
inline constexpr uint32_t kTextInitFailed = 62441;  // type, index, channel
inline constexpr uint32_t kTextRemoveAllSlavesFailed = 62442;
inline constexpr uint32_t kTextAddSlaveFailed = 62443;  // MAC ID
inline constexpr uint32_t kTextExplicitRequestFailed = 62444;  // prefix, class, instance, attribute
inline constexpr uint32_t kTextDownloadPrefix = 62445;
inline constexpr uint32_t kTextUploadPrefix = 62446;
inline constexpr uint32_t kTextParameterSetFailed = 62447;
inline constexpr uint32_t kTextParameterReadFailed = 62448;
inline constexpr uint32_t kTextConsoleRequestFailed = 62449;  // service, class, instance
inline constexpr uint32_t kTextConsoleReadIoFailed = 62450;  // MAC ID
inline constexpr uint32_t kTextConsoleWriteIoFailed = 62451;  // MAC ID
inline constexpr uint32_t kTextFileMissingElement = 62452;  // line, element
inline constexpr uint32_t kTextFileBadHex = 62453;  // line, element, bytes read
inline constexpr uint32_t kTextFileBadAttribute = 62454;  // line, element, attribute
inline constexpr uint32_t kTextFileCardUnreadable = 62455;
inline constexpr uint32_t kTextFileCardPartial = 62456;
inline constexpr uint32_t kTextFileBadSlaveAddress = 62457;  // line, MAC ID
inline constexpr uint32_t kTextFileDuplicateSlave = 62458;  // line, MAC ID
inline constexpr uint32_t kTextFileSlaveAtMasterAddress = 62459;  // line, MAC ID
inline constexpr uint32_t kTextFileSlaveWithoutEdsPath = 62460;  // line
inline constexpr uint32_t kTextFileSlaveWithoutName = 62461;  // line
inline constexpr uint32_t kTextFileSubItemWithoutValue = 62462;  // line
inline constexpr uint32_t kTextFileSubItemBadHex = 62463;  // line, bytes read
inline constexpr uint32_t kTextFileDamaged = 62464;  // line, reason
inline constexpr uint32_t kTextFileCannotOpen = 62465;  // followed by the path
inline constexpr uint32_t kTextFileNotNetwork = 62466;  // followed by the path
inline constexpr uint32_t kTextFileEdsNotFound = 62467;  // slave name, path as written

}  // namespace resource_ids
