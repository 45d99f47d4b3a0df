// The link options of the commands that talk to the controller (send, calibrate sweep): the
// port, speed, time-out, protocol log and divisors given in place of the settings file's.
#pragma once

#include "Command.h"
#include "comm/LC_Protocol.h"

#include <optional>
#include <string>

struct LinkArgs {
    LinkOverrides overrides;
    std::optional<std::string> log;

    // The overrides to use; --log also points the protocol log at its file.
    LinkOverrides Apply() const;
};

// The options' place in a command's usage line.
inline constexpr const char* kLinkSynopsis =
    "[--port PATH] [--speed BAUD] [--timeout MS]\n"
    "[--log PATH] [--line-div 1|2|4|8] [--frame-div 1|2|4|8]";

// Adds the options to `command`; a speed, time-out or divisor outside its values is a usage
// error naming the option.
void AddLinkOptions(CLI::App& command, LinkArgs& args);
