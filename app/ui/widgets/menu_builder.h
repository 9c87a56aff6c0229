// Qt menus from the menu trees of the resource manager.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "resources/resource_manager.h"

class QAction;
class QMenu;
class QMenuBar;

// Returns the action of a command id, or nullptr when there is none.
using ActionLookup = std::function<QAction*(uint16_t id)>;

// Appends `items` to `menu`: a pop-up becomes a sub-menu titled by its caption, a separator a
// separator, a command the action `actionFor` returns (its texts are left as they are), or,
// when that is nullptr, a disabled placeholder action carrying the caption and the id as
// objectName. Sub-menus and placeholders are owned by `menu`.
void FillMenu(QMenu& menu, const std::vector<MenuNode>& items, const ActionLookup& actionFor);
// The same for a menu bar: top-level pop-ups become its menus; top-level commands become
// actions of the bar.
void FillMenuBar(QMenuBar& bar, const std::vector<MenuNode>& items, const ActionLookup& actionFor);

// Gives the action of command `id` its texts: objectName the decimal id, text `caption` (when
// empty: the tool-tip part of the hint), status tip and tool tip from the hint string of the
// same id ("status-bar text\ntool tip"; without a line break the whole string is both).
void ApplyCommandTexts(QAction& action, uint16_t id, const QString& caption);

// The caption of every command of a menu tree by id (the first one when an id repeats).
std::map<uint16_t, QString> CommandCaptions(const std::vector<MenuNode>& items);
