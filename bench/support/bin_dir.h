// The folder of the built programs and libraries: NORVANE_BIN_DIR, else the running binary's own.
#pragma once

#include <string>

namespace bench {

std::string BinDir();

// True when the built libtamsen.so is in BinDir().
bool TamsenLibraryBuilt();

// The message for a benchmark skipped because libtamsen.so is missing.
inline constexpr const char* kNoTamsenLibrary = "libtamsen.so not found; set NORVANE_BIN_DIR to the build's bin folder";

}  // namespace bench
