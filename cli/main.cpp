// tessaron-cli: profiles from the command line, for scripts and for benches without a screen.
#include "CalibrateCommands.h"
#include "CheckCommand.h"
#include "Command.h"
#include "LoadsCommand.h"
#include "ProfileCommands.h"
#include "SendCommand.h"
#include "VoltCommands.h"
#include "framework/AppPaths.h"
#include "framework/ConsolePrompter.h"
#include "framework/SettingsStore.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    CLI::App tool("", "tessaron-cli");
    SetUpTool(tool, "[--settings PATH] COMMAND [ARGUMENTS]");
    std::string settingsPath = apppaths::DefaultSettingsPath();
    tool.add_option("--settings", settingsPath,
                    "use this settings file instead of tessaron.ini beside the program")
        ->type_name("PATH");
    tool.set_version_flag("--version", std::string("tessaron-cli ") + TESSARON_VERSION,
                          "show the version");

    std::vector<Command> commands = AddProfileCommands(tool);
    for (Command& command : AddVoltCommands(tool)) {
        commands.push_back(std::move(command));
    }
    commands.push_back(AddSendCommand(tool));
    commands.push_back(AddLoadsCommand(tool));
    for (Command& command : AddCalibrateCommands(tool)) {
        commands.push_back(std::move(command));
    }
    commands.push_back(AddCheckCommand(tool));
    // Set after the commands, so that only the tool's own help ends with it.
    tool.footer("Exit status: 0 done, 1 refused (the program's message on standard error),\n"
                "2 usage error. A refused command writes no file.\n"
                "'tessaron-cli COMMAND --help' shows a command's options.");

    if (argc < 2) {
        std::cerr << tool.help();
        return kExitUsage;
    }
    try {
        tool.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << tool.help(); // the help of the command given, if any
        return kExitOk;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        PrintUsageError(tool, error, std::cerr);
        return kExitUsage;
    }

    SettingsStore settings(settingsPath);
    ConsolePrompter prompter(std::cerr);
    AppContext app{settings, prompter};
    CliContext context{settings, prompter, app, std::cout};
    for (const Command& command : commands) {
        if (command.app->parsed()) {
            return command.run(context);
        }
    }
    return kExitUsage; // not reached: the tool requires one of its commands
}
