#include "services/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace name_share {

std::string FindProgramDir() {
    std::string dir;
    if (const char* home = std::getenv("NORVANE_HOME"); home && *home) {
        dir = home;
    } else {
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        dir = ec ? std::filesystem::current_path(ec).string() : exe.parent_path().string();
    }
    if (dir.empty() || dir.back() != '/') dir.push_back('/');
    return dir;
}

}  // namespace name_share
