// The dialogs the main window's commands open, each run to its end: file choosers, the master,
// slave, search and commissioning dialogs, the explicit console, the parameter editor, the EDS
// import, the about box and the help file. The window updates its panes from what they return.
#pragma once

#include <QString>

#include <optional>
#include <string>

class CDeviceBase;
class CServerDev;
class CSlaveDev;
class QWidget;

namespace command_dialogs {

// The network file to import ("导入主站网络配置"), to open (Ctrl+O) or to export to
// ("保存主站网络配置"); empty when cancelled.
QString AskImportPath(QWidget* parent);
QString AskOpenPath(QWidget* parent);
QString AskExportPath(QWidget* parent);

// The master dialog for a new master; the master added, or nullptr.
CServerDev* AddMaster(QWidget* parent);
// The slave dialog for EDS name `edsName` on `master`; the first slave added, or nullptr.
CSlaveDev* AddSlaves(CServerDev& master, const std::string& edsName, QWidget* parent);
// The master or slave dialog on `node`; true when it was closed with OK.
bool EditNode(CDeviceBase& node, QWidget* parent);
// The search and the commissioning dialog of `master`; true when they added slaves.
bool SearchSlaves(CServerDev& master, QWidget* parent);
bool CommissionNode(CServerDev& master, QWidget* parent);
// The explicit message console and the parameter editor of a slave.
void ExplicitConsole(CSlaveDev& slave, QWidget* parent);
void ParameterEditor(CSlaveDev& slave, QWidget* parent);
// Asks for an EDS file and imports it; the position of its name in the EDS list when it was
// added, else nothing (a refusal is shown).
std::optional<int> ImportEds(QWidget* parent);

// The about box (dialog 100), left open.
void ShowAbout(QWidget* parent);
// Opens the help file (help.chm when the desktop can show it, else the HTML pages).
void OpenHelp();

}  // namespace command_dialogs
