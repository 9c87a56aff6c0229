// Feeds arbitrary bytes through the EDS scanner and every section parser, from memory (the
// file read itself is the tests' business), then reads the document back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "eds/eds_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CEDSFile doc;
    doc.LoadFromMemory(bytes, "fuzz.eds");
    for (const auto& [n, p] : doc.Params().Params()) (void)doc.Params().GetParam(n + 1).name.size();
    (void)doc.IOInfo().GetInput(1).help.size();
    // A section parsed again from its own entries comes out the same.
    DeviceNetEDS::CParamsInfo params;
    params.Parse(doc.Params().Entries());
    if (params.Params() != doc.Params().Params()) __builtin_trap();
    return 0;
}
