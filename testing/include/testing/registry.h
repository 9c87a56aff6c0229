// Registry files for the dispatcher: which device library serves a device type.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testkit {

// "SOFTWARE\BRAMWELL\VARDA\<type>", the key whose value "DLL" names a device type's library.
std::string VardaSubKey(uint32_t deviceType);

// Adds (or replaces) the library of a device type in a registry file, creating the file.
bool RegisterDeviceLibrary(const std::string& registryPath, uint32_t deviceType, const std::string& library);

// A registry file of its own naming device libraries; $VARDA_REGISTRY points to it while the
// object lives, and gets its former value back afterwards.
class ScopedRegistry {
public:
    using Entry = std::pair<uint32_t, std::string>;  // (device type, library path)

    explicit ScopedRegistry(const std::vector<Entry>& entries);
    ScopedRegistry(uint32_t deviceType, const std::string& library) : ScopedRegistry({{deviceType, library}}) {}
    ~ScopedRegistry();
    ScopedRegistry(const ScopedRegistry&) = delete;
    ScopedRegistry& operator=(const ScopedRegistry&) = delete;

    const std::string& Path() const { return path_; }
    bool Register(uint32_t deviceType, const std::string& library) const {
        return RegisterDeviceLibrary(path_, deviceType, library);
    }

private:
    std::string folder_;
    std::string path_;
    bool hadPrevious_ = false;
    std::string previous_;
};

}  // namespace testkit
