#include "ui/frame/command_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>

#include <algorithm>

#include "network/eds_import.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/resource_ids.h"
#include "services/global.h"
#include "services/help_file.h"
#include "ui/monitor/param_dlg.h"
#include "ui/monitor/varda_pane.h"
#include "ui/network/commission_dlg.h"
#include "ui/network/search_dlg.h"
#include "ui/network/server_property.h"
#include "ui/network/slave_property.h"
#include "ui/widgets/template_dialog.h"
#include "ui/widgets/ui_text.h"

namespace command_dialogs {
namespace {

// Network files: string 61602 names them; both cases of the extension are offered.
constexpr uint32_t kTextImportTitle = 61600;  // "导入主站网络配置"
constexpr uint32_t kTextSaveTitle = 61601;  // "保存主站网络配置"
constexpr uint32_t kTextKldFilter = 61602;  // "Norvane(*.KLD)"
constexpr uint32_t kTextAllFilter = 61603;  // "All Text(*.*)"

QString KldFilter() { return FileFilter(kTextKldFilter, "*.KLD *.kld"); }

void ShowWarning(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    GetGlobal().ShowMessageBox(1, "%s", utf8.constData());
}

}  // namespace

QString AskImportPath(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, LoadText(kTextImportTitle), QString(),
                                        KldFilter() + QStringLiteral(";;") + FileFilter(kTextAllFilter, "*"));
}

QString AskOpenPath(QWidget* parent) { return QFileDialog::getOpenFileName(parent, QString(), QString(), KldFilter()); }

QString AskExportPath(QWidget* parent) {
    QFileDialog dialog(parent, LoadText(kTextSaveTitle), QString(), KldFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("kld"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

CServerDev* AddMaster(QWidget* parent) {
    CServerProperty dialog(ServerPropertyRules::kNew, nullptr, parent);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    return dialog.ResultMaster();
}

CSlaveDev* AddSlaves(CServerDev& master, const std::string& edsName, QWidget* parent) {
    CSlaveProperty dialog(&master, edsName, parent);
    if (dialog.Run() != QDialog::Accepted) return nullptr;
    return dialog.ResultSlave();
}

bool EditNode(CDeviceBase& node, QWidget* parent) {
    if (node.IsMaster() != 0) {
        CServerProperty dialog(ServerPropertyRules::kEdit, &node, parent);
        return dialog.exec() == QDialog::Accepted && dialog.ResultMaster() != nullptr;
    }
    CSlaveProperty dialog(static_cast<CSlaveDev*>(&node), parent);
    return dialog.Run() == QDialog::Accepted;
}

bool SearchSlaves(CServerDev& master, QWidget* parent) {
    CSearchDlg dialog(&master, parent);
    dialog.exec();
    return dialog.SlavesAdded();
}

bool CommissionNode(CServerDev& master, QWidget* parent) {
    CCommissionDlg dialog(&master, parent);
    dialog.exec();
    return dialog.SlaveAdded();
}

void ExplicitConsole(CSlaveDev& slave, QWidget* parent) {
    CVARDAPane pane(slave, parent);
    pane.exec();
}

void ParameterEditor(CSlaveDev& slave, QWidget* parent) {
    CParamDlg dialog(slave, parent);
    dialog.exec();
}

std::optional<int> ImportEds(QWidget* parent) {
    QFileDialog dialog(parent, LoadText(resource_ids::kTextChooseEdsFile), QString(),
                       FileFilter(resource_ids::kTextEdsFilter, "*.eds *.EDS"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    const EdsImportOutcome outcome = ImportEdsFile(GetGlobal().Eds(), dialog.selectedFiles().first().toStdString());
    if (!outcome.message.empty()) GetGlobal().ShowMessageBox(1, "%s", outcome.message.c_str());
    if (outcome.status != EdsImportOutcome::Status::kImported) return std::nullopt;
    return outcome.position;
}

void ShowAbout(QWidget* parent) {
    auto* about = new TemplateDialog(resource_ids::kAboutDialog, parent);
    about->setObjectName(QString::number(resource_ids::kAboutDialog));
    about->setAttribute(Qt::WA_DeleteOnClose);
    if (auto* icon = about->ControlAs<QLabel>(resource_ids::kAboutIcon)) {
        const int side = std::max(32, std::min(icon->width(), icon->height()));
        icon->setPixmap(QIcon(QStringLiteral(":/icons/app_norvane.svg")).pixmap(side, side));
    }
    about->open();
}

void OpenHelp() {
    bool chmViewer = false;
    for (std::string_view type : name_share::kChmMimeTypes)
        chmViewer = chmViewer || name_share::DesktopHasHandlerFor(type, name_share::XdgDataDirs());
    const std::string file = name_share::HelpFileToOpen(GetGlobal().GetProgramDir(), chmViewer);
    const QString path = QFile::decodeName(QByteArray::fromStdString(file));
    if (!QFileInfo(path).isFile()) {
        ShowWarning(LoadText(resource_ids::kTextHelpMissing).arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (GetGlobal().OpenProgramFile(file.substr(GetGlobal().GetProgramDir().size())) == 0) {
        ShowWarning(LoadText(resource_ids::kTextHelpCannotOpen).arg(QDir::toNativeSeparators(path)));
    }
}

}  // namespace command_dialogs
