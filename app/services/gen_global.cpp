#include "services/gen_global.h"

#include "resources/resource_manager.h"

namespace name_share {

LanguageEntry ParseLanguageEntry(std::string_view line) {
    LanguageEntry entry;
    std::string_view fields[5];
    size_t pos = 0;
    for (int i = 0; i < 5 && pos != std::string_view::npos; ++i) {
        size_t bar = line.find('|', pos);
        fields[i] = line.substr(pos, bar == std::string_view::npos ? std::string_view::npos : bar - pos);
        pos = bar == std::string_view::npos ? bar : bar + 1;
    }
    auto toInt = [](std::string_view s) {
        int64_t v = 0;
        bool negative = !s.empty() && s.front() == '-';
        if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
        for (char c : s) {
            if (c < '0' || c > '9') break;
            v = v * 10 + (c - '0');
            if (v > INT32_MAX) v = INT32_MAX;
        }
        return static_cast<int32_t>(negative ? -v : v);
    };
    entry.field0 = toInt(fields[0]);
    entry.field1 = toInt(fields[1]);
    entry.locale = std::string(fields[2]);
    entry.resourceFile = std::string(fields[3]);
    entry.caption = std::string(fields[4]);
    return entry;
}

CGenGlobal::CGenGlobal(std::string programDir) : programDir_(std::move(programDir)) {
    if (programDir_.empty() || programDir_.back() != '/') programDir_.push_back('/');
}

CGenGlobal::~CGenGlobal() = default;

int CGenGlobal::TrackContextMenu(uint32_t menuId, int subIndex, WindowRef owner) {
    IHost* host = Host();
    return host ? host->TrackContextMenu(menuId, subIndex, owner) : 0;
}

int CGenGlobal::ShowMessageById(uint32_t id, int kind, uint32_t type, WindowRef owner) {
    return ShowMessage(LoadText(id), kind, type, owner);
}

int CGenGlobal::MessageBox(WindowRef owner, std::string_view text, int kind, uint32_t type) {
    static constexpr const char* kCaptions[] = {"Information", "Warning", "Error"};
    static constexpr uint32_t kDefaultTypes[] = {64, 32, 16};
    if (kind < 0 || kind > 2) return 0;
    if (type == 0) type = kDefaultTypes[kind];
    IHost* host = Host();
    if (!host) return 0;
    return host->ShowMessageBox({owner, kCaptions[kind], std::string(text), type});
}

int CGenGlobal::OpenProgramFile(std::string_view fileName) {
    IHost* host = Host();
    if (!host) return 0;
    return host->OpenFile(programDir_ + std::string(fileName)) ? 1 : 0;
}

std::string CGenGlobal::LoadText(uint32_t id) const {
    std::string text;
    if (CurrentResourceManager()->LoadString(text, id)) return text;
    // The installed manager falls back itself; ask the built-in table directly in case a
    // manager of another kind is installed.
    const auto& builtin = BuiltinStrings();
    auto it = builtin.find(id);
    return it == builtin.end() ? std::string() : it->second;
}

}  // namespace name_share
