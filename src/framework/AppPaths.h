// Where the program keeps its files: beside its executables.
#pragma once

#include <string>

namespace apppaths {

// The folder of the running executable (no trailing slash).
std::string ExecutableDir();

// The settings file shared by the window program, the command line tool and the
// simulator: "tessaron.ini" beside the executables.
std::string DefaultSettingsPath();

} // namespace apppaths
