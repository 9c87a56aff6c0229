#include "testing/temp_dir.h"

#include <stdlib.h>

#include <stdexcept>

#include "testing/build_paths.h"

namespace testkit {

TempDir::TempDir(const std::string& tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "_XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path path = path_ + relative;
    std::filesystem::create_directories(path.parent_path());
    if (!WriteFile(path.string(), content)) throw std::runtime_error("cannot write " + path.string());
    return path.string();
}

std::string TempDir::Read(const std::string& relative) const { return ReadFile(path_ + relative); }

bool TempDir::Exists(const std::string& relative) const { return std::filesystem::exists(path_ + relative); }

}  // namespace testkit
