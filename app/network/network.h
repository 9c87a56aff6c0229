// The program's one network.
#pragma once

#include "network/network_registry.h"

// The network registry of the program. The application services are set up before it, so they
// outlive it.
NetworkRegistry& GetNetwork();
