#include "ui/frame/qt_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

#include "ui/frame/info_log_pane.h"

namespace {

bool OnUiThread() { return QThread::currentThread() == qApp->thread(); }

QMessageBox::Icon IconOfType(uint32_t type) {
    switch (type & 0xF0u) {
    case name_share::kMbIconStop: return QMessageBox::Critical;
    case name_share::kMbIconQuestion: return QMessageBox::Question;
    case name_share::kMbIconExclamation: return QMessageBox::Warning;
    case name_share::kMbIconInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

}  // namespace

CQtHost::CQtHost(QObject* parent) : QObject(parent) {}

CQtHost::~CQtHost() = default;

void CQtHost::SetLogPane(CInfoLogPane* pane) { logPane_ = pane; }

void CQtHost::SetMainWindow(QWidget* window) { mainWindow_ = window; }

std::unique_ptr<QMessageBox> CQtHost::MakeMessageBox(const name_share::MessageBoxRequest& request, QWidget* owner) {
    auto box = std::make_unique<QMessageBox>(IconOfType(request.type), QString::fromStdString(request.caption),
                                             QString::fromStdString(request.text), QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    return box;
}

int CQtHost::ShowMessageBox(const name_share::MessageBoxRequest& request) {
    if (!OnUiThread()) {
        // A worker never waits for the user: the box is shown by the user-interface thread.
        QMetaObject::invokeMethod(this, [this, request] { ShowMessageBox(request); }, Qt::QueuedConnection);
        return 1;
    }
    std::unique_ptr<QMessageBox> box = MakeMessageBox(request, mainWindow_.data());
    box->exec();
    return 1;  // the only button is OK
}

void CQtHost::AppendLogRow(const name_share::LogRow& row) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(this, [this, row] { AppendLogRow(row); }, Qt::QueuedConnection);
        return;
    }
    if (logPane_) logPane_->AppendRow(row);
}

name_share::WindowRef CQtHost::MainWindow() const { return mainWindow_.data(); }

bool CQtHost::OpenFile(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}
