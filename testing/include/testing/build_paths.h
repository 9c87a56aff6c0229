// Where the tests find the build and the sources ($NORVANE_BIN_DIR, $NORVANE_SOURCE_DIR, set by
// ctest), and whole-file reads and writes.
#pragma once

#include <string>
#include <string_view>

namespace testkit {

// The folder of the built programs and libraries ("." when the variable is not set).
std::string BinDir();
// The source tree ("." when the variable is not set).
std::string SourceDir();

// The bytes of a file ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// Replaces a file with `bytes`; false when it cannot be written.
bool WriteFile(const std::string& path, std::string_view bytes);

}  // namespace testkit
