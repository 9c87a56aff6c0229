#include "resources/resource_manager.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "platform/file_bytes.h"
#include "resources/language_text.h"
#include "resources/resource_document.h"

extern const unsigned char kBuiltinResourceXml[];
extern const std::size_t kBuiltinResourceXml_size;

namespace {

using resources::ResourceDocument;

// The installed manager. Worker threads format texts while the window's thread may install
// another language: each lookup holds its own reference, so a manager being replaced lives
// until the last lookup that took it has finished.
struct InstalledManager {
    std::mutex lock;
    std::shared_ptr<CXTPResourceManager> manager = std::make_shared<CXTPResourceManager>();
};

InstalledManager& Installed() {
    static InstalledManager installed;
    return installed;
}

// Replaces the installed manager; the former one is released outside the lock.
void Install(std::shared_ptr<CXTPResourceManager> manager) {
    InstalledManager& installed = Installed();
    std::lock_guard guard(installed.lock);
    installed.manager.swap(manager);
}

// The built-in document, parsed once. An empty document stands in if it ever failed to parse,
// so every lookup simply finds nothing.
const ResourceDocument& Builtin() {
    static const std::unique_ptr<ResourceDocument> document = [] {
        std::unique_ptr<ResourceDocument> d = ResourceDocument::Parse(BuiltinResourceXml());
        return d ? std::move(d) : ResourceDocument::Parse("<resource/>");
    }();
    return *document;
}

// The built-in templates, built once each and kept for the program's life.
struct BuiltinDialogs {
    std::map<uint32_t, std::unique_ptr<DialogTemplate>> templates;
    BuiltinDialogs() {
        for (uint32_t id : Builtin().DialogIds()) {
            if (std::optional<DialogTemplate> t = Builtin().Dialog(id, 0)) {
                templates.emplace(id, std::make_unique<DialogTemplate>(std::move(*t)));
            }
        }
    }
};

const BuiltinDialogs& BuiltinTemplates() {
    static const BuiltinDialogs dialogs;
    return dialogs;
}

}  // namespace

std::string_view BuiltinResourceXml() {
    return {reinterpret_cast<const char*>(kBuiltinResourceXml), kBuiltinResourceXml_size};
}

const std::map<uint32_t, std::string>& BuiltinStrings() { return Builtin().Strings(); }
std::vector<uint32_t> BuiltinMenuIds() { return Builtin().MenuIds(); }
std::vector<uint32_t> BuiltinDialogIds() { return Builtin().DialogIds(); }

const DialogTemplate* BuiltinDialogTemplate(uint32_t id) {
    const auto& templates = BuiltinTemplates().templates;
    auto it = templates.find(id);
    return it == templates.end() ? nullptr : it->second.get();
}

// ---- the built-in manager ----

CXTPResourceManager::~CXTPResourceManager() = default;

bool CXTPResourceManager::LoadString(std::string& text, uint32_t id) {
    const auto& strings = BuiltinStrings();
    auto it = strings.find(id);
    if (it == strings.end()) return false;
    text = it->second;
    return true;
}

bool CXTPResourceManager::LoadMenu(std::vector<MENUITEMTEMPLATEINFO>& items, uint32_t id) {
    std::optional<std::vector<MENUITEMTEMPLATEINFO>> menu = Builtin().Menu(id);
    if (!menu) return false;
    items = std::move(*menu);
    return true;
}

const DialogTemplate* CXTPResourceManager::LoadDialogTemplate(uint32_t id) { return BuiltinDialogTemplate(id); }

// ---- the language-file manager ----

CXTPResourceManagerXMLEx::CXTPResourceManagerXMLEx() = default;

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
    document_ = ResourceDocument::Parse(resources::LanguageFileText(bytes));
    valid_ = document_ ? 1 : 0;
}

bool CXTPResourceManagerXMLEx::LoadString(std::string& text, uint32_t id) {
    if (valid_ != 0 && document_) {
        const auto& strings = document_->Strings();
        auto it = strings.find(id);
        if (it != strings.end()) {
            text = it->second;
            return true;
        }
    }
    return CXTPResourceManager::LoadString(text, id);
}

bool CXTPResourceManagerXMLEx::LoadMenu(std::vector<MENUITEMTEMPLATEINFO>& items, uint32_t id) {
    if (valid_ != 0 && document_) {
        // No such menu, or one without items: the built-in menu.
        if (std::optional<std::vector<MENUITEMTEMPLATEINFO>> menu = document_->Menu(id)) {
            items = std::move(*menu);
            return true;
        }
    }
    return CXTPResourceManager::LoadMenu(items, id);
}

const DialogTemplate* CXTPResourceManagerXMLEx::LoadDialogTemplate(uint32_t id) {
    if (valid_ == 0 || !document_) return CXTPResourceManager::LoadDialogTemplate(id);
    if (auto it = dialogs_.find(id); it != dialogs_.end()) return it->second.get();
    // A dialog without "style" keeps the style of the built-in template.
    const DialogTemplate* builtin = BuiltinDialogTemplate(id);
    std::optional<DialogTemplate> built = document_->Dialog(id, builtin ? builtin->style : 0);
    if (!built) return CXTPResourceManager::LoadDialogTemplate(id);
    auto [it, inserted] = dialogs_.emplace(id, std::make_unique<DialogTemplate>(std::move(*built)));
    return it->second.get();
}

void CXTPResourceManagerXMLEx::Close() {
    CXTPResourceManager::Close();
    document_.reset();
    dialogs_.clear();
    valid_ = 0;
}

// ---- the installed manager ----

std::shared_ptr<CXTPResourceManager> CurrentResourceManager() {
    InstalledManager& installed = Installed();
    std::lock_guard guard(installed.lock);
    return installed.manager;
}

CXTPResourceManager& XTPResourceManager() { return *CurrentResourceManager(); }

bool SetResourceManager(std::unique_ptr<CXTPResourceManager> manager) {
    if (!manager || !manager->IsValid()) return false;
    Install(std::move(manager));
    return true;
}

void ResetResourceManager() { Install(std::make_shared<CXTPResourceManager>()); }

std::vector<MenuNode> LoadMenuTree(uint32_t id) {
    std::vector<MENUITEMTEMPLATEINFO> items;
    if (!XTPResourceManager().LoadMenu(items, id)) return {};
    return MenuTree(items);
}

const DialogTemplate* LoadCheckedDialogTemplate(uint32_t id, std::span<const uint16_t> requiredIds,
                                                std::vector<uint16_t>* missing) {
    const DialogTemplate* chosen = XTPResourceManager().LoadDialogTemplate(id);
    std::vector<uint16_t> lacking;
    for (uint16_t required : requiredIds) {
        if (!chosen || !chosen->FindControl(required)) lacking.push_back(required);
    }
    const DialogTemplate* builtin = BuiltinDialogTemplate(id);
    if (!lacking.empty() && builtin) chosen = builtin;
    if (missing) *missing = std::move(lacking);
    return chosen;
}
