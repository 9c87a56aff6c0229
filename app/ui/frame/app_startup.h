// Start-up of Norvane: the command line ("Norvane [FILE.kld]", --help, --version) and the
// opening of a network file as a document: into the main window when it exists, otherwise as
// CGlobal's pending network file, loaded once the window is shown.
#pragma once

#include <QString>
#include <QStringList>

class CMainFrame;

struct StartupOptions {
    QString networkFile;  // empty: start with the network empty
    QString scriptFile;  // --script FILE: lines run in the window, then the program ends
    bool exit = false;  // --help, --version or a bad command line: print `output` and end
    int exitCode = 0;
    QString output;
};

inline constexpr const char* kNorvaneVersion = "1.013";

// Parses the arguments (the program name first).
StartupOptions ParseCommandLine(const QStringList& arguments);

// Opens a network file as a document: `frame` loads it when there is one, otherwise it waits as
// the pending network file. Empty paths are ignored.
void OpenDocument(const QString& path, CMainFrame* frame);
