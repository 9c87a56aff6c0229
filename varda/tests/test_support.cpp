#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "testing/registry.h"

namespace vardatest {

namespace {

struct Folder {
    std::filesystem::path path;
    Folder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "varda-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern;
        ::setenv("VARDA_REGISTRY", (path / "registry.reg").c_str(), 1);
        ::setenv("VARDA_DEBUG_OUTPUT", (path / "debug.log").c_str(), 1);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

// Sets the variables before any test runs, while the process has one thread.
const bool folderReady = (TheFolder(), true);

}  // namespace

const std::string& TestDir() {
    static const std::string dir = TheFolder().path.string();
    return dir;
}

std::string RegistryPath() { return TestDir() + "/registry.reg"; }

uint32_t NewDeviceType() {
    static std::atomic<uint32_t> next{1000};
    return next++;
}

std::string SubKey(uint32_t deviceType) { return testkit::VardaSubKey(deviceType); }

std::string VariantPath(const std::string& variant) {
    return std::string(VARDA_TESTDEV_DIR) + "/libvarda_testdev_" + variant + ".so";
}

std::string InstallDevice(const std::string& variant, uint32_t deviceType) {
    const std::string copy = TestDir() + "/" + variant + "-" + std::to_string(deviceType) + ".so";
    std::filesystem::copy_file(VariantPath(variant), copy, std::filesystem::copy_options::overwrite_existing);
    EXPECT_TRUE(testkit::RegisterDeviceLibrary(RegistryPath(), deviceType, copy));
    return copy;
}

void WriteRegistry(const std::string& text) {
    std::ofstream out(RegistryPath(), std::ios::binary | std::ios::trunc);
    out << text;
}

std::vector<LogLine> LogLines() {
    std::ifstream in(TestDir() + "/debug.log", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    static const std::regex form(R"(varda\.dll: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} - ([^:]+): (.*))");
    std::vector<LogLine> lines;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "unterminated debug line: " << all.substr(start);
            break;
        }
        const std::string line = all.substr(start, end - start);
        std::smatch m;
        if (std::regex_match(line, m, form)) {
            lines.push_back({m[1], m[2]});
        } else {
            ADD_FAILURE() << "malformed debug line: " << line;
        }
        start = end + 1;
    }
    return lines;
}

void ClearLog() { std::ofstream(TestDir() + "/debug.log", std::ios::trunc); }

}  // namespace vardatest
