#include "shell/CommandLineOptions.h"

#include "framework/AsciiText.h"

#include <CLI/CLI.hpp>
#include <string_view>
#include <vector>

namespace {

// The desktop's requests, by the option each is renamed to.
struct DesktopRequest {
    std::string_view option;
    std::vector<std::string_view> spellings; // compared without regard to case
};

const DesktopRequest kPrint{"--desktop-print", {"/p", "-p"}};
const DesktopRequest kPrintTo{"--desktop-print-to", {"/pt", "-pt"}};
const DesktopRequest kUnregister{"--desktop-unregister",
                                 {"/unregister", "/unregserver", "-unregister", "-unregserver"}};

// One use of /p or /pt: the switch as it was spelt and the values that followed it.
struct PrintRequest {
    std::string spelling;
    bool toPrinter = false; // /pt: a file and a printer
    std::vector<std::string> values;
};

const char* const kUsage =
    "Usage: tessaron [--settings PATH] [--simulate [--simulate-record FILE]\n"
    "                [--simulate-phases FILE]] [FILE.vf|FILE.lcp ...]\n"
    "       tessaron [--settings PATH] --print-pdf FILE.lcp OUT.pdf\n"
    "       tessaron /p FILE.lcp | /pt FILE.lcp PRINTER\n"
    "       tessaron /Unregister\n";

const char* const kDesktopHelp =
    "Requests of the desktop:\n"
    "  /p FILE.lcp                 print the profile's report on the default printer, then end\n"
    "  /pt FILE.lcp PRINTER [DRIVER PORT]\n"
    "                              print it on PRINTER (DRIVER and PORT are ignored), then end\n"
    "  /Unregister, /Unregserver   remove the settings file and the desktop's registration of\n"
    "                              the two file types, say so and end";

bool Matches(const DesktopRequest& request, std::string_view argument) {
    for (std::string_view spelling : request.spellings) {
        if (asciitext::EqualNoCase(argument, spelling)) {
            return true;
        }
    }
    return false;
}

} // namespace

QString CommandLineUsage() {
    return QString::fromLatin1(kUsage);
}

bool RunsWithoutWindow(const AppOptions& options) {
    return options.error.isEmpty() &&
           (options.help || options.unregister || !options.printPdf.isEmpty());
}

AppOptions ParseCommandLine(const QStringList& arguments) {
    AppOptions options;
    CLI::App parser("The window program of Tessaron: designs phase profiles of a liquid-crystal "
                    "modulator and loads them into its controller.",
                    "tessaron");
    parser.footer(kDesktopHelp);

    parser
        .add_option("--settings", options.settingsPath,
                    "the settings file (default: tessaron.ini beside the program, else in "
                    "~/.config/tessaron/)")
        ->type_name("PATH");
    parser.add_flag("--simulate", options.simulate,
                    "start the controller simulator inside the program and point this run's link "
                    "at it");
    parser
        .add_option("--simulate-record", options.simulateRecord,
                    "with the simulator (implies --simulate): append what it received to FILE")
        ->type_name("FILE");
    parser
        .add_option("--simulate-phases", options.simulatePhases,
                    "with the simulator (implies --simulate): a liquid crystal at 633 nm answers "
                    "each two-level pattern it loads by appending \"level,phase\" (radians) to "
                    "FILE, for a calibration sweep without a bench")
        ->type_name("FILE");
    std::vector<std::string> pdf;
    parser
        .add_option("--print-pdf", pdf,
                    "write the profile's printed report to OUT.pdf (A4) without a window, then "
                    "end")
        ->expected(2)
        ->allow_extra_args(false)
        ->type_name("FILE.lcp OUT.pdf");
    std::vector<std::string> files;
    parser.add_option("files", files, "documents to open (.lcp profiles, .vf volt-phase tables)")
        ->type_name("FILE");

    // The desktop's requests. Their values are counted here rather than by the parser, so
    // that a request that lacks one is named as it was given: `prints` holds the print
    // requests in the order they were given, each with its spelling (from the renaming
    // below), and the parser adds their values as it meets them.
    std::vector<PrintRequest> prints;
    std::size_t parsed = 0;
    const auto addPrint = [&](const DesktopRequest& request, int maxValues) {
        parser
            .add_option_function<std::vector<std::string>>(
                std::string(request.option),
                [&prints, &parsed](const std::vector<std::string>& values) {
                    PrintRequest& print = prints.at(parsed++);
                    for (const std::string& value : values) {
                        if (!value.empty()) {
                            print.values.push_back(value);
                        }
                    }
                })
            ->expected(0, maxValues)
            ->allow_extra_args(false)
            ->trigger_on_parse()
            ->group("");
    };
    addPrint(kPrint, 1);
    addPrint(kPrintTo, 4);
    parser.add_flag(std::string(kUnregister.option), options.unregister)->group("");

    // The desktop's requests renamed, up to "--" (after which everything is a file).
    std::vector<std::string> args;
    bool filesOnly = false;
    for (const QString& argument : arguments) {
        std::string arg = argument.toStdString();
        if (!filesOnly && arg == "--") {
            filesOnly = true;
        } else if (!filesOnly) {
            for (const DesktopRequest* request : {&kPrint, &kPrintTo, &kUnregister}) {
                if (arg == request->option) {
                    // Only the renaming makes these; given as such they are unknown.
                    options.error = "The following argument was not expected: " + argument;
                    return options;
                }
            }
            for (const DesktopRequest* request : {&kPrint, &kPrintTo, &kUnregister}) {
                if (Matches(*request, arg)) {
                    if (request != &kUnregister) {
                        prints.push_back({arg, request == &kPrintTo, {}});
                    }
                    arg = request->option;
                    break;
                }
            }
        }
        args.push_back(std::move(arg));
    }
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        parser.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        options.helpText = QString::fromStdString(parser.help());
        return options;
    } catch (const CLI::ParseError& error) {
        options.error = QString::fromStdString(error.what());
        return options;
    }

    for (const PrintRequest& print : prints) {
        const bool to = print.toPrinter;
        if (print.values.size() < (to ? 2u : 1u)) {
            options.error = QString::fromStdString(print.spelling) +
                            (to ? " needs a file and a printer" : " needs a file");
            return options;
        }
        // The file; for /pt the printer (its driver and port, which may follow, mean nothing
        // here).
        options.printDirect = true;
        options.documents << QString::fromStdString(print.values[0]);
        if (to) {
            options.printerName = QString::fromStdString(print.values[1]);
        }
    }
    if (!pdf.empty()) {
        options.documents << QString::fromStdString(pdf[0]);
        options.printPdf = QString::fromStdString(pdf[1]);
    }
    for (const std::string& file : files) {
        options.documents << QString::fromStdString(file);
    }
    if (!options.simulateRecord.empty() || !options.simulatePhases.empty()) {
        options.simulate = true;
    }
    return options;
}
