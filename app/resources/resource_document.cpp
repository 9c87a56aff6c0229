#include "resources/resource_document.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#include <limits>

namespace resources {
namespace {

using tinyxml2::XMLElement;

// Menus nest at most this deep; deeper items are left out.
constexpr int kMaxMenuDepth = 16;
// A template holds at most this many controls; later ones are left out.
constexpr size_t kMaxControls = 1024;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A property: the attribute `name`, else the text of the first child element `name` (empty
// text when the element is empty); nullptr when neither exists.
const char* Property(const XMLElement& e, const char* name) {
    if (const char* value = e.Attribute(name)) return value;
    if (const XMLElement* child = e.FirstChildElement(name)) return child->GetText() ? child->GetText() : "";
    return nullptr;
}

std::string TextProperty(const XMLElement& e, const char* name, std::string_view fallback) {
    const char* value = Property(e, name);
    return value ? std::string(value) : std::string(fallback);
}

int64_t NumberProperty(const XMLElement& e, const char* name, int64_t fallback) {
    const char* value = Property(e, name);
    if (!value) return fallback;
    return ParseNumber(value).value_or(fallback);
}

// A 32-bit value from a number written signed or unsigned; out of range: the fallback.
uint32_t Bits32Property(const XMLElement& e, const char* name, uint32_t fallback) {
    int64_t v = NumberProperty(e, name, static_cast<int64_t>(fallback));
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<uint32_t>::max()) return fallback;
    return static_cast<uint32_t>(v);
}

int16_t ClampUnits(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, 0, kMaxDialogUnits)); }

void ReadPosition(const XMLElement& e, int16_t& x, int16_t& y, int16_t& cx, int16_t& cy) {
    std::array<int64_t, 4> r{0, 0, 0, 0};
    if (const char* value = Property(e, "position")) r = ParseRectangle(value).value_or(r);
    x = ClampUnits(r[0]);
    y = ClampUnits(r[1]);
    cx = ClampUnits(r[2]);
    cy = ClampUnits(r[3]);
}

std::optional<uint32_t> IdAttribute(const XMLElement& e) {
    const char* text = e.Attribute("id");
    if (!text) return std::nullopt;
    std::optional<int64_t> v = ParseNumber(text);
    if (!v || *v < 0 || *v > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<uint32_t>(*v);
}

// The first element named `name` of each id among the root's children.
std::map<uint32_t, const XMLElement*> IndexById(const XMLElement& root, const char* name) {
    std::map<uint32_t, const XMLElement*> index;
    for (const XMLElement* e = root.FirstChildElement(name); e; e = e->NextSiblingElement(name)) {
        if (std::optional<uint32_t> id = IdAttribute(*e)) index.emplace(*id, e);
    }
    return index;
}

void CollectMenuItems(const XMLElement& node, std::vector<MENUITEMTEMPLATEINFO>& items, int depth) {
    for (const XMLElement* child = node.FirstChildElement("menuitem"); child;
         child = child->NextSiblingElement("menuitem")) {
        MENUITEMTEMPLATEINFO item;
        item.id = static_cast<uint16_t>(NumberProperty(*child, "id", 0) & 0xFFFF);
        item.caption = TextProperty(*child, "caption", "");
        const bool popup = child->FirstChildElement("menuitem") != nullptr && depth < kMaxMenuDepth;
        if (popup) {
            item.flags |= kMenuItemPopup;
        } else if (item.id == 0) {
            item.flags |= kMenuItemSeparator;
        }
        if (!child->NextSiblingElement("menuitem")) item.flags |= kMenuItemEnd;
        items.push_back(std::move(item));
        if (popup) CollectMenuItems(*child, items, depth + 1);
    }
}

}  // namespace

std::optional<int64_t> ParseNumber(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > (int64_t{1} << 40)) return std::nullopt;  // far beyond any 32-bit value
    }
    return negative ? -value : value;
}

std::optional<std::array<int64_t, 4>> ParseRectangle(std::string_view text) {
    std::array<int64_t, 4> r{};
    size_t count = 0;
    size_t pos = 0;
    bool expectNumber = true;  // a comma may not follow a comma or start the text
    while (pos < text.size()) {
        const char c = text[pos];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++pos;
            continue;
        }
        if (c == ',') {
            if (expectNumber) return std::nullopt;
            expectNumber = true;
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < text.size() && text[end] != ',' && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
        if (count == 4) return std::nullopt;
        std::optional<int64_t> v = ParseNumber(text.substr(pos, end - pos));
        if (!v) return std::nullopt;
        r[count++] = *v;
        expectNumber = false;
        pos = end;
    }
    if (count != 4 || expectNumber) return std::nullopt;
    return r;
}

struct ResourceDocument::Impl {
    tinyxml2::XMLDocument doc;
    std::map<uint32_t, const XMLElement*> menus;
    std::map<uint32_t, const XMLElement*> dialogs;
};

ResourceDocument::ResourceDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
ResourceDocument::~ResourceDocument() = default;

std::unique_ptr<ResourceDocument> ResourceDocument::Parse(std::string_view utf8) {
    auto impl = std::make_unique<Impl>();
    if (impl->doc.Parse(utf8.data(), utf8.size()) != tinyxml2::XML_SUCCESS) return nullptr;
    const XMLElement* root = impl->doc.RootElement();
    if (!root || std::string_view(root->Name()) != "resource") return nullptr;
    impl->menus = IndexById(*root, "menu");
    impl->dialogs = IndexById(*root, "dialog");
    std::unique_ptr<ResourceDocument> document(new ResourceDocument(std::move(impl)));
    for (const XMLElement* e = root->FirstChildElement("string"); e; e = e->NextSiblingElement("string")) {
        std::optional<uint32_t> id = IdAttribute(*e);
        const char* value = Property(*e, "value");
        if (id && value) document->strings_.emplace(*id, value);
    }
    return document;
}

std::optional<std::vector<MENUITEMTEMPLATEINFO>> ResourceDocument::Menu(uint32_t id) const {
    auto it = impl_->menus.find(id);
    if (it == impl_->menus.end()) return std::nullopt;
    std::vector<MENUITEMTEMPLATEINFO> items;
    CollectMenuItems(*it->second, items, 0);
    if (items.empty()) return std::nullopt;
    return items;
}

std::optional<DialogTemplate> ResourceDocument::Dialog(uint32_t id, uint32_t fallbackStyle) const {
    auto it = impl_->dialogs.find(id);
    if (it == impl_->dialogs.end()) return std::nullopt;
    const XMLElement& dialog = *it->second;
    DialogTemplate t;
    t.style = Bits32Property(dialog, "style", fallbackStyle) | kDsSetFont;
    t.exStyle = Bits32Property(dialog, "styleex", 0);
    ReadPosition(dialog, t.x, t.y, t.cx, t.cy);
    t.fontFace = TextProperty(dialog, "fontface", kDefaultDialogFont);
    // A size no one can read or one that fills the screen with one letter is not a font size.
    t.fontSize =
        static_cast<uint16_t>(std::clamp<int64_t>(NumberProperty(dialog, "fontsize", kDefaultDialogFontSize), 4, 48));
    t.caption = TextProperty(dialog, "caption", "");
    for (const XMLElement* c = dialog.FirstChildElement("control"); c && t.controls.size() < kMaxControls;
         c = c->NextSiblingElement("control")) {
        DLGITEMTEMPLATEINFO control;
        control.style = Bits32Property(*c, "style", kDefaultControlStyle);
        control.exStyle = Bits32Property(*c, "styleex", 0);
        ReadPosition(*c, control.x, control.y, control.cx, control.cy);
        control.caption = TextProperty(*c, "caption", "");
        control.className = TextProperty(*c, "class", "STATIC");
        control.id = static_cast<uint16_t>(NumberProperty(*c, "id", -1) & 0xFFFF);
        const int64_t resource = NumberProperty(*c, "resource", 0);
        if (resource > 0 && resource <= std::numeric_limits<int32_t>::max()) {
            control.resource = static_cast<uint32_t>(resource);
            control.caption.assign(1, ' ');  // the single blank that stands for an ordinal title
        }
        t.controls.push_back(std::move(control));
    }
    return t;
}

std::vector<uint32_t> ResourceDocument::MenuIds() const {
    std::vector<uint32_t> ids;
    for (const auto& [id, e] : impl_->menus) ids.push_back(id);
    return ids;
}

std::vector<uint32_t> ResourceDocument::DialogIds() const {
    std::vector<uint32_t> ids;
    for (const auto& [id, e] : impl_->dialogs) ids.push_back(id);
    return ids;
}

}  // namespace resources
