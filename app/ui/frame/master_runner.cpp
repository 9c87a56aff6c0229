#include "ui/frame/master_runner.h"

#include "network/server_dev.h"
#include "ui/frame/wait_indicator.h"
#include "ui/widgets/ui_text.h"

MasterRunner::MasterRunner(QWidget* window)
    : QObject(window), waitIndicator_(new CWaitIndicator(LoadText(resource_ids::kTextStartWait), window)) {
    timer_.setInterval(kRefreshIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &MasterRunner::tick);
}

MasterRunner::~MasterRunner() {
    startJob_.Wait();
    timer_.stop();
}

void MasterRunner::Start(CServerDev* master) {
    if (master->IsRunning() != 0 || starting_) return;
    waitIndicator_->Begin();
    // The start talks to the adapter for a while. The destructor waits for the worker, so the
    // result always finds this object.
    starting_ = true;
    startJob_.Start([master, done = poster_.Relay<bool>([this, master](bool ok) { OnStartDone(master, ok); })] {
        done(master->Start() != 0);
    });
}

void MasterRunner::OnStartDone(CServerDev* master, bool ok) {
    startJob_.Wait();
    starting_ = false;
    waitIndicator_->End();
    ok = ok && master->IsRunning() != 0;
    if (ok) {
        if (running_ == 0) {
            timer_.start();
            ++timerStarts_;
        }
        ++running_;
    }
    emit started(master, ok);
}

void MasterRunner::Stop(CServerDev* master) {
    master->Stop();
    if (running_ > 0) --running_;
    if (running_ == 0) timer_.stop();
}

void MasterRunner::Forget() {
    running_ = 0;
    timer_.stop();
}
