// Norvane: the DeviceNet master configuration and test program.
#include <QStringList>

#include <cstdio>
#include <cstring>

#include "norvane_app.h"
#include "ui/frame/app_startup.h"

int main(int argc, char** argv) {
    // --help and --version answer without a display; every other argument is read once the
    // application has taken its own (-platform, ...).
    for (int i = 1; i < argc; ++i) {
        for (const char* flag : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], flag) != 0) continue;
            QStringList arguments;
            for (int j = 0; j < argc; ++j) arguments << QString::fromLocal8Bit(argv[j]);
            const StartupOptions options = ParseCommandLine(arguments);
            const QByteArray text = options.output.toLocal8Bit();
            std::fputs(text.constData(), options.exitCode == 0 ? stdout : stderr);
            return options.exitCode;
        }
    }
    CNorvaneApp app(argc, argv);
    return app.Run();
}
