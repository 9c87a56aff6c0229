// SIGINT and SIGTERM as a stop request: the handlers are installed for the lifetime of the
// object, then the old ones are put back.
#pragma once

#include <csignal>

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal received since construction, 0 while none.
    int Received() const;

private:
    struct sigaction oldInt_ {};
    struct sigaction oldTerm_ {};
};
