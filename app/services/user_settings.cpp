#include "services/user_settings.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace name_share {
namespace {

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

// A file can be replaced when its folder is writable (files are saved through a temporary file
// and a rename) and, when it exists, it is writable itself.
bool UserSettings::CanWrite(const std::string& path) {
    const std::filesystem::path p(path);
    const std::string dir = p.parent_path().empty() ? std::string(".") : p.parent_path().string();
    if (::access(dir.c_str(), W_OK) != 0) return false;
    return !Exists(path) || ::access(path.c_str(), W_OK) == 0;
}

UserSettings::UserSettings(std::string programDir, std::string userDir, WritableCheck canWrite)
    : programDir_(std::move(programDir)), userDir_(std::move(userDir)), canWrite_(std::move(canWrite)) {}

namespace {

// <$variable or $HOME/fallback>/norvane/; a relative $variable is ignored, as the XDG rules say.
std::string XdgFolder(const char* variable, const char* fallback) {
    std::string base;
    if (const char* xdg = std::getenv(variable); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/" + fallback;
    } else {
        return {};
    }
    if (base.back() != '/') base.push_back('/');
    return base + "norvane/";
}

}  // namespace

std::string UserSettings::UserDirFromEnvironment() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserSettings::UserDataDirFromEnvironment() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

std::string UserSettings::ReadPath(std::string_view relative) const {
    std::string program = programDir_ + std::string(relative);
    if (userDir_.empty() || canWrite_(program)) return program;
    std::string user = userDir_ + std::string(relative);
    return Exists(user) ? user : program;
}

std::string UserSettings::WritePath(std::string_view relative) const {
    std::string program = programDir_ + std::string(relative);
    if (userDir_.empty()) return program;
    if (canWrite_(program)) return program;
    std::string user = userDir_ + std::string(relative);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(user).parent_path(), ec);
    return user;
}

}  // namespace name_share
