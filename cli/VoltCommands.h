// The command line tool's volt-phase commands.
#pragma once

#include "Command.h"

#include <cstdint>
#include <string>
#include <vector>

// "volt new OUT.vf [--elements N] [--digits D] [--section S] [--level1 X] [--level0 Y]
// [--ref-voltage V] [--comment TEXT]": a new volt-phase table with the settings' defaults,
// then the form's "&Apply" with the given fields, saved to OUT.vf.
std::vector<Command> AddVoltCommands(CLI::App& tool);

// Lists a .vf file's fields, one 'name: value' line each, then every element code; or all
// of it as one JSON object.
int ShowVolt(CliContext& context, const std::string& path, bool json);

// Prints the codes a send of the .vf file would transmit, one per line, in order; or as one
// JSON object.
int VoltCodes(CliContext& context, const std::string& path, bool json);

// The JSON object of `codes --json`: the document's kind and file, its element count and DAC
// digits, whether the codes went through a correction table, the codes and their SHA-256.
void PrintCodesJson(CliContext& context, const std::string& path, const char* kind, int elements,
                    int dacDigits, bool corrected, const std::vector<std::uint16_t>& codes);
