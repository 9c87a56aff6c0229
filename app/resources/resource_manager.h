// The program's resource managers: strings, menus and dialog templates by numeric id.
// CXTPResourceManager serves the built-in resources compiled into the program;
// CXTPResourceManagerXMLEx serves a language file and falls back to the built-in resources for
// whatever the file does not hold. One manager is installed for the whole program; it is used
// from the user-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace resources {
class ResourceDocument;
}

// ---- menus ----

// Flags of one item of a menu template.
inline constexpr uint16_t kMenuItemPopup = 0x10;
inline constexpr uint16_t kMenuItemEnd = 0x80;  // last item of its level
inline constexpr uint16_t kMenuItemSeparator = 0x800;

// One menu item while a menu is built: items are listed depth first, a pop-up's items right
// after it, the last item of each level carrying kMenuItemEnd.
struct MENUITEMTEMPLATEINFO {
    uint16_t flags = 0;
    uint16_t id = 0;
    std::string caption;

    bool operator==(const MENUITEMTEMPLATEINFO&) const = default;
};

// The same menu as a tree: a pop-up holds its items in `children`.
struct MenuNode {
    uint16_t flags = 0;
    uint16_t id = 0;
    std::string caption;
    std::vector<MenuNode> children;

    bool IsPopup() const { return (flags & kMenuItemPopup) != 0; }
    bool IsSeparator() const { return (flags & kMenuItemSeparator) != 0; }
    bool operator==(const MenuNode&) const = default;
};

// Rebuilds the tree from a depth-first item list. A list whose end flags are missing or
// inconsistent still gives a tree: the list's end closes every open pop-up.
std::vector<MenuNode> MenuTree(std::span<const MENUITEMTEMPLATEINFO> items);

// ---- dialogs ----

inline constexpr uint32_t kDsSetFont = 0x40;
inline constexpr uint32_t kDefaultControlStyle = 0x50020000;  // WS_CHILD | WS_VISIBLE | WS_GROUP
inline constexpr const char* kDefaultDialogFont = "MS Sans Serif";
inline constexpr uint16_t kDefaultDialogFontSize = 8;
// Positions and sizes in dialog units are clamped to 0 .. kMaxDialogUnits.
inline constexpr int16_t kMaxDialogUnits = 2048;

// One control of a dialog template.
struct DLGITEMTEMPLATEINFO {
    uint32_t style = kDefaultControlStyle;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    uint16_t id = 0xFFFF;
    std::string caption;  // UTF-8; a single blank when the title is an ordinal
    std::string className = "STATIC";  // Win32 class name or one of our own classes
    uint32_t resource = 0;  // > 0: the title is the ordinal (0xFFFF, resource)

    bool HasOrdinalTitle() const { return resource > 0; }
    // The ordinal title words: 0xFFFF and the resource number (low 16 bits).
    std::array<uint16_t, 2> OrdinalTitle() const { return {0xFFFF, static_cast<uint16_t>(resource & 0xFFFF)}; }
    bool operator==(const DLGITEMTEMPLATEINFO&) const = default;
};

// A dialog template as data: the header of an in-memory dialog template and its controls in
// document order.
struct DialogTemplate {
    uint32_t style = kDsSetFont;  // DS_SETFONT is always set
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string caption;
    std::string fontFace = kDefaultDialogFont;
    uint16_t fontSize = kDefaultDialogFontSize;  // points
    std::vector<DLGITEMTEMPLATEINFO> controls;

    uint16_t ControlCount() const { return static_cast<uint16_t>(controls.size()); }
    // The first control with `id`, or nullptr.
    const DLGITEMTEMPLATEINFO* FindControl(uint16_t id) const;
    bool operator==(const DialogTemplate&) const = default;
};

// ---- managers ----

class CXTPResourceManager {
public:
    CXTPResourceManager() = default;
    CXTPResourceManager(const CXTPResourceManager&) = delete;
    CXTPResourceManager& operator=(const CXTPResourceManager&) = delete;
    virtual ~CXTPResourceManager();

    // The text of string `id` into `text`; false (text untouched) when there is none.
    virtual bool LoadString(std::string& text, uint32_t id);
    // The items of menu `id` (depth first, see MENUITEMTEMPLATEINFO) into `items`; false (items
    // untouched) when there is no such menu.
    virtual bool LoadMenu(std::vector<MENUITEMTEMPLATEINFO>& items, uint32_t id);
    // The template of dialog `id`; nullptr when there is none. The template stays valid until
    // the manager is closed or destroyed.
    virtual const DialogTemplate* LoadDialogTemplate(uint32_t id);
    virtual void Close() {}
    // Whether the manager can be installed; the built-in one always can.
    virtual bool IsValid() const { return true; }
};

class CXTPResourceManagerXMLEx : public CXTPResourceManager {
public:
    // Loads the language file; the manager is valid when the file is an XML document with
    // the root element "resource".
    explicit CXTPResourceManagerXMLEx(const std::string& path);
    ~CXTPResourceManagerXMLEx() override;

    bool LoadString(std::string& text, uint32_t id) override;
    bool LoadMenu(std::vector<MENUITEMTEMPLATEINFO>& items, uint32_t id) override;
    const DialogTemplate* LoadDialogTemplate(uint32_t id) override;
    // Releases the document and every cached template and clears the valid flag.
    void Close() override;
    bool IsValid() const override { return valid_ != 0; }

    // Parses a document held in memory (the language file's content).
    static std::unique_ptr<CXTPResourceManagerXMLEx> FromText(std::string_view xml);
    // The parsed language document; nullptr when the file was not one or after Close.
    const resources::ResourceDocument* Document() const { return document_.get(); }

private:
    CXTPResourceManagerXMLEx();
    void LoadDocument(std::string_view bytes);

    int32_t valid_ = 0;
    std::unique_ptr<resources::ResourceDocument> document_;  // the language document
    std::unordered_map<uint32_t, std::unique_ptr<DialogTemplate>> dialogs_;  // built on first use
};

// ---- the built-in document ----

// The built-in resource document (UTF-8 XML, root "resource").
std::string_view BuiltinResourceXml();
// The strings of the built-in document by id.
const std::map<uint32_t, std::string>& BuiltinStrings();
// The ids of every menu and dialog of the built-in document.
std::vector<uint32_t> BuiltinMenuIds();
std::vector<uint32_t> BuiltinDialogIds();
// The built-in template of dialog `id` (nullptr when there is none); lives as long as the
// program.
const DialogTemplate* BuiltinDialogTemplate(uint32_t id);

// The installed manager (the built-in one until a language is installed), held for the caller:
// any thread may look texts up in it while the window's thread installs another one.
std::shared_ptr<CXTPResourceManager> CurrentResourceManager();
// The installed manager, for the window's thread, which alone installs managers (menus and
// dialog templates, whose pointers live as long as the manager stays installed).
CXTPResourceManager& XTPResourceManager();
// Installs `manager` when it is valid and returns true; otherwise keeps the current one.
bool SetResourceManager(std::unique_ptr<CXTPResourceManager> manager);
// Goes back to the built-in resources.
void ResetResourceManager();

// The menu `id` of the installed manager as a tree (empty when there is none).
std::vector<MenuNode> LoadMenuTree(uint32_t id);

// The template of dialog `id` from the installed manager, checked against the control ids the
// dialog's behaviour needs. When the language template misses some of them, the built-in
// template of that id is returned instead and `missing` lists the ids it lacked (so the caller
// can log it once). nullptr when neither has the dialog.
const DialogTemplate* LoadCheckedDialogTemplate(uint32_t id, std::span<const uint16_t> requiredIds,
                                                std::vector<uint16_t>* missing = nullptr);
