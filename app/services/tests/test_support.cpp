#include "test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <stdlib.h>

namespace testing_support {

TempDir::TempDir() {
    char tmpl[] = "/tmp/norvane_test_XXXXXX";
    if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    path_ = std::string(tmpl) + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path path = path_ + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    return path.string();
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream in(path_ + relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool TempDir::Exists(const std::string& relative) const { return std::filesystem::exists(path_ + relative); }

}  // namespace testing_support
