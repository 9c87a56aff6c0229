// Feeds arbitrary bytes to the network file reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "network/network_file.h"
#include "network/network_registry.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No adapter library: opening a card fails quickly and is only reported.
    ::setenv("VARDA_REGISTRY", "/nonexistent/norvane-fuzz.reg", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetworkRegistry network;
    LoadNetworkBytes(network, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
