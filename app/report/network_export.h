// The network as stable, line-oriented text for version control and for reading: the same file
// always gives the same bytes, and a changed field changes only its own line.
#pragma once

#include <string>

#include "report/network_listing.h"

// "[master 101/0/0]" and "[slave 101/0/0 3]" sections of "Key = value" lines, in listing order.
// Line breaks, carriage returns and backslashes inside values are written as \n, \r and \\.
std::string ExportText(const NetworkListing& listing);

// The same content as JSON: {"masters": [{"type", "index", "channel", "fields": {...},
// "slaves": [{"mac", "fields": {...}}]}]}, two-blank indentation, one field per line.
std::string ExportJson(const NetworkListing& listing);
