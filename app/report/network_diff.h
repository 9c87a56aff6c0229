// The differences between two networks in words: masters and slaves added or removed, and every
// changed field with its old and new value.
#pragma once

#include <string>
#include <vector>

#include "report/network_listing.h"

// One line per difference, masters in listing order; empty when the networks are equal.
//   master 101/0/1: added (2 slaves)
//   slave 3 "AI4" of master 101/0/0: removed
//   slave 3 "AI4" of master 101/0/0: poll input size changed from 4 to 8
std::vector<std::string> DiffNetworks(const NetworkListing& before, const NetworkListing& after);
