#pragma once

#include <string>

namespace name_share {

// The folder the program runs from, with a trailing '/': $NORVANE_HOME when set, else the
// folder of the running executable.
std::string FindProgramDir();

}  // namespace name_share
