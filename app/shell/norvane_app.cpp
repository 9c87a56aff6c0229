#include "norvane_app.h"

#include <QFile>
#include <QFileOpenEvent>
#include <QIcon>
#include <QSettings>
#include <QTextStream>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "network/network.h"
#include "resources/resource_manager.h"
#include "services/global.h"
#include "services/user_settings.h"
#include "ui/frame/app_startup.h"
#include "ui/frame/main_frame.h"
#include "ui/frame/script_runner.h"

CNorvaneApp::CNorvaneApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("norvane"));
    setApplicationName(QStringLiteral("Norvane"));
    setApplicationVersion(QString::fromLatin1(kNorvaneVersion));
    setWindowIcon(QIcon(QStringLiteral(":/icons/app_norvane.svg")));
    // What Qt itself keeps per user (the file dialogs' recent folders) goes beside the program's
    // own settings, not into a folder of its own.
    const std::string userDir = name_share::UserSettings::UserDirFromEnvironment();
    if (!userDir.empty()) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QFile::decodeName(QByteArray::fromStdString(userDir)));
    }
}

CNorvaneApp::~CNorvaneApp() = default;

int CNorvaneApp::Run() {
    const StartupOptions options = ParseCommandLine(arguments());
    if (options.exit) {
        const QByteArray text = options.output.toLocal8Bit();
        std::fputs(text.constData(), options.exitCode == 0 ? stdout : stderr);
        return options.exitCode;
    }

    std::vector<std::string> scriptLines;
    if (!options.scriptFile.isEmpty() &&
        !CScriptRunner::ReadScript(QFile::encodeName(options.scriptFile).toStdString(), scriptLines, stdout))
        return 2;

    // The saved language first; a failure leaves the built-in texts.
    GetGlobal().SelectLanguage(-1);

    // A file named on the command line is opened before the window exists: it waits as the
    // pending network file and is loaded once the window is shown.
    OpenDocument(options.networkFile, nullptr);
    frame_ = std::make_unique<CMainFrame>();
    frame_->show();
    processEvents();
    frame_->OpenPendingNetworkFile();

    std::unique_ptr<CScriptRunner> script;
    if (!options.scriptFile.isEmpty()) {
        script = std::make_unique<CScriptRunner>(*frame_, std::move(scriptLines), stdout);
        script->Start();
    }

    const int code = exec();
    script.reset();

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
