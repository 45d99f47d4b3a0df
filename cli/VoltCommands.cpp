#include "VoltCommands.h"

#include "ListingText.h"
#include "framework/NumberText.h"
#include "volt/LC_VoltDoc.h"

#include <ostream>

namespace {

// The text given on the command line, or else what the form shows for the present value.
std::string TextOr(const ParsedArgs& args, const std::string& option, std::string shown) {
    return args.Value(option).value_or(std::move(shown));
}

int RunVolt(CliContext& context, const ParsedArgs& args) {
    if (args.positional.empty() || args.positional.front() != "new") {
        throw UsageError("expected the subcommand 'new'");
    }
    if (args.positional.size() != 2) {
        throw UsageError("expected exactly one output file");
    }
    const std::string& out = args.positional[1];
    CLC_VoltDoc doc(context.app);
    doc.OnNewDocument();
    // The form shows the reference voltage with 15 significant digits.
    const VoltFormTexts texts{
        TextOr(args, "--elements", std::to_string(doc.Elements())),
        TextOr(args, "--digits", std::to_string(doc.DacDigits())),
        TextOr(args, "--section", std::to_string(doc.Section())),
        TextOr(args, "--level1", std::to_string(doc.Level1())),
        TextOr(args, "--level0", std::to_string(doc.Level0())),
        TextOr(args, "--comment", doc.Comment()),
        TextOr(args, "--ref-voltage", numtext::FormatGeneral(doc.RefVoltage(), 15)),
    };
    if (doc.ApplyParameters(texts) != CLC_VoltDoc::ApplyResult::Applied) {
        return kExitRefused;
    }
    return doc.OnSaveDocument(out) ? kExitOk : kExitRefused;
}

} // namespace

Command VoltCommand() {
    return {"volt",
            "volt new OUT.vf [--elements N] [--digits D] [--section S] [--level1 X] "
            "[--level0 Y]\n"
            "         [--ref-voltage V] [--comment TEXT]\n"
            "      A new volt-phase table with the settings' defaults, then the given fields,\n"
            "      checked as the form checks them; the pattern alternates S elements of code X\n"
            "      with S elements of code Y.",
            {{"--elements", 1},
             {"--digits", 1},
             {"--section", 1},
             {"--level1", 1},
             {"--level0", 1},
             {"--ref-voltage", 1},
             {"--comment", 1}},
            RunVolt};
}

int ShowVolt(CliContext& context, const std::string& path) {
    CLC_VoltDoc doc(context.app);
    if (!doc.OnOpenDocument(path)) {
        return kExitRefused;
    }
    std::ostream& out = context.out;
    out << "dac-digits: " << doc.DacDigits() << '\n'
        << "elements: " << doc.Elements() << '\n'
        << "section: " << doc.Section() << '\n'
        << "level1: " << doc.Level1() << '\n'
        << "level0: " << doc.Level0() << '\n'
        << "ref-voltage: " << listing::Exact(doc.RefVoltage()) << '\n'
        << "level1-voltage: " << numtext::FormatFixed(doc.CodeVoltage(doc.Level1())) << '\n'
        << "level0-voltage: " << numtext::FormatFixed(doc.CodeVoltage(doc.Level0())) << '\n'
        << "comment: " << listing::Escaped(doc.Comment()) << '\n'
        << "element-codes: " << doc.ElementCodes().size() << '\n';
    for (std::size_t i = 0; i < doc.ElementCodes().size(); ++i) {
        out << numtext::FormatIndex(static_cast<int>(i)) << ": " << doc.ElementCodes()[i] << '\n';
    }
    return kExitOk;
}

int VoltCodes(CliContext& context, const std::string& path) {
    CLC_VoltDoc doc(context.app);
    if (!doc.OnOpenDocument(path)) {
        return kExitRefused;
    }
    doc.BuildOutputCodes();
    for (const std::uint16_t code : doc.Codes()) {
        context.out << code << '\n';
    }
    return kExitOk;
}
