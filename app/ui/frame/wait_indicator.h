// The wait indicator of the start command (template 20046): a modal box with the text
// "正在启动主站并扫描从站，请等待……" of the current language and a bar that steps every 50 ms
// (0 to 100, then again from 0) while a master starts on a worker thread. The window behind it
// keeps painting; the box takes no input and cannot be cancelled.
#pragma once

#include <QProgressDialog>
#include <QString>
#include <QTimer>

#include "resources/resource_ids.h"

class QProgressBar;

class CWaitIndicator : public QProgressDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = resource_ids::kWaitDialog;

    explicit CWaitIndicator(const QString& text, QWidget* parent = nullptr);
    ~CWaitIndicator() override;

    // Shows the box (modal for the whole program) with the text of template 20046 in the
    // current language (else the text given at construction) and starts the bar at 10.
    void Begin();
    // Closes it.
    void End();

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape does not close it
    void closeEvent(QCloseEvent* event) override;  // neither does the window's close button

private:
    void Step();

    bool ending_ = false;
    QString fallbackText_;
    QProgressBar* bar_ = nullptr;  // owned by the dialog
    QTimer stepTimer_;
};
