// A parsed resource document (a language file or the built-in document): root "resource"
// with "string", "menu"/"menuitem" and "dialog"/"control" elements. Properties are read as
// attributes or, failing that, as the text of a child element of the same name.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resources/resource_manager.h"

namespace resources {

// A number as a person writes it: optional blanks and sign, then decimal digits or 0x and
// hexadecimal digits, then optional blanks. Nothing else is accepted.
std::optional<int64_t> ParseNumber(std::string_view text);

// A rectangle "x,y,cx,cy" or "x y cx cy" (commas and blanks may be mixed), four numbers of
// ParseNumber's forms.
std::optional<std::array<int64_t, 4>> ParseRectangle(std::string_view text);

class ResourceDocument {
public:
    // nullptr when `utf8` is not an XML document with the root element "resource".
    static std::unique_ptr<ResourceDocument> Parse(std::string_view utf8);
    ~ResourceDocument();
    ResourceDocument(const ResourceDocument&) = delete;
    ResourceDocument& operator=(const ResourceDocument&) = delete;

    // string[@id = "n"] -> "value" (the first element of an id).
    const std::map<uint32_t, std::string>& Strings() const { return strings_; }
    // The items of menu `id`, depth first with their flags; nullopt when the document has no
    // such menu or it has no "menuitem" children.
    std::optional<std::vector<MENUITEMTEMPLATEINFO>> Menu(uint32_t id) const;
    // Dialog `id` as a template; nullopt when the document has no such dialog. A dialog
    // without "style" takes `fallbackStyle`; DS_SETFONT is always added.
    std::optional<DialogTemplate> Dialog(uint32_t id, uint32_t fallbackStyle) const;

    std::vector<uint32_t> MenuIds() const;
    std::vector<uint32_t> DialogIds() const;

private:
    struct Impl;
    explicit ResourceDocument(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    std::map<uint32_t, std::string> strings_;
};

}  // namespace resources
