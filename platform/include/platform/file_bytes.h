// Reading a whole file with one read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The content of a regular file, read with one read into a buffer sized from its length.
// nullopt when the path names no regular file (a folder, a device, a missing file, a path with
// a zero byte in it), when the file is larger than `maxSize`, or when it cannot be read whole.
// A path that an installed MemoryFiles holds is served from memory.
std::optional<std::string> ReadFileBytes(const std::string& path, uint64_t maxSize = 64ull * 1024 * 1024);

}  // namespace platform
