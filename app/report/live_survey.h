// The devices of a network as they answer now: each master is started for a moment, every
// slave's status is taken once it is reported (or the wait is over), and each slave's identity
// is read by explicit messages. The masters are stopped again afterwards.
#pragma once

#include <cstdint>

#include "report/network_report.h"

class NetworkRegistry;

struct SurveyOptions {
    uint32_t settleMs = 3000;  // longest wait for every slave's status after the start
    uint32_t requestMs = 1000;  // time-out of each identity request
};

// Live data of every slave of every master; a master that cannot start gives its slaves as not
// answering, with the status text of the failure.
LiveNetwork SurveyNetwork(NetworkRegistry& network, const SurveyOptions& options);
