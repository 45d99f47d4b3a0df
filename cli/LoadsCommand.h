// The command line tool's "loads": the record of loads, listed.
#pragma once

#include "Command.h"

// "loads [--last N] [--json] [--record FILE]": the loads of the record, oldest first, one line
// each, or as a JSON array of the records.
Command AddLoadsCommand(CLI::App& tool);
