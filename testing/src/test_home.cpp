#include "testing/test_home.h"

#include <filesystem>

#include "testing/build_paths.h"

namespace testkit {

TestHome::TestHome(const std::string& tag) : TempDir("norvane-" + tag) {
    std::filesystem::create_directories(ProgramDir());
    for (const char* file : {"Norvane.xml", "config.xml"}) {
        std::error_code ec;
        std::filesystem::copy_file(std::filesystem::path(BinDir()) / file, std::filesystem::path(ProgramDir()) / file,
                                   ec);
    }
}

}  // namespace testkit
