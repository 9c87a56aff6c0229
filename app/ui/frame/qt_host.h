// CQtHost: the window side of CGlobal's host interface. Message boxes get the caption, buttons
// and icon of their request and answer with the code of the button pressed; log rows go to the
// information log pane. Calls from threads other than the user-interface thread go to it: a box
// that only informs and a log row are queued, a question waits for the user's answer (so the UI
// thread must never wait for a worker that may ask one).
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

#include "services/host.h"

class CInfoLogPane;
class QMessageBox;
class QWidget;

class CQtHost : public QObject, public name_share::IHost {
    Q_OBJECT
public:
    explicit CQtHost(QObject* parent = nullptr);
    ~CQtHost() override;

    // The pane that receives log rows (rows before it exists are dropped) and the window that
    // owns message boxes.
    void SetLogPane(CInfoLogPane* pane);
    void SetMainWindow(QWidget* window);

    int ShowMessageBox(const name_share::MessageBoxRequest& request) override;
    void AppendLogRow(const name_share::LogRow& row) override;
    name_share::WindowRef MainWindow() const override;
    bool OpenFile(const std::string& path) override;

    // The box a request is shown with: caption, text, buttons and icon from the type bits, the
    // first button the default.
    static std::unique_ptr<QMessageBox> MakeMessageBox(const name_share::MessageBoxRequest& request, QWidget* owner);
    // The code (kIdOk ...) of the button that closed `box`, shown for `type`.
    static int ButtonCodeOf(const QMessageBox& box, uint32_t type);

private:
    QPointer<CInfoLogPane> logPane_;
    QPointer<QWidget> mainWindow_;
};
