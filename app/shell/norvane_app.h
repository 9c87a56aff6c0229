// CNorvaneApp: the application object of Norvane. It selects the saved language, reads the
// command line, shows the main window and loads the network file given to it; a file the
// desktop opens while the program starts waits until the window is shown.
#pragma once

#include <QApplication>
#include <QPointer>

#include <memory>

class CMainFrame;

class CNorvaneApp : public QApplication {
    Q_OBJECT
public:
    CNorvaneApp(int& argc, char** argv);
    ~CNorvaneApp() override;

    // Start-up, the event loop and exit; the program's exit code.
    int Run();

protected:
    bool event(QEvent* event) override;

private:
    std::unique_ptr<CMainFrame> frame_;
};
