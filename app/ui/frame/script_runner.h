// A scripted run of the main window, for checking an installed program as a user would use it:
// each line of the script is given through the window's own commands, and the dialogs they open
// are answered as a user would answer them. Lines (UTF-8; blank lines and lines starting with '#'
// are skipped; PATH and NAME run to the end of the line):
//   import-eds PATH           "导入EDS…" with PATH chosen in the file dialog
//   add-slave MAC NAME        the add-slave entry of EDS name NAME on the first master, at MAC
//   export PATH               "导出" to PATH
//   open PATH                 "导入" of PATH
//   start                     "启动" of the first master; waits until the start has finished
//   expect-online COUNT SECS  waits at most SECS seconds for COUNT slaves shown on line
//   expect-slaves COUNT       the network holds COUNT slaves
//   stop                      "停止" of the first master
//   soak SECONDS SEED PATH    a random run of the window for SECONDS (see soak_driver.h), PATH
//                             being the network file it opens again; it answers the windows
//                             itself and fails when a failure reached neither the log nor a box
// Every line and every message box is printed on the output; a message box, a command that does
// nothing or a wait that times out fails the line. After the last line the window is closed and
// the application ends with 0 when every line succeeded, else 1.
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class CSoakDriver;
class QFileDialog;
class QWidget;

// Answers an open file dialog as a user typing the full path into its name box would, on the
// next turn of the event loop; an empty path cancels it.
void AnswerFileDialog(QFileDialog* dialog, const QString& path);

class CScriptRunner : public QObject {
public:
    CScriptRunner(CMainFrame& frame, std::vector<std::string> lines, std::FILE* out);
    ~CScriptRunner() override;

    // Reads the script file; false (with a line on `out`) when it cannot be read.
    static bool ReadScript(const std::string& path, std::vector<std::string>& lines, std::FILE* out);

    // Starts with the event loop.
    void Start();
    bool Failed() const { return failures_ > 0; }

private:
    void Tick();
    void RunCurrent();
    void Answer(QWidget* modal);
    // Runs one line; false when it failed at once. A line may leave a wait behind.
    bool RunLine(const std::string& line);
    void Fail(const std::string& why);
    void Finish();
    int OnlineSlaves() const;
    int SlaveCount() const;

    CMainFrame& frame_;
    std::vector<std::string> lines_;
    std::FILE* out_;
    QTimer timer_;
    std::size_t next_ = 0;
    std::string current_;  // the line being run
    bool busy_ = false;  // a command is running (its dialogs run nested loops)
    bool finished_ = false;
    int failures_ = 0;
    int failuresBefore_ = 0;  // failures_ when the current line began
    int boxes_ = 0;  // message boxes seen while the current line ran
    std::string pendingFile_;  // the answer of the next file dialog
    int pendingMac_ = -1;  // the address chosen in the next slave dialog
    std::function<bool()> waitFor_;
    std::chrono::steady_clock::time_point deadline_;
    std::string waitWhat_;
    int startResult_ = -1;  // -1 running, 0 failed, 1 started
    std::unique_ptr<CSoakDriver> soak_;  // the soak line being run
};
