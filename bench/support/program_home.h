// A program folder of its own for a benchmark (a copy of the build's settings, language and EDS
// folders), set as NORVANE_HOME so config.xml of the build is never rewritten. Make it before
// anything asks CGlobal; it is removed when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace bench {

struct ProgramHome {
    explicit ProgramHome(const std::string& folderPrefix);
    ~ProgramHome();
    ProgramHome(const ProgramHome&) = delete;
    ProgramHome& operator=(const ProgramHome&) = delete;

    std::filesystem::path root;
};

}  // namespace bench
