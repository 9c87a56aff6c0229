#include "ui/frame/app_startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "services/global.h"
#include "ui/frame/main_frame.h"

namespace {

StartupOptions Parse(const QStringList& arguments);

}  // namespace

StartupOptions ParseCommandLine(const QStringList& arguments) {
    StartupOptions options = Parse(arguments);
    // Without an application object the parser cannot name the program.
    const QString program = arguments.isEmpty() ? QStringLiteral("Norvane") : QFileInfo(arguments.front()).fileName();
    options.output.replace(QStringLiteral("<executable_name>"), program);
    return options;
}

namespace {

StartupOptions Parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Norvane: DeviceNet master configuration and test"));
    parser.addPositionalArgument(QStringLiteral("FILE.kld"), QStringLiteral("network configuration file to open"),
                                 QStringLiteral("[FILE.kld]"));
    const QCommandLineOption script(QStringLiteral("script"),
                                    QStringLiteral("runs the lines of FILE through the window's commands (import-eds, "
                                                   "add-slave, export, open, start, expect-online, expect-slaves, "
                                                   "stop), then ends; exit status 1 when a line failed"),
                                    QStringLiteral("FILE"));
    parser.addOption(script);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    StartupOptions options;
    if (!parser.parse(arguments)) {
        options.exit = true;
        options.exitCode = 2;
        options.output = QStringLiteral("Norvane: %1\n\n%2").arg(parser.errorText(), parser.helpText());
        return options;
    }
    if (parser.isSet(help)) {
        options.exit = true;
        options.output = parser.helpText();
        return options;
    }
    if (parser.isSet(version)) {
        options.exit = true;
        options.output = QStringLiteral("Norvane %1\n").arg(QString::fromLatin1(kNorvaneVersion));
        return options;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        options.exit = true;
        options.exitCode = 2;
        options.output = QStringLiteral("Norvane: one network file at most\n\n%1").arg(parser.helpText());
        return options;
    }
    if (!files.isEmpty()) options.networkFile = QFileInfo(files.constFirst()).absoluteFilePath();
    if (parser.isSet(script)) options.scriptFile = parser.value(script);
    return options;
}

}  // namespace

void OpenDocument(const QString& path, CMainFrame* frame) {
    if (path.isEmpty()) return;
    if (frame != nullptr) {
        frame->OpenNetworkFile(path, true);
    } else {
        GetGlobal().SetPendingNetworkFile(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
    }
}
