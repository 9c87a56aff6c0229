// Feeds arbitrary bytes through the EDS scanner and every section parser, by way of a file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

#include "eds/eds_file.h"

namespace {

std::string ScratchPath() {
    static const std::string path = [] {
        char tmpl[] = "/tmp/eds_fuzz_XXXXXX";
        int fd = ::mkstemp(tmpl);
        if (fd >= 0) ::close(fd);
        return std::string(tmpl);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // In memory: the scanner and the parsers.
    CEDSFile doc;
    doc.LoadFromMemory(bytes, "fuzz.eds");
    CEDSFile copy = doc;
    for (const auto& [n, p] : copy.Params().Params()) (void)copy.Params().GetParam(n + 1).name.size();
    (void)copy.IOInfo().GetInput(1).help.size();
    // Through a file: the load path.
    const std::string path = ScratchPath();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        CEDSFile fromFile;
        fromFile.Load(path);
    }
    return 0;
}
