// A temporary folder for a test with a program folder ("home") holding the build's settings,
// which the programs under test use as NORVANE_HOME, so the build's own settings are never
// rewritten.
#pragma once

#include <string>

#include "testing/temp_dir.h"

namespace testkit {

class TestHome : public TempDir {
public:
    explicit TestHome(const std::string& tag);

    std::string ProgramDir() const { return Path("home"); }
};

}  // namespace testkit
