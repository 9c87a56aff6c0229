#include "ui/frame/wait_indicator.h"

#include <QCloseEvent>
#include <QKeyEvent>

const char* const CWaitIndicator::kStartText = "正在启动主站并扫描从站，请等待……";

CWaitIndicator::CWaitIndicator(const QString& text, QWidget* parent) : QProgressDialog(parent) {
    setObjectName(QStringLiteral("20046"));
    setWindowTitle(QStringLiteral("Norvane"));
    setLabelText(text);
    setCancelButton(nullptr);
    setRange(0, 0);  // busy bar
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setMinimumWidth(360);
    QProgressDialog::reset();
    hide();
}

CWaitIndicator::~CWaitIndicator() = default;

void CWaitIndicator::Begin() {
    ending_ = false;
    // Shown at once; setValue() is not used, since it would arm the dialog's own show timer,
    // which could bring the box back after End().
    show();
    raise();
}

void CWaitIndicator::End() {
    ending_ = true;
    QProgressDialog::reset();  // also stops the show timer
    hide();
}

void CWaitIndicator::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->ignore();
        return;
    }
    QProgressDialog::keyPressEvent(event);
}

void CWaitIndicator::closeEvent(QCloseEvent* event) {
    if (!ending_) {
        event->ignore();
        return;
    }
    QProgressDialog::closeEvent(event);
}
