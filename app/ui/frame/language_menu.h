// The "&Language" pop-up of the menu bar: after its placeholder (32830 "no"), one entry per
// language of language/config.ini with command id 65000 + position and the language's caption,
// stopping at the first empty caption; the placeholder shows only while no entry was added.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "services/gen_global.h"

class QAction;
class QMenu;

// Refills `menu`; `actionFor` gives the action of a command id. Returns the entries added.
int FillLanguageMenu(QMenu& menu, const std::vector<name_share::LanguageEntry>& languages,
                     const std::function<QAction*(uint16_t)>& actionFor);
