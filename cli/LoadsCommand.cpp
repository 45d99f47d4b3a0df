#include "LoadsCommand.h"

#include "comm/LoadRecord.h"
#include "comm/ProtocolLog.h"
#include "framework/NumberText.h"
#include "framework/SafeFile.h"
#include "framework/StringTable.h"

#include <cerrno>
#include <memory>
#include <ostream>

namespace {

struct LoadsArgs {
    std::optional<std::string> last;
    std::optional<std::string> record;
    bool json = false;
};

int RunLoads(CliContext& context, const LoadsArgs& args) {
    const std::string path = args.record.value_or(loadrecord::PathBeside(protolog::LogPath()));
    int error = 0;
    auto listing = loadrecord::Read(path, &error);
    if (!listing && error != ENOENT) {
        context.prompter.Message(IDS_CANT_OPEN_FILE, safefile::Detail(path, error), MB_OK);
        return kExitRefused;
    }
    if (!listing) {
        listing.emplace(); // no record yet: no loads
    }
    for (const std::string& problem : listing->problems) {
        context.prompter.MessageBox(problem, MB_OK); // the good lines are listed all the same
    }
    auto first = listing->records.begin();
    if (args.last) {
        const auto count = static_cast<std::size_t>(*numtext::ParseInt(*args.last));
        if (count < listing->records.size()) {
            first = listing->records.end() - static_cast<std::ptrdiff_t>(count);
        }
    }
    if (args.json) {
        jsonout::Json array = jsonout::Json::array();
        for (auto record = first; record != listing->records.end(); ++record) {
            array.push_back(*record);
        }
        context.out << jsonout::Dump(array) << '\n';
        return kExitOk;
    }
    for (auto record = first; record != listing->records.end(); ++record) {
        context.out << loadrecord::Summary(*record) << '\n';
    }
    return kExitOk;
}

} // namespace

Command AddLoadsCommand(CLI::App& tool) {
    auto args = std::make_shared<LoadsArgs>();
    CLI::App& command =
        AddCommand(tool, "loads", "loads [--last N] [--json] [--record FILE]",
                   "Lists the record of loads, oldest first: every load of a document into the\n"
                   "controller, from the window, this tool or Python, one line each. The record\n"
                   "is tessaron-loads.jsonl beside the protocol log.");
    AddText(command, "--last", args->last, "N", "only the last N loads")
        ->check(Check([](const std::string& text) {
            const auto count = numtext::ParseInt(text);
            return count && *count >= 1 ? std::string()
                                        : "a number of loads from 1 on, not '" + text + "'";
        }));
    command.add_flag("--json", args->json, "the records as a JSON array (see docs/json.md)");
    AddText(command, "--record", args->record, "FILE",
            "read this record (send --log PATH keeps it beside PATH)");
    return {&command, [args](CliContext& context) { return RunLoads(context, *args); }};
}
