#include "ui/frame/wait_indicator.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>
#include <array>

#include "resources/resource_manager.h"

namespace {
constexpr uint16_t kIdText = 1000;
}

CWaitIndicator::CWaitIndicator(const QString& text, QWidget* parent) : QProgressDialog(parent), fallbackText_(text) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(QStringLiteral("Norvane"));
    setLabelText(text);
    setCancelButton(nullptr);
    // A bar of our own, stepped by our timer: the dialog's setValue() would arm its show timer.
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    setBar(bar_);
    stepTimer_.setInterval(kStepMs);
    connect(&stepTimer_, &QTimer::timeout, this, &CWaitIndicator::Step);
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
    const std::array<uint16_t, 1> required{kIdText};
    const DialogTemplate* t = LoadCheckedDialogTemplate(kTemplateId, required);
    const DLGITEMTEMPLATEINFO* control = t != nullptr ? t->FindControl(kIdText) : nullptr;
    setLabelText(control != nullptr && !control->caption.empty() ? QString::fromStdString(control->caption)
                                                                 : fallbackText_);
    if (t != nullptr && !t->caption.empty()) setWindowTitle(QString::fromStdString(t->caption));
    bar_->setValue(10);
    stepTimer_.start();
    // Shown at once; setValue() is not used, since it would arm the dialog's own show timer,
    // which could bring the box back after End().
    show();
    raise();
}

void CWaitIndicator::End() {
    ending_ = true;
    stepTimer_.stop();
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

void CWaitIndicator::Step() {
    bar_->setValue(bar_->value() + 1);
    if (bar_->value() >= 100) bar_->setValue(0);
}
