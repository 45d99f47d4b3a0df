#include "Command.h"

#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace {

constexpr std::size_t kOptionColumn = 24;

// The named commands below `app` (option groups have no name).
std::vector<const CLI::App*> CommandsOf(const CLI::App* app) {
    return app->get_subcommands([](const CLI::App* sub) { return !sub->get_name().empty(); });
}

// The option groups of `app`, which hold its mutually excluding options.
std::vector<const CLI::App*> GroupsOf(const CLI::App* app) {
    return app->get_subcommands([](const CLI::App* sub) { return sub->get_name().empty(); });
}

// "tessaron-cli volt new": the program's name and the commands leading to `app`.
std::string FullName(const CLI::App* app) {
    std::string name = app->get_name();
    for (const CLI::App* up = app->get_parent(); up != nullptr; up = up->get_parent()) {
        name = up->get_name() + " " + name;
    }
    return name;
}

const CLI::App* Root(const CLI::App* app) {
    while (app->get_parent() != nullptr) {
        app = app->get_parent();
    }
    return app;
}

// The deepest command the parsed arguments selected.
const CLI::App* Selected(const CLI::App& tool) {
    const CLI::App* app = &tool;
    for (auto chosen = CommandsOf(app); !chosen.empty(); chosen = CommandsOf(app)) {
        const CLI::App* next = nullptr;
        for (const CLI::App* sub : chosen) {
            if (sub->parsed()) {
                next = sub;
            }
        }
        if (next == nullptr) {
            break;
        }
        app = next;
    }
    return app;
}

// Continuation lines of a multi-line text, indented by `indent` spaces.
std::string Indented(const std::string& text, std::size_t indent) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') {
            out.append(indent, ' ');
        }
    }
    return out;
}

// The help's layout: the synopsis as the usage line, the description, the arguments and
// options with their placeholders, then the commands with their synopses.
class UsageFormatter : public CLI::Formatter {
public:
    void SetSynopsis(const CLI::App* app, std::string synopsis) {
        m_synopses[app] = std::move(synopsis);
    }

    // The usage lines of `app`: its synopsis, or else those of each of its commands.
    std::vector<std::string> Synopses(const CLI::App* app) const {
        const auto it = m_synopses.find(app);
        if (it != m_synopses.end()) {
            return {it->second};
        }
        std::vector<std::string> lines;
        for (const CLI::App* sub : CommandsOf(app)) {
            const auto more = Synopses(sub);
            lines.insert(lines.end(), more.begin(), more.end());
        }
        return lines;
    }

    // "usage: tessaron-cli new OUT.lcp [...]", one line per synopsis.
    std::string UsageLines(const CLI::App* app, const std::string& label) const {
        const std::string program = Root(app)->get_name() + " ";
        std::string out;
        for (const std::string& synopsis : Synopses(app)) {
            const std::string lead = out.empty() ? label : std::string(label.size(), ' ');
            out += lead + program + Indented(synopsis, lead.size() + 4) + "\n";
        }
        return out;
    }

    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        std::ostringstream out;
        out << UsageLines(app, "Usage: ");
        if (!app->get_description().empty()) {
            out << '\n' << app->get_description() << '\n';
        }
        out << make_positionals(app);
        const auto own = app->get_options([](const CLI::Option* o) { return o->nonpositional(); });
        if (!own.empty()) {
            out << make_group(app->get_parent() == nullptr ? "Global options" : "Options", false,
                              own);
        }
        for (const CLI::App* group : GroupsOf(app)) {
            out << make_group(group->get_group(), false, group->get_options());
        }
        out << make_subcommands(app, CLI::AppFormatMode::Normal);
        if (!app->get_footer().empty()) {
            out << '\n' << app->get_footer() << '\n';
        }
        return out.str();
    }

    std::string make_positionals(const CLI::App* app) const override {
        const auto args =
            app->get_options([](const CLI::Option* o) { return o->get_positional(); });
        return args.empty() ? std::string() : make_group("Arguments", true, args);
    }

    std::string make_subcommands(const CLI::App* app, CLI::AppFormatMode) const override {
        std::string out;
        for (const CLI::App* sub : CommandsOf(app)) {
            out += make_subcommand(sub);
        }
        return out.empty() ? out : "\nCommands:\n" + out;
    }

    // Each command below `sub` with its synopsis and description.
    std::string make_subcommand(const CLI::App* sub) const override {
        if (m_synopses.count(sub) == 0) {
            std::string out;
            for (const CLI::App* leaf : CommandsOf(sub)) {
                out += make_subcommand(leaf);
            }
            return out;
        }
        std::string out = "  " + Indented(m_synopses.at(sub), 9) + "\n";
        if (!sub->get_description().empty()) {
            out += "      " + Indented(sub->get_description(), 6) + "\n";
        }
        return out;
    }

    std::string make_option(const CLI::Option* option, bool positional) const override {
        std::string left = "  " + make_option_name(option, positional);
        if (!positional) {
            left += make_option_opts(option);
        }
        const std::string& help = option->get_description();
        if (help.empty()) {
            return left + "\n";
        }
        left += left.size() < kOptionColumn ? std::string(kOptionColumn - left.size(), ' ')
                                            : "\n" + std::string(kOptionColumn, ' ');
        return left + Indented(help, kOptionColumn) + "\n";
    }

    // Only the value's placeholder: the synopsis already says what is required or excluded.
    std::string make_option_opts(const CLI::Option* option) const override {
        if (!option->get_option_text().empty()) {
            return " " + option->get_option_text();
        }
        return option->get_type_size() == 0 ? std::string() : " " + option->get_type_name();
    }

private:
    std::map<const CLI::App*, std::string> m_synopses;
};

UsageFormatter& FormatterOf(const CLI::App& app) {
    const auto formatter = std::dynamic_pointer_cast<UsageFormatter>(app.get_formatter());
    if (!formatter) {
        throw std::logic_error("the tool's CLI::App was not set up with SetUpTool");
    }
    return *formatter;
}

} // namespace

CLI::App& AddCommand(CLI::App& parent, const std::string& name, const std::string& synopsis,
                     const std::string& description) {
    parent.require_subcommand(1);
    CLI::App& command = *parent.add_subcommand(name, description);
    if (!synopsis.empty()) {
        FormatterOf(parent).SetSynopsis(&command, synopsis);
    }
    return command;
}

CLI::Option* AddText(CLI::App& command, const std::string& name, std::optional<std::string>& value,
                     const std::string& placeholder, const std::string& help) {
    return command
        .add_option_function<std::string>(
            name, [&value](const std::string& text) { value = text; }, help)
        ->type_name(placeholder);
}

CLI::Option* AddArgument(CLI::App& command, const std::string& name, std::string& value,
                         const std::string& help) {
    return command.add_option(name, value, help)->required();
}

CLI::Validator Check(std::function<std::string(const std::string& text)> problem) {
    return CLI::Validator([problem](std::string& text) { return problem(text); }, "");
}

void ExactlyOneOf(CLI::App& command, const std::vector<CLI::Option*>& options) {
    CLI::Option_group& group = *command.add_option_group("Exactly one of");
    group.set_help_flag(); // the command's own --help serves
    for (CLI::Option* option : options) {
        group.add_option(option);
        for (CLI::Option* other : options) {
            if (other != option) {
                option->excludes(other);
            }
        }
    }
    group.require_option(1);
}

void SetUpTool(CLI::App& tool, const std::string& synopsis) {
    auto formatter = std::make_shared<UsageFormatter>();
    formatter->SetSynopsis(&tool, synopsis);
    tool.formatter(formatter);
    tool.set_help_flag("-h,--help", "show this text");
    // The tool's own options may also follow the command, as in "new p.lcp --settings x.ini".
    tool.fallthrough();
}

void PrintUsageError(const CLI::App& tool, const CLI::ParseError& error, std::ostream& err) {
    const CLI::App* command = Selected(tool);
    std::string message = error.what();
    // Arguments nobody took: the first one is named, in the order given. A command that only
    // groups others also fails this way when it is not followed by one of them.
    const auto extras = tool.remaining(true);
    const bool noCommand =
        dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !CommandsOf(command).empty();
    if (noCommand || dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        if (extras.empty()) {
            message = "a command is required";
        } else if (extras.front().size() > 1 && extras.front()[0] == '-') {
            message = "unknown option " + extras.front();
        } else {
            message =
                (noCommand ? "unknown command '" : "unexpected argument '") + extras.front() + "'";
        }
    }
    err << FullName(command) << ": " << message << '\n'
        << FormatterOf(tool).UsageLines(command, "usage: ") << "Run '" << FullName(command)
        << " --help' for more information.\n";
}
