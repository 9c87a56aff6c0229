// Files held in memory under their paths, for test programs and fuzz harnesses that feed bytes to
// readers which take a path: while a MemoryFiles object exists, ReadFileBytes (and with it every
// reader built on it: INI files, settings, language files) serves the paths it holds from memory,
// without the file system. Other paths are read from the file system as always.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class MemoryFiles {
public:
    // Installs the object; only one may exist at a time (std::logic_error otherwise).
    MemoryFiles();
    // Uninstalls it: every path is read from the file system again.
    ~MemoryFiles();
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    // The file at `path` holds `bytes` from now on. Not while another thread reads files.
    void Put(const std::string& path, std::string_view bytes);
    // The file at `path` is read from the file system again.
    void Remove(const std::string& path);

    // The bytes held for `path`, when the installed object holds it.
    static const std::string* Find(const std::string& path);

private:
    std::map<std::string, std::string, std::less<>> files_;
};

}  // namespace platform
