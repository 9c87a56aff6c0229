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

namespace command_dialogs {
namespace {

const char* const kKldFilter = "Norvane(*.KLD *.kld)";
const char* const kAllFilter = "All Text(*.*) (*)";

void ShowWarning(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    GetGlobal().ShowMessageBox(1, "%s", utf8.constData());
}

}  // namespace

QString AskImportPath(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("导入主站网络配置"), QString(),
                                        QStringLiteral("%1;;%2").arg(kKldFilter, kAllFilter));
}

QString AskOpenPath(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), QString::fromLatin1(kKldFilter));
}

QString AskExportPath(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("保存主站网络配置"), QString(), QString::fromLatin1(kKldFilter));
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
    QFileDialog dialog(parent, QStringLiteral("选择EDS文件"), QString(), QStringLiteral("DeviceNet EDS(*.eds)"));
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
        ShowWarning(QStringLiteral("找不到帮助文件：%1").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (GetGlobal().OpenProgramFile(file.substr(GetGlobal().GetProgramDir().size())) == 0) {
        ShowWarning(QStringLiteral("无法打开帮助文件：%1").arg(QDir::toNativeSeparators(path)));
    }
}

}  // namespace command_dialogs
