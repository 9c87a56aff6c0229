// Texts of the string table for widgets.
#pragma once

#include <QString>
#include <cstdint>

#include "resources/resource_ids.h"

// String `id` of the current language (CGlobal::LoadText) as a QString; empty when missing.
QString LoadText(uint32_t id);

// A file-dialog filter: the name of string `id` (such as "Norvane(*.KLD)") and the patterns
// the dialog matches ("*.KLD *.kld").
QString FileFilter(uint32_t id, const char* patterns);
