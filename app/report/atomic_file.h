// Writing a whole file or nothing: the bytes go to a new file beside the target, which then
// replaces the target in one rename.
#pragma once

#include <string>
#include <string_view>

// True when `path` now holds `bytes`. On failure the target is unchanged, no temporary file is
// left behind, and `error` says why.
bool WriteFileWhole(const std::string& path, std::string_view bytes, std::string& error);
