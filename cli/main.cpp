// tessaron-cli: profiles from the command line, for scripts and for benches without a screen.
#include "CommandLine.h"
#include "framework/ConsolePrompter.h"
#include "ProfileCommands.h"
#include "SendCommand.h"
#include "VoltCommands.h"
#include "framework/AppPaths.h"
#include "framework/SettingsStore.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::ostream& out, const std::vector<Command>& commands) {
    out << "Usage: tessaron-cli [--settings PATH] COMMAND [ARGUMENTS]\n\n"
           "Commands:\n";
    for (const auto& command : commands) {
        out << "  " << command.synopsis << "\n";
    }
    out << "\nGlobal options:\n"
           "  --settings PATH  use this settings file instead of tessaron.ini beside the program\n"
           "  --help           show this text\n"
           "  --version        show the version\n\n"
           "Exit status: 0 done, 1 refused (the program's message on standard error),\n"
           "2 usage error. A refused command writes no file.\n";
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Command> commands = ProfileCommands();
    commands.push_back(VoltCommand());
    commands.push_back(SendCommand());
    std::vector<std::string> args(argv + 1, argv + argc);

    std::string settingsPath = apppaths::DefaultSettingsPath();
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            PrintUsage(std::cout, commands);
            return kExitOk;
        }
        if (args[i] == "--version") {
            std::cout << "tessaron-cli " << TESSARON_VERSION << "\n";
            return kExitOk;
        }
        if (args[i] == "--settings") {
            if (i + 1 >= args.size()) {
                std::cerr << "tessaron-cli: --settings needs a path\n";
                return kExitUsage;
            }
            settingsPath = args[++i];
            continue;
        }
        rest.push_back(args[i]);
    }
    if (rest.empty()) {
        PrintUsage(std::cerr, commands);
        return kExitUsage;
    }

    const Command* command = nullptr;
    for (const auto& candidate : commands) {
        if (candidate.name == rest.front()) {
            command = &candidate;
        }
    }
    if (command == nullptr) {
        std::cerr << "tessaron-cli: unknown command '" << rest.front() << "' (see --help)\n";
        return kExitUsage;
    }

    SettingsStore settings(settingsPath);
    ConsolePrompter prompter(std::cerr);
    AppContext app{settings, prompter};
    CliContext context{settings, prompter, app, std::cout};
    try {
        const ParsedArgs parsed =
            ParseArgs(std::vector<std::string>(rest.begin() + 1, rest.end()), command->options);
        return command->run(context, parsed);
    } catch (const UsageError& error) {
        std::cerr << "tessaron-cli " << command->name << ": " << error.what() << "\n"
                  << "usage: tessaron-cli " << command->synopsis << "\n";
        return kExitUsage;
    }
}
