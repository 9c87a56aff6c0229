#include "norvane_app.h"

#include <QFileOpenEvent>
#include <QIcon>
#include <QTextStream>

#include <cstdio>

#include "network/network.h"
#include "resources/resource_manager.h"
#include "services/global.h"
#include "ui/frame/app_startup.h"
#include "ui/frame/main_frame.h"

CNorvaneApp::CNorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    setApplicationName(QStringLiteral("Norvane"));
    setApplicationVersion(QString::fromLatin1(kNorvaneVersion));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app_norvane.svg")));
}

CNorvaneApp::~CNorvaneApp() = default;

int CNorvaneApp::Run() {
    const StartupOptions options = ParseCommandLine(arguments());
    if (options.exit) {
        const QByteArray text = options.output.toLocal8Bit();
        std::fputs(text.constData(), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }

    // The saved language first; a failure leaves the built-in texts.
    GetGlobal().SelectLanguage(-1);

    // A file named on the command line is opened before the window exists: it waits as the
    // pending network file and is loaded once the window is shown.
    OpenDocument(options.networkFile, nullptr);
    frame_ = std::make_unique<CMainFrame>();
    frame_->show();
    processEvents();
    frame_->OpenPendingNetworkFile();

    const int code = exec();

    // The window goes first (it saves its layout when it closes), then the network, so the
    // masters stop while the adapter library is still loaded; CGlobal writes its settings
    // when the program ends.
    frame_.reset();
    GetNetwork().ClearNetwork();
    ResetResourceManager();
    return code;
}

bool CNorvaneApp::event(QEvent* event) {
    if (event->type() == QEvent::FileOpen) {
        const QString path = static_cast<QFileOpenEvent*>(event)->file();
        OpenDocument(path, frame_ != nullptr && frame_->isVisible() ? frame_.get() : nullptr);
        return true;
    }
    return QApplication::event(event);
}
