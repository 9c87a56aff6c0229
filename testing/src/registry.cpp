#include "testing/registry.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "platform/registry_file.h"

namespace testkit {

std::string VardaSubKey(uint32_t deviceType) { return "SOFTWARE\\BRAMWELL\\VARDA\\" + std::to_string(deviceType); }

bool RegisterDeviceLibrary(const std::string& registryPath, uint32_t deviceType, const std::string& library) {
    return platform::RegWriteString(registryPath, VardaSubKey(deviceType), "DLL", library);
}

ScopedRegistry::ScopedRegistry(const std::vector<Entry>& entries) {
    std::string pattern = (std::filesystem::temp_directory_path() / "norvane_registry_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    folder_ = pattern;
    path_ = folder_ + "/registry.reg";
    for (const auto& [type, library] : entries) {
        if (!RegisterDeviceLibrary(path_, type, library)) throw std::runtime_error("cannot write " + path_);
    }
    if (const char* previous = std::getenv("VARDA_REGISTRY")) {
        hadPrevious_ = true;
        previous_ = previous;
    }
    ::setenv("VARDA_REGISTRY", path_.c_str(), 1);
}

ScopedRegistry::~ScopedRegistry() {
    if (hadPrevious_) {
        ::setenv("VARDA_REGISTRY", previous_.c_str(), 1);
    } else {
        ::unsetenv("VARDA_REGISTRY");
    }
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

}  // namespace testkit
