// Menu item lists to menu trees.
#include "resources/resource_manager.h"

namespace {

// Takes items from `pos` for one level until an item with the end flag (or the list's end).
std::vector<MenuNode> ReadLevel(std::span<const MENUITEMTEMPLATEINFO> items, size_t& pos, int depth) {
    std::vector<MenuNode> level;
    while (pos < items.size()) {
        const MENUITEMTEMPLATEINFO& item = items[pos++];
        MenuNode node{item.flags, item.id, item.caption, {}};
        // Pop-ups nest at most 16 deep, like the lists the reader makes.
        if (node.IsPopup() && depth < 16) node.children = ReadLevel(items, pos, depth + 1);
        level.push_back(std::move(node));
        if (item.flags & kMenuItemEnd) break;
    }
    return level;
}

}  // namespace

std::vector<MenuNode> MenuTree(std::span<const MENUITEMTEMPLATEINFO> items) {
    std::vector<MenuNode> tree;
    size_t pos = 0;
    // A list whose top level ended early still has its remaining items shown.
    while (pos < items.size()) {
        std::vector<MenuNode> level = ReadLevel(items, pos, 0);
        for (MenuNode& node : level) tree.push_back(std::move(node));
    }
    return tree;
}

const DLGITEMTEMPLATEINFO* DialogTemplate::FindControl(uint16_t id) const {
    for (const DLGITEMTEMPLATEINFO& control : controls) {
        if (control.id == id) return &control;
    }
    return nullptr;
}
