// CQtHost: the window side of CGlobal's host interface. Message boxes get the caption and icon
// of their level; log rows go to the information log pane. Calls from threads other than the
// user-interface thread are queued to it (a box from a worker does not wait for the user).
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

    // The box a request is shown with: caption, text, icon from the type bits, one OK button.
    static std::unique_ptr<QMessageBox> MakeMessageBox(const name_share::MessageBoxRequest& request,
                                                       QWidget* owner);

private:
    QPointer<CInfoLogPane> logPane_;
    QPointer<QWidget> mainWindow_;
};
