// The command line tool's "send": a document's codes to the controller over a serial port.
#pragma once

#include "Command.h"

Command AddSendCommand(CLI::App& tool);
