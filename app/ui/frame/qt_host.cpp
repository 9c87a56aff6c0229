#include "ui/frame/qt_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QUrl>
#include <vector>

#include "ui/frame/info_log_pane.h"

namespace {

bool OnUiThread() { return QThread::currentThread() == qApp->thread(); }

QMessageBox::Icon IconOfType(uint32_t type) {
    switch (type & name_share::kMbIconMask) {
        case name_share::kMbIconStop: return QMessageBox::Critical;
        case name_share::kMbIconQuestion: return QMessageBox::Question;
        case name_share::kMbIconExclamation: return QMessageBox::Warning;
        case name_share::kMbIconInformation: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

struct ButtonCode {
    QMessageBox::StandardButton button;
    int code;
};

// The buttons of each button set, in the order they stand in the box (the first is the default).
std::vector<ButtonCode> ButtonsOfType(uint32_t type) {
    using namespace name_share;
    switch (type & kMbButtonMask) {
        case kMbOkCancel: return {{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}};
        case kMbAbortRetryIgnore:
            return {{QMessageBox::Abort, kIdAbort}, {QMessageBox::Retry, kIdRetry}, {QMessageBox::Ignore, kIdIgnore}};
        case kMbYesNoCancel:
            return {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}, {QMessageBox::Cancel, kIdCancel}};
        case kMbYesNo: return {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}};
        case kMbRetryCancel: return {{QMessageBox::Retry, kIdRetry}, {QMessageBox::Cancel, kIdCancel}};
        default: return {{QMessageBox::Ok, kIdOk}};
    }
}

// A box that offers only OK informs; every other set asks a question whose answer counts.
bool AsksQuestion(uint32_t type) { return (type & name_share::kMbButtonMask) != name_share::kMbOk; }

}  // namespace

CQtHost::CQtHost(QObject* parent) : QObject(parent) {}

CQtHost::~CQtHost() = default;

void CQtHost::SetLogPane(CInfoLogPane* pane) { logPane_ = pane; }

void CQtHost::SetMainWindow(QWidget* window) { mainWindow_ = window; }

std::unique_ptr<QMessageBox> CQtHost::MakeMessageBox(const name_share::MessageBoxRequest& request, QWidget* owner) {
    QMessageBox::StandardButtons buttons;
    const std::vector<ButtonCode> set = ButtonsOfType(request.type);
    for (const ButtonCode& b : set) buttons |= b.button;
    auto box = std::make_unique<QMessageBox>(IconOfType(request.type), QString::fromStdString(request.caption),
                                             QString::fromStdString(request.text), buttons, owner);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(set.front().button);
    return box;
}

int CQtHost::ButtonCodeOf(const QMessageBox& box, uint32_t type) {
    const std::vector<ButtonCode> set = ButtonsOfType(type);
    const QMessageBox::StandardButton pressed =
        box.clickedButton() ? box.standardButton(box.clickedButton()) : QMessageBox::NoButton;
    for (const ButtonCode& b : set)
        if (b.button == pressed) return b.code;
    // Closed without a button (Escape, window close): Cancel when offered, else No, else the only button.
    for (QMessageBox::StandardButton fallback : {QMessageBox::Cancel, QMessageBox::No})
        for (const ButtonCode& b : set)
            if (b.button == fallback) return b.code;
    return set.front().code;
}

int CQtHost::ShowMessageBox(const name_share::MessageBoxRequest& request) {
    if (!OnUiThread()) {
        if (!AsksQuestion(request.type)) {
            // A worker does not wait for a box that only informs: the UI thread shows it later.
            QMetaObject::invokeMethod(
                this, [this, request] { ShowMessageBox(request); }, Qt::QueuedConnection);
            return name_share::kIdOk;
        }
        // A question waits for the user's answer on the UI thread.
        int answer = name_share::kIdCancel;
        QMetaObject::invokeMethod(
            this, [this, &request, &answer] { answer = ShowMessageBox(request); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    std::unique_ptr<QMessageBox> box = MakeMessageBox(request, mainWindow_.data());
    box->exec();
    return ButtonCodeOf(*box, request.type);
}

void CQtHost::AppendLogRow(const name_share::LogRow& row) {
    if (!OnUiThread()) {
        QMetaObject::invokeMethod(
            this, [this, row] { AppendLogRow(row); }, Qt::QueuedConnection);
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
