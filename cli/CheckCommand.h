// The command line tool's "check": the optical check of the codes a Send of a profile or a
// volt-phase table transmits, as figures (text or JSON) and, on request, as a picture.
#pragma once

#include "Command.h"

Command AddCheckCommand(CLI::App& tool);
