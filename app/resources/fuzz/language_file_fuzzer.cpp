// Feeds arbitrary bytes to the language-file reader: strings, menus (item lists and trees) and
// dialog templates of every id the document names, through the manager and the document.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "resources/resource_document.h"
#include "resources/resource_manager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto manager = CXTPResourceManagerXMLEx::FromText(bytes);
    std::string text;
    for (uint32_t id : {1u, 100u, 10001u, 32786u}) manager->LoadString(text, id);

    // The ids of the menus and dialogs come from the document the manager parsed.
    if (const resources::ResourceDocument* document = manager->Document()) {
        for (uint32_t id : document->MenuIds()) {
            std::vector<MENUITEMTEMPLATEINFO> items;
            if (manager->LoadMenu(items, id)) (void)MenuTree(items);
        }
        for (uint32_t id : document->DialogIds()) {
            const DialogTemplate* t = manager->LoadDialogTemplate(id);
            if (t && manager->LoadDialogTemplate(id) != t) __builtin_trap();  // the cache keeps it
            if (t) {
                for (const DLGITEMTEMPLATEINFO& c : t->controls) {
                    if (c.x < 0 || c.cx < 0 || c.x > kMaxDialogUnits || c.cy > kMaxDialogUnits) __builtin_trap();
                }
            }
        }
    }
    manager->Close();
    return 0;
}
