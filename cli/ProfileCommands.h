// The command line tool's commands and the context they run in.
#pragma once

#include "CommandLine.h"
#include "framework/ConsolePrompter.h"
#include "framework/Document.h"
#include "framework/SettingsStore.h"

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes of the tool.
enum ExitCode : int { kExitOk = 0, kExitRefused = 1, kExitUsage = 2 };

struct CliContext {
    SettingsStore& settings;
    ConsolePrompter& prompter;
    AppContext& app;
    std::ostream& out;
};

struct Command {
    std::string name;
    std::string synopsis; // shown by --help
    std::vector<OptionSpec> options;
    int (*run)(CliContext& context, const ParsedArgs& args);
};

// The profile commands: new, set, generate, show.
std::vector<Command> ProfileCommands();
