// The command line tool's "calibrate" commands: a sweep of the liquid crystal's response on the
// controller, the fit of a measurement into a correction table and a calibration record, and
// a table from the library of records for a wave length.
#pragma once

#include "Command.h"

#include <vector>

std::vector<Command> AddCalibrateCommands(CLI::App& tool);
