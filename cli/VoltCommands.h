// The command line tool's volt-phase commands.
#pragma once

#include "Command.h"

#include <string>
#include <vector>

// "volt new OUT.vf [--elements N] [--digits D] [--section S] [--level1 X] [--level0 Y]
// [--ref-voltage V] [--comment TEXT]": a new volt-phase table with the settings' defaults,
// then the form's "&Apply" with the given fields, saved to OUT.vf.
std::vector<Command> AddVoltCommands(CLI::App& tool);

// Lists a .vf file's fields, one 'name: value' line each, then every element code.
int ShowVolt(CliContext& context, const std::string& path);

// Prints the codes a send of the .vf file would transmit, one per line, in order.
int VoltCodes(CliContext& context, const std::string& path);
