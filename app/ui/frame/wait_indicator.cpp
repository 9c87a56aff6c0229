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
    setValue(0);
    show();
    raise();
}

void CWaitIndicator::End() {
    ending_ = true;
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
