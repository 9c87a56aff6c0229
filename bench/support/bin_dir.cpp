#include "support/bin_dir.h"

#include <cstdlib>
#include <filesystem>

namespace bench {

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

bool TamsenLibraryBuilt() { return std::filesystem::exists(BinDir() + "/libtamsen.so"); }

}  // namespace bench
