#include "VoltCommands.h"

#include "ListingText.h"
#include "comm/LoadRecord.h"
#include "framework/NumberText.h"
#include "volt/LC_VoltDoc.h"

#include <memory>
#include <ostream>

namespace {

// The form's fields as given on the command line.
struct VoltNewArgs {
    std::string out;
    std::optional<std::string> elements, digits, section, level1, level0, refVoltage, comment;
};

int RunVoltNew(CliContext& context, const VoltNewArgs& args) {
    CLC_VoltDoc doc(context.app);
    doc.OnNewDocument();
    // A field not given keeps what the form shows for the present value; the form shows the
    // reference voltage with 15 significant digits.
    const VoltFormTexts texts{
        args.elements.value_or(std::to_string(doc.Elements())),
        args.digits.value_or(std::to_string(doc.DacDigits())),
        args.section.value_or(std::to_string(doc.Section())),
        args.level1.value_or(std::to_string(doc.Level1())),
        args.level0.value_or(std::to_string(doc.Level0())),
        args.comment.value_or(doc.Comment()),
        args.refVoltage.value_or(numtext::FormatGeneral(doc.RefVoltage(), 15)),
    };
    if (doc.ApplyParameters(texts) != CLC_VoltDoc::ApplyResult::Applied) {
        return kExitRefused;
    }
    return doc.OnSaveDocument(args.out) ? kExitOk : kExitRefused;
}

} // namespace

std::vector<Command> AddVoltCommands(CLI::App& tool) {
    CLI::App& volt = AddCommand(tool, "volt", "", "Volt-phase tables.");
    auto args = std::make_shared<VoltNewArgs>();
    CLI::App& command =
        AddCommand(volt, "new",
                   "volt new OUT.vf [--elements N] [--digits D] [--section S] [--level1 X]\n"
                   "[--level0 Y] [--ref-voltage V] [--comment TEXT]",
                   "A new volt-phase table with the settings' defaults, then the given fields,\n"
                   "checked as the form checks them; the pattern alternates S elements of code X\n"
                   "with S elements of code Y.");
    AddArgument(command, "OUT.vf", args->out, "the table to write");
    AddText(command, "--elements", args->elements, "N", "the number of elements");
    AddText(command, "--digits", args->digits, "D", "the DAC's digits");
    AddText(command, "--section", args->section, "S", "elements in a row on one level");
    AddText(command, "--level1", args->level1, "X", "the first level's DAC code");
    AddText(command, "--level0", args->level0, "Y", "the second level's DAC code");
    AddText(command, "--ref-voltage", args->refVoltage, "V", "the DAC's reference voltage");
    AddText(command, "--comment", args->comment, "TEXT", "the table's comment");
    return {{&command, [args](CliContext& context) { return RunVoltNew(context, *args); }}};
}

int ShowVolt(CliContext& context, const std::string& path, bool json) {
    CLC_VoltDoc doc(context.app);
    if (!doc.OnOpenDocument(path)) {
        return kExitRefused;
    }
    std::ostream& out = context.out;
    if (json) {
        const jsonout::Json object = {
            {"kind", "volt-phase"},
            {"file", path},
            {"parameters", jsonout::Fields(doc.Parameters())},
            {"level1_voltage", jsonout::Number(doc.CodeVoltage(doc.Level1()))},
            {"level0_voltage", jsonout::Number(doc.CodeVoltage(doc.Level0()))},
            {"element_codes", doc.ElementCodes()}};
        out << jsonout::Dump(object) << '\n';
        return kExitOk;
    }
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

int VoltCodes(CliContext& context, const std::string& path, bool json) {
    CLC_VoltDoc doc(context.app);
    if (!doc.OnOpenDocument(path)) {
        return kExitRefused;
    }
    doc.BuildOutputCodes();
    if (json) {
        PrintCodesJson(context, path, "volt-phase", doc.UsableElementCount(), doc.DacDigits(),
                       false, doc.Codes());
        return kExitOk;
    }
    for (const std::uint16_t code : doc.Codes()) {
        context.out << code << '\n';
    }
    return kExitOk;
}

void PrintCodesJson(CliContext& context, const std::string& path, const char* kind, int elements,
                    int dacDigits, bool corrected, const std::vector<std::uint16_t>& codes) {
    const jsonout::Json object = {{"kind", kind},
                                  {"file", path},
                                  {"elements", elements},
                                  {"dac_digits", dacDigits},
                                  {"corrected", corrected},
                                  {"codes", codes},
                                  {"codes_sha256", sha256::OfCodes(codes)}};
    context.out << jsonout::Dump(object) << '\n';
}
