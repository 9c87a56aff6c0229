#include "stop_signals.h"

#include <atomic>

namespace {

std::atomic<int> g_stopSignal{0};

extern "C" void OnStopSignal(int signal) { g_stopSignal = signal; }

}  // namespace

StopSignals::StopSignals() {
    g_stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

int StopSignals::Received() const { return g_stopSignal.load(); }
