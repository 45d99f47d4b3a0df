// The command line tool's profile commands: new, set, generate, show, export, import,
// correction and codes (show and codes also take volt-phase tables).
#pragma once

#include "Command.h"

#include <vector>

std::vector<Command> AddProfileCommands(CLI::App& tool);
