// Starts and stops the masters of the main window. A start runs on a worker behind the wait
// indicator and reports back on the user-interface thread; the refresh timer (500 ms) runs
// while at least one master started here is running, one timer for all of them.
#pragma once

#include <QObject>
#include <QTimer>

#include "services/background_job.h"
#include "ui/widgets/ui_poster.h"

class CServerDev;
class CWaitIndicator;
class QWidget;

class MasterRunner : public QObject {
    Q_OBJECT
public:
    static constexpr int kRefreshIntervalMs = 500;

    // The wait indicator is a child of `window`.
    explicit MasterRunner(QWidget* window);
    // Waits for a start under way.
    ~MasterRunner() override;

    // Starts a stopped master on a worker; nothing while a start is under way. `started` tells
    // the outcome on the user-interface thread.
    void Start(CServerDev* master);
    void Stop(CServerDev* master);
    // The network was replaced: no master started here runs any more.
    void Forget();

    bool Starting() const { return starting_; }
    int RunningCount() const { return running_; }
    bool TimerActive() const { return timer_.isActive(); }
    int TimerStarts() const { return timerStarts_; }
    CWaitIndicator* WaitIndicator() const { return waitIndicator_; }

signals:
    void started(CServerDev* master, bool ok);
    // One tick of the refresh timer.
    void tick();

private:
    void OnStartDone(CServerDev* master, bool ok);

    CWaitIndicator* waitIndicator_;
    QTimer timer_;
    int running_ = 0;
    int timerStarts_ = 0;
    bool starting_ = false;  // from Start until its result has arrived
    name_share::BackgroundJob startJob_;  // its result comes back through poster_
    UiPoster poster_{this};
};
