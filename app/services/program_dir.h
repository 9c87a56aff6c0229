#pragma once

#include <string>

namespace name_share {

// The program folder for an executable in `exeDir` (no trailing '/'): `exeDir` itself when it
// holds Norvane.xml, else <exeDir>/../share/norvane when that holds it (an installed program under
// any prefix), else `exeDir`.
std::string ProgramDirBeside(const std::string& exeDir);

// The folder the program runs from, with a trailing '/': $NORVANE_HOME when set, else the
// program folder of the running executable (ProgramDirBeside).
std::string FindProgramDir();

}  // namespace name_share
