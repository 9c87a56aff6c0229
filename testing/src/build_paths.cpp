#include "testing/build_paths.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace testkit {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string BinDir() {
    std::string dir = Variable("NORVANE_BIN_DIR");
    return dir.empty() ? "." : dir;
}

std::string SourceDir() {
    std::string dir = Variable("NORVANE_SOURCE_DIR");
    return dir.empty() ? "." : dir;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace testkit
