// A long random run of the main window for the soak test: for a given time it gives random
// commands of the command table on random nodes (start, stop, panes, files, dialogs, languages,
// deletions and re-opening the network), sets the data panes of the shown slave to timed reading
// and writing at 10 ms, works the parameter editor and the explicit console, and answers every
// window the commands open: a message box by pressing one of its own buttons, a file dialog with
// a file of the soak's folder, other dialogs by their cancel button. It watches the information
// log and the boxes, and counts a start that failed or a console request that failed without a
// new log row or box as an unreported failure, and so every failed I/O read or write and every
// failed request of the parameter editor that no error row of the log names within a few seconds. Every action, box and log row is printed with its
// time (seconds since the soak began), and a summary at the end.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "network/master_api_failures.h"

class CMainFrame;
class CDeviceBase;
class CSlaveDev;
class QMessageBox;
class QWidget;

class CSoakDriver : public QObject {
public:
    // `networkFile` is opened again when slaves were deleted; exported files go beside it.
    CSoakDriver(CMainFrame& frame, std::FILE* out, int seconds, uint32_t seed, std::string networkFile);
    ~CSoakDriver() override;

    // One tick of the script runner's timer (every few ms); never blocks and never runs a command
    // itself: commands run from the event loop, so that their dialogs can be answered here.
    void Tick();
    bool Finished() const { return finished_; }
    int UnreportedFailures() const { return unreported_; }

private:
    enum class Phase { kRunning, kWindingDown, kStopping, kDone };
    struct PendingCheck {
        std::string what;
        uint64_t boxes = 0;  // boxes_ when the operation began
        uint64_t logRows = 0;  // logRows_ when the operation began
        std::chrono::steady_clock::time_point due;
    };

    double Seconds() const;
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int Random(int low, int high);  // uniform in [low, high]
    bool Chance(int percent) { return Random(1, 100) <= percent; }

    // Modal windows.
    void HandleModal(QWidget* modal);
    void AnswerBox(QMessageBox* box);
    void StepParamEditor(QWidget* dialog);
    void StepConsole(QWidget* dialog);
    void CloseDialog(QWidget* dialog);
    // Runs an action on the window, or a step in a modal window, from the event loop.
    void Queue(bool& busy, std::function<void()> step);

    // Actions on the window.
    void NextAction();
    void RunAction(int kind);
    void RunCommand(uint16_t id, const char* name);
    void SelectRandomNode(bool slavesOnly, bool runningMaster);
    void WorkDataPanes();
    void ReopenNetwork();
    void StopAllMasters();
    int SlaveCount() const;

    // Failures that must have reached the log or a box.
    void ExpectReported(const std::string& what, int graceMs);
    void CheckReports(bool all);
    // Failed master-API calls against the error rows that name their function.
    void CheckApiFailures(bool last);
    void PrintSummary();

    CMainFrame& frame_;
    std::FILE* out_;
    std::chrono::steady_clock::time_point begin_;
    std::chrono::steady_clock::time_point end_;
    std::chrono::steady_clock::time_point nextAction_;
    std::mt19937 random_;
    std::string networkFile_;
    std::string folder_;  // the network file's folder
    Phase phase_ = Phase::kRunning;
    bool finished_ = false;
    bool actionBusy_ = false;  // an action runs (its dialogs run nested loops)
    bool stepBusy_ = false;  // a step in a modal window runs
    bool waitingStart_ = false;  // a start runs on its worker
    uint64_t startBoxes_ = 0;
    uint64_t startLogRows_ = 0;
    std::string pendingFile_;  // the answer of the next file dialog; empty: cancel it
    uint64_t boxes_ = 0;
    uint64_t logRows_ = 0;
    uint64_t logErrors_ = 0;
    int unreported_ = 0;
    std::vector<PendingCheck> checks_;
    using ApiFunction = netsvc::MasterApiFailureCount::Function;
    static constexpr int kApiFunctions = netsvc::MasterApiFailureCount::kFunctionCount;
    struct ApiFailures {
        uint64_t seen = 0;  // failed calls taken into account
        std::deque<std::chrono::steady_clock::time_point> owedSince;  // when each unmatched one was seen
        uint64_t rows = 0;  // error rows naming the function since the last check
        uint64_t rowsTotal = 0;
    };
    netsvc::MasterApiFailureCount apiFailures_;  // installed for the driver's life
    ApiFailures api_[kApiFunctions];
    std::map<std::string, int> counts_;  // actions by name
    QPointer<QWidget> lastConsole_;
};
