#include "resources/resource_manager.h"

#include <charconv>
#include <optional>
#include <tinyxml2.h>

#include "platform/file_bytes.h"
#include "platform/text_encoding.h"

extern const unsigned char kBuiltinResourceXml[];
extern const std::size_t kBuiltinResourceXml_size;

namespace {

// Reads the "string" elements of a "resource" root into id -> value. The id is an attribute;
// "value" is an attribute or, failing that, a child element's text.
std::map<uint32_t, std::string> ReadStrings(const tinyxml2::XMLElement& root) {
    std::map<uint32_t, std::string> strings;
    for (const tinyxml2::XMLElement* e = root.FirstChildElement("string"); e; e = e->NextSiblingElement("string")) {
        const char* idText = e->Attribute("id");
        if (!idText) continue;
        std::string_view id(idText);
        uint32_t value = 0;
        auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), value);
        if (ec != std::errc() || end != id.data() + id.size()) continue;
        const char* text = e->Attribute("value");
        if (!text) {
            const tinyxml2::XMLElement* child = e->FirstChildElement("value");
            if (!child) continue;
            text = child->GetText() ? child->GetText() : "";
        }
        strings.emplace(value, text);  // the first element of an id wins, as a selection would
    }
    return strings;
}

std::unique_ptr<CXTPResourceManager>& Installed() {
    static std::unique_ptr<CXTPResourceManager> manager = std::make_unique<CXTPResourceManager>();
    return manager;
}

}  // namespace

std::string_view BuiltinResourceXml() {
    return {reinterpret_cast<const char*>(kBuiltinResourceXml), kBuiltinResourceXml_size};
}

const std::map<uint32_t, std::string>& BuiltinStrings() {
    static const std::map<uint32_t, std::string> strings = [] {
        tinyxml2::XMLDocument doc;
        std::string_view xml = BuiltinResourceXml();
        if (doc.Parse(xml.data(), xml.size()) != tinyxml2::XML_SUCCESS) return std::map<uint32_t, std::string>{};
        const tinyxml2::XMLElement* root = doc.FirstChildElement("resource");
        return root ? ReadStrings(*root) : std::map<uint32_t, std::string>{};
    }();
    return strings;
}

CXTPResourceManager::~CXTPResourceManager() = default;

bool CXTPResourceManager::LoadString(std::string& text, uint32_t id) {
    const auto& strings = BuiltinStrings();
    auto it = strings.find(id);
    if (it == strings.end()) return false;
    text = it->second;
    return true;
}

CXTPResourceManagerXMLEx::CXTPResourceManagerXMLEx(const std::string& path) {
    if (std::optional<std::string> bytes = platform::ReadFileBytes(path)) LoadDocument(*bytes);
}

CXTPResourceManagerXMLEx::~CXTPResourceManagerXMLEx() { Close(); }

std::unique_ptr<CXTPResourceManagerXMLEx> CXTPResourceManagerXMLEx::FromText(std::string_view xml) {
    std::unique_ptr<CXTPResourceManagerXMLEx> manager(new CXTPResourceManagerXMLEx());
    manager->LoadDocument(xml);
    return manager;
}

void CXTPResourceManagerXMLEx::LoadDocument(std::string_view bytes) {
    // Language files written on Chinese systems may be GB18030 whatever they declare.
    std::string text = platform::ToUtf8(bytes);
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) return;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root || std::string_view(root->Name()) != "resource") return;
    strings_ = ReadStrings(*root);
    hasRoot_ = true;
    valid_ = 1;
}

bool CXTPResourceManagerXMLEx::LoadString(std::string& text, uint32_t id) {
    if (valid_ == 0 || !hasRoot_) return CXTPResourceManager::LoadString(text, id);
    auto it = strings_.find(id);
    if (it != strings_.end()) {
        text = it->second;
        return true;
    }
    return CXTPResourceManager::LoadString(text, id);
}

void CXTPResourceManagerXMLEx::Close() {
    CXTPResourceManager::Close();
    strings_.clear();
    hasRoot_ = false;
    valid_ = 0;
}

CXTPResourceManager& XTPResourceManager() { return *Installed(); }

bool SetResourceManager(std::unique_ptr<CXTPResourceManager> manager) {
    if (!manager || !manager->IsValid()) return false;
    Installed() = std::move(manager);
    return true;
}

void ResetResourceManager() { Installed() = std::make_unique<CXTPResourceManager>(); }
