// The saved information log: one top-level XML element "item" per row, in row order, with the
// attributes "time" and "info" (every "\n" of the text becomes "."), no declaration and no
// root element, written in GB18030.
#pragma once

#include <span>
#include <string>

#include "services/host.h"

// The document's text as UTF-8 (what is written, before the GB18030 conversion).
std::string LogRowsToXml(std::span<const name_share::LogRow> rows);
// Writes the rows to `path`; false when the file cannot be written (nothing is left half-written
// in place of an existing file).
bool SaveLogRows(std::span<const name_share::LogRow> rows, const std::string& path);
