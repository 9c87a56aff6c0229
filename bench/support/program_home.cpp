#include "support/program_home.h"

#include <unistd.h>

#include <cstdlib>

#include "support/bin_dir.h"

namespace bench {

namespace fs = std::filesystem;

ProgramHome::ProgramHome(const std::string& folderPrefix)
    : root(fs::temp_directory_path() / (folderPrefix + std::to_string(::getpid()))) {
    std::error_code ec;
    fs::create_directories(root, ec);
    for (const char* name : {"Norvane.xml", "config.xml", "language", "edsfile"}) {
        fs::copy(fs::path(BinDir()) / name, root / name, fs::copy_options::recursive, ec);
    }
    ::setenv("NORVANE_HOME", root.c_str(), 1);
}

ProgramHome::~ProgramHome() {
    std::error_code ec;
    fs::remove_all(root, ec);
}

}  // namespace bench
