// The command line tool's commands on CLI11. Each command file adds its subcommands to the
// tool's CLI::App and hands back, for each, the runner that does its work once the command
// line has been parsed. Option values stay text until the runner reads them with the
// program's own field checks, so that a bad value gets the program's message (exit status 1)
// while a malformed command line is a usage error (exit status 2).
#pragma once

#include "framework/ConsolePrompter.h"
#include "framework/Document.h"
#include "framework/SettingsStore.h"

#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <optional>
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

// A command's work, run with the values its options captured; returns the exit status.
using Runner = std::function<int(CliContext& context)>;

struct Command {
    const CLI::App* app; // the (sub)command that selects this runner
    Runner run;
};

// Adds the command `name` to `parent`. `synopsis` is its usage line from its full name on
// (for example "volt new OUT.vf [--elements N]"; "\n" continues it on the next line), shown
// by --help and with every usage error; `description` follows it in the help.
CLI::App& AddCommand(CLI::App& parent, const std::string& name, const std::string& synopsis,
                     const std::string& description);

// An option with one value, kept as the text given (empty when the option is absent).
// `placeholder` names the value in the help and in usage errors ("N", "PATH").
CLI::Option* AddText(CLI::App& command, const std::string& name, std::optional<std::string>& value,
                     const std::string& placeholder, const std::string& help);

// A required argument, kept as the text given.
CLI::Option* AddArgument(CLI::App& command, const std::string& name, std::string& value,
                         const std::string& help);

// A check of an option's value: `problem` says what is wrong with the text given, or returns
// nothing when it is fine. A value it refuses is a usage error naming the option.
CLI::Validator Check(std::function<std::string(const std::string& text)> problem);

// Exactly one of `options` (already added to `command`) must be given: any two together are
// refused as excluding each other, none at all as missing.
void ExactlyOneOf(CLI::App& command, const std::vector<CLI::Option*>& options);

// The tool's own CLI::App: the help's layout, "--help", and the options every command shares
// are set up by the caller. `synopsis` is the tool's usage line after its name.
void SetUpTool(CLI::App& tool, const std::string& synopsis);

// Prints a usage error: a line naming the command and what is wrong, the command's usage and
// where its help is.
void PrintUsageError(const CLI::App& tool, const CLI::ParseError& error, std::ostream& err);
