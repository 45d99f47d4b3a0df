// The command line tool's "send": a document's codes to the controller over a serial port.
#pragma once

#include "ProfileCommands.h"

Command SendCommand();
