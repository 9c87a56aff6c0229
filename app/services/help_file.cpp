#include "services/help_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace name_share {
namespace {

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

// The MimeType= line of a desktop file's [Desktop Entry] group names `mimeType`.
bool DeclaresMimeType(const std::filesystem::path& file, std::string_view mimeType) {
    std::ifstream in(file);
    std::string line;
    bool entry = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            entry = line.rfind("[Desktop Entry]", 0) == 0;
            continue;
        }
        if (!entry || line.rfind("MimeType=", 0) != 0) continue;
        std::string_view list(line);
        list.remove_prefix(9);
        while (!list.empty()) {
            const size_t semi = list.find(';');
            if (list.substr(0, semi) == mimeType) return true;
            if (semi == std::string_view::npos) break;
            list.remove_prefix(semi + 1);
        }
    }
    return false;
}

}  // namespace

std::string HelpFileToOpen(const std::string& programDir, bool chmViewer) {
    std::string chm = programDir + "help.chm";
    std::string html = programDir + "help/index.html";
    if (chmViewer && IsFile(chm)) return chm;
    if (IsFile(html)) return html;
    return chm;
}

bool DesktopHasHandlerFor(std::string_view mimeType, const std::vector<std::string>& dataDirs) {
    for (const std::string& dir : dataDirs) {
        std::error_code ec;
        std::filesystem::recursive_directory_iterator it(std::filesystem::path(dir) / "applications", ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() == ".desktop" && DeclaresMimeType(it->path(), mimeType)) return true;
        }
    }
    return false;
}

std::vector<std::string> XdgDataDirs() {
    std::vector<std::string> dirs;
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home == '/') {
        dirs.emplace_back(home);
    } else if (const char* user = std::getenv("HOME"); user && *user) {
        dirs.push_back(std::string(user) + "/.local/share");
    }
    std::string list = "/usr/local/share:/usr/share";
    if (const char* env = std::getenv("XDG_DATA_DIRS"); env && *env) list = env;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t colon = list.find(':', start);
        std::string dir = list.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
        if (!dir.empty() && dir[0] == '/') dirs.push_back(std::move(dir));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    return dirs;
}

}  // namespace name_share
