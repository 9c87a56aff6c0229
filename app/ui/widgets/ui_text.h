// Texts of the string table for widgets.
#pragma once

#include <QString>
#include <cstdint>

// String `id` of the current language (CGlobal::LoadText) as a QString; empty when missing.
QString LoadText(uint32_t id);
