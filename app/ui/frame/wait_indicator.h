// The wait indicator of the start command: a modal box with a busy bar and the text
// "正在启动主站并扫描从站，请等待……" while a master starts on a worker thread. The window behind
// it keeps painting; the box takes no input and cannot be cancelled.
#pragma once

#include <QProgressDialog>
#include <QString>

class CWaitIndicator : public QProgressDialog {
    Q_OBJECT
public:
    static const char* const kStartText;

    explicit CWaitIndicator(const QString& text, QWidget* parent = nullptr);
    ~CWaitIndicator() override;

    // Shows the box (modal for the whole program) and starts the busy bar.
    void Begin();
    // Closes it.
    void End();

protected:
    void keyPressEvent(QKeyEvent* event) override;  // Escape does not close it
    void closeEvent(QCloseEvent* event) override;   // neither does the window's close button

private:
    bool ending_ = false;
};
