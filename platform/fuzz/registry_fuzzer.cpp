// Feeds arbitrary bytes to the registry file parser and reads back what it found, as the
// dispatcher does when it looks up a device library.
#include "platform/registry_file.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    platform::RegistryDocument doc;
    doc.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    uint8_t buffer[260];
    for (const auto& key : doc.Keys()) {
        platform::RegType type{};
        uint32_t valueSize = 0;
        (void)platform::RegQueryValue(key, "DLL", type, buffer, valueSize);
    }
    platform::RegistryDocument again;
    again.Parse(doc.Serialize());
    return 0;
}
