#include "services/profile_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace name_share {

namespace fs = std::filesystem;

std::string LegacyProfilePath() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        return {};
    }
    if (base.back() != '/') base.push_back('/');
    return base + "Local AppWizard-Generated Applications/Norvane.conf";
}

std::string UserProfilePath(const std::string& userDir, const std::string& legacyPath) {
    if (userDir.empty()) return {};
    std::string path = userDir + "Norvane.conf";
    std::error_code ec;
    if (legacyPath.empty() || fs::exists(path, ec) || !fs::is_regular_file(legacyPath, ec)) return path;
    fs::create_directories(userDir, ec);
    ec.clear();
    fs::rename(legacyPath, path, ec);
    if (ec) {
        // Another file system: copy, and remove the old file only once the copy is whole.
        ec.clear();
        const std::string temp = path + ".tmp";
        if (!fs::copy_file(legacyPath, temp, fs::copy_options::overwrite_existing, ec) || ec) {
            fs::remove(temp, ec);
            return legacyPath;
        }
        fs::rename(temp, path, ec);
        if (ec) {
            fs::remove(temp, ec);
            return legacyPath;
        }
        fs::remove(legacyPath, ec);
    }
    const fs::path oldFolder = fs::path(legacyPath).parent_path();
    if (fs::is_empty(oldFolder, ec) && !ec) fs::remove(oldFolder, ec);
    return path;
}

}  // namespace name_share
