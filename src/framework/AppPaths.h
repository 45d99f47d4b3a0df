// Where the program keeps its files: beside its executables.
#pragma once

#include <string>

namespace apppaths {

// The folder of the running executable (no trailing slash).
std::string ExecutableDir();

// Where the settings file and the protocol log live: beside the executables when that folder
// is writable (a build tree, a copy in the user's own folders), otherwise the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config) with "tessaron" below it, created
// when missing. No trailing slash.
std::string DataDir();
// The choice of DataDir from its inputs (null for an unset variable); tests call it directly.
// A configuration folder that cannot be named (no usable variable) leaves the executables'
// folder.
std::string ChooseDataDir(const std::string& exeDir, bool exeDirWritable, const char* xdgConfigHome,
                          const char* home);

// The user's own folder of the program, whatever the executable: "tessaron" in
// $XDG_CONFIG_HOME (else ~/.config), created when missing. For programs that do not live
// beside their settings, such as a script's interpreter running the Python module.
std::string UserDataDir();

// The settings file shared by the window program, the command line tool and the
// simulator: "tessaron.ini" in DataDir().
std::string DefaultSettingsPath();

} // namespace apppaths
