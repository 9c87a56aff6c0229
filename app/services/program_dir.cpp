#include "services/program_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace name_share {

std::string ProgramDirBeside(const std::string& exeDir) {
    std::error_code ec;
    const std::filesystem::path exe(exeDir);
    // A build tree or a copied folder: the settings lie beside the program.
    if (std::filesystem::is_regular_file(exe / "Norvane.xml", ec)) return exeDir;
    // An installed program: <prefix>/bin/<program> with its folder in <prefix>/share/norvane.
    const std::filesystem::path installed = exe.parent_path() / "share" / "norvane";
    if (std::filesystem::is_regular_file(installed / "Norvane.xml", ec)) return installed.string();
    return exeDir;
}

std::string FindProgramDir() {
    std::string dir;
    if (const char* home = std::getenv("NORVANE_HOME"); home && *home) {
        dir = home;
    } else {
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        dir = ec ? std::filesystem::current_path(ec).string() : ProgramDirBeside(exe.parent_path().string());
    }
    if (dir.empty() || dir.back() != '/') dir.push_back('/');
    return dir;
}

}  // namespace name_share
