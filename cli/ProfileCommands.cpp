#include "ProfileCommands.h"

#include "ListingText.h"
#include "VoltCommands.h"
#include "comm/LoadRecord.h"
#include "framework/AsciiText.h"
#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "profile/TessaronDoc.h"

#include <array>
#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>

namespace {

// The parameters of the editor's form, as given on the command line.
struct ParameterArgs {
    std::optional<std::string> elements, digits, aperture, maxPhase, low, high;

    bool Any() const { return elements || digits || aperture || maxPhase || low || high; }
};

void AddParameterOptions(CLI::App& command, ParameterArgs& p) {
    AddText(command, "--elements", p.elements, "N", "the number of elements");
    AddText(command, "--digits", p.digits, "D", "the DAC's digits");
    AddText(command, "--aperture", p.aperture, "M", "the aperture in metres");
    AddText(command, "--max-phase", p.maxPhase, "P", "the maximum phase in parts of PI");
    AddText(command, "--low", p.low, "L",
            "the low limit in parts of PI (a DAC code while a correction table is used)");
    AddText(command, "--high", p.high, "H", "the high limit, likewise");
}

CLI::Option* AddOutput(CLI::App& command, std::optional<std::string>& out) {
    return AddText(command, "-o", out, "OUT.lcp", "save to OUT.lcp, leaving FILE.lcp as it is");
}

// One form field: the text given on the command line, or else the document's present value,
// read and range-checked as the editor reads it. Shows the editor's message on failure.
template <typename T>
bool ReadField(Prompter& prompter, const std::optional<std::string>& text, T current, T low, T high,
               T& out) {
    ddx::Field<T> field;
    if constexpr (std::is_same_v<T, int>) {
        field = text ? ddx::ReadInt(*text, low, high)
                     : ddx::ReadInt(std::to_string(current), low, high);
    } else if (text) {
        field = ddx::ReadDouble(*text, low, high);
    } else if (current >= low && current <= high) {
        field.value = current;
    } else {
        field.error = ddx::DoubleRangeMessage(low, high);
    }
    if (!field) {
        prompter.MessageBox(field.error, MB_OK);
        return false;
    }
    out = *field.value;
    return true;
}

// "&Apply" of the editor with the parameters given on the command line; the others keep
// the document's values. Fields are read in the order of the editor's form. While the
// profile uses a correction table its limits are DAC codes, as the editor shows them.
bool ApplyOptions(CTessaronDoc& doc, const ParameterArgs& args, Prompter& prompter) {
    ProfileParameters p;
    p.limitsInDigits = doc.UseCorrection() != 0;
    bool ok = ReadField(prompter, args.aperture, doc.Aperture(), limits::kMinAperture,
                        limits::kMaxAperture, p.aperture) &&
              ReadField(prompter, args.maxPhase, doc.MaxPhase(), limits::kMinMaxPhase,
                        limits::kMaxMaxPhase, p.maxPhase) &&
              ReadField(prompter, args.digits, static_cast<int>(doc.DacDigits()),
                        limits::kMinDacDigits, limits::kMaxDacDigits, p.dacDigits) &&
              ReadField(prompter, args.elements, static_cast<int>(doc.Elements()),
                        limits::kMinElements, limits::kMaxElements, p.elements);
    if (ok && p.limitsInDigits) {
        ok = ReadField(prompter, args.low, doc.PhaseToDigits(doc.LowLimit()), limits::kMinLimitCode,
                       limits::kMaxLimitCode, p.lowCode) &&
             ReadField(prompter, args.high, doc.PhaseToDigits(doc.HighLimit()),
                       limits::kMinLimitCode, limits::kMaxLimitCode, p.highCode);
    } else if (ok) {
        ok = ReadField(prompter, args.low, doc.LowLimit(), limits::kMinLimit, limits::kMaxLimit,
                       p.lowLimit) &&
             ReadField(prompter, args.high, doc.HighLimit(), limits::kMinLimit, limits::kMaxLimit,
                       p.highLimit);
    }
    return ok && doc.ApplyParameters(p) == CTessaronDoc::ApplyResult::Applied;
}

int SaveTo(CTessaronDoc& doc, const std::string& path) {
    return doc.OnSaveDocument(path) ? kExitOk : kExitRefused;
}

struct NewArgs {
    std::string out;
    ParameterArgs params;
};

int RunNew(CliContext& context, const NewArgs& args) {
    CTessaronDoc doc(context.app);
    doc.OnNewDocument();
    if (args.params.Any() && !ApplyOptions(doc, args.params, context.prompter)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.out);
}

struct SetArgs {
    std::string in;
    ParameterArgs params;
    std::optional<std::string> out;
};

int RunSet(CliContext& context, const SetArgs& args) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(args.in)) {
        return kExitRefused;
    }
    if (!ApplyOptions(doc, args.params, context.prompter)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.out.value_or(args.in));
}

bool ReadNumber(Prompter& prompter, const std::string& text, double& out) {
    const auto field = ddx::ReadDouble(text);
    if (!field) {
        prompter.MessageBox(field.error, MB_OK);
        return false;
    }
    out = *field.value;
    return true;
}

struct GenerateArgs {
    std::string in;
    std::optional<std::string> out, diopters, waveLength, maxJumps;
    std::optional<std::array<std::string, 4>> poly; // a0..a3
    bool useAperture = false;
    bool minVoltage = false;
};

int RunGenerate(CliContext& context, const GenerateArgs& args) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(args.in)) {
        return kExitRefused;
    }
    Prompter& prompter = context.prompter;
    // The wizard page's fields, read as the page reads them.
    if (args.diopters) {
        double power = 0.0;
        double waveLength = doc.WaveLength();
        if (!ReadNumber(prompter, *args.diopters, power) ||
            (args.waveLength && !ReadNumber(prompter, *args.waveLength, waveLength))) {
            return kExitRefused;
        }
        doc.SetCreationMode(CTessaronDoc::MODE_DIOPTERS);
        doc.SetLensParameters(power, waveLength);
    } else {
        std::array<double, 4> coeff{};
        for (std::size_t j = 0; j < coeff.size(); ++j) {
            const double bound = limits::kCoeffBounds[j];
            const auto field = ddx::ReadDouble((*args.poly)[j], -bound, bound);
            if (!field) {
                prompter.MessageBox(field.error, MB_OK);
                return kExitRefused;
            }
            coeff[j] = *field.value;
        }
        doc.SetCreationMode(CTessaronDoc::MODE_POLYNOMIAL);
        if (!doc.SetPolynomialParameters(coeff, args.useAperture)) {
            return kExitRefused;
        }
    }
    // The jump limit and the minimum-voltage option, as their check boxes would be set.
    int maxJumps = doc.MaxJumps();
    if (args.maxJumps) {
        const auto field = ddx::ReadInt(*args.maxJumps);
        if (!field) {
            prompter.MessageBox(field.error, MB_OK);
            return kExitRefused;
        }
        maxJumps = *field.value;
    }
    doc.SetJumpOptions(args.maxJumps.has_value(), maxJumps, args.minVoltage);
    if (!doc.GenerateData(true)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.out.value_or(args.in));
}

int RunShow(CliContext& context, const std::string& in, bool json) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    std::ostream& out = context.out;
    if (json) {
        jsonout::Json object = {
            {"kind", "profile"}, {"file", in}, {"parameters", jsonout::Fields(doc.Parameters())}};
        jsonout::Json phases = jsonout::Json::array();
        for (const double value : doc.Phase()) {
            phases.push_back(jsonout::Number(value));
        }
        object["phases"] = std::move(phases);
        out << jsonout::Dump(object) << '\n';
        return kExitOk;
    }
    const char* modeName = doc.CreationMode() == CTessaronDoc::MODE_DIOPTERS ? " (Diopters)"
                           : doc.CreationMode() == CTessaronDoc::MODE_POLYNOMIAL
                               ? " (Polynomial coeffs)"
                               : "";
    out << "creation-mode: " << doc.CreationMode() << modeName << '\n'
        << "diopters: " << listing::Exact(doc.Diopters()) << '\n'
        << "wave-length: " << listing::Exact(doc.WaveLength()) << '\n';
    for (std::size_t j = 0; j < doc.Coeff().size(); ++j) {
        out << 'a' << j << ": " << listing::Exact(doc.Coeff()[j]) << '\n';
    }
    out << "use-aperture: " << doc.UseAperture() << '\n'
        << "aperture: " << listing::Exact(doc.Aperture()) << '\n'
        << "max-phase: " << listing::Exact(doc.MaxPhase()) << '\n'
        << "low-limit: " << listing::Exact(doc.LowLimit()) << '\n'
        << "high-limit: " << listing::Exact(doc.HighLimit()) << '\n'
        << "dac-digits: " << doc.DacDigits() << '\n'
        << "elements: " << doc.Elements() << '\n'
        << "correction-path: " << listing::Escaped(doc.CorrectionPath()) << '\n'
        << "use-correction: " << doc.UseCorrection() << '\n'
        << "max-jumps: " << doc.MaxJumps() << '\n'
        << "limit-jumps: " << doc.LimitJumps() << '\n'
        << "min-voltage: " << doc.MinVoltage() << '\n'
        << "note: " << listing::Escaped(doc.Note()) << '\n'
        << "values: " << doc.Phase().size() << '\n';
    // The data list's own text form: index with three digits, value with a three-digit exponent.
    const std::vector<double>& phase = doc.Phase();
    for (std::size_t i = 0; i < phase.size(); ++i) {
        out << numtext::FormatIndex(static_cast<int>(i)) << ": "
            << numtext::FormatExp(phase[i], 6, 3) << '\n';
    }
    return kExitOk;
}

struct ExportArgs {
    std::string in, out;
    bool phases = false, codes = false, correctedCodes = false;
};

int RunExport(CliContext& context, const ExportArgs& args) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(args.in)) {
        return kExitRefused;
    }
    auto format = CTessaronDoc::DataFormat::Phases;
    if (args.codes) {
        format = CTessaronDoc::DataFormat::Codes;
    } else if (args.correctedCodes) {
        // The editor offers corrected codes only while the profile uses its table.
        if (doc.UseCorrection() == 0) {
            context.prompter.MessageBox(
                "The profile does not use a correction table, so there are no corrected codes.",
                MB_OK | MB_ICONSTOP);
            return kExitRefused;
        }
        format = CTessaronDoc::DataFormat::CorrectedCodes;
    }
    return doc.ExportTo(args.out, format) ? kExitOk : kExitRefused;
}

struct ImportArgs {
    std::string in, source;
    bool phases = false, codes = false;
    std::optional<std::string> out;
};

int RunImport(CliContext& context, const ImportArgs& args) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(args.in)) {
        return kExitRefused;
    }
    const auto format =
        args.codes ? CTessaronDoc::DataFormat::Codes : CTessaronDoc::DataFormat::Phases;
    if (!doc.ImportFrom(args.source, format)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.out.value_or(args.in));
}

struct CorrectionArgs {
    std::string in;
    std::optional<std::string> table, out;
    bool off = false;
};

int RunCorrection(CliContext& context, const CorrectionArgs& args) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(args.in)) {
        return kExitRefused;
    }
    if (args.off) {
        doc.SetUseCorrection(false);
    } else {
        // Kept as an absolute path, so the profile finds its table from any folder.
        std::error_code error;
        const auto absolute = std::filesystem::absolute(*args.table, error);
        if (!doc.UseCorrectionTable(error ? *args.table : absolute.string())) {
            return kExitRefused;
        }
    }
    return SaveTo(doc, args.out.value_or(args.in));
}

int RunProfileCodes(CliContext& context, const std::string& path, bool json) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(path) || !doc.ComputeDacCodes(doc.UseCorrection() != 0)) {
        return kExitRefused;
    }
    if (json) {
        PrintCodesJson(context, path, "profile", doc.Elements(), doc.DacDigits(),
                       doc.UseCorrection() != 0, doc.Codes());
        return kExitOk;
    }
    for (std::uint16_t code : doc.Codes()) {
        context.out << code << '\n';
    }
    return kExitOk;
}

bool IsVoltFile(const std::string& path) {
    if (path.size() < 3) {
        return false;
    }
    const std::string ext = asciitext::ToLower(path.substr(path.size() - 3));
    return ext == ".vf";
}

struct ListingArgs {
    std::string file;
    bool json = false;
};

int RunShowAny(CliContext& context, const ListingArgs& args) {
    return IsVoltFile(args.file) ? ShowVolt(context, args.file, args.json)
                                 : RunShow(context, args.file, args.json);
}

int RunCodes(CliContext& context, const ListingArgs& args) {
    return IsVoltFile(args.file) ? VoltCodes(context, args.file, args.json)
                                 : RunProfileCodes(context, args.file, args.json);
}

// Each command's options are bound to the fields of its own arguments, which its runner then
// reads; the runner keeps them alive.

Command AddNew(CLI::App& tool) {
    auto args = std::make_shared<NewArgs>();
    CLI::App& command =
        AddCommand(tool, "new",
                   "new OUT.lcp [--elements N] [--digits D] [--aperture M] [--max-phase P]\n"
                   "[--low L] [--high H]",
                   "A new profile with the settings' defaults, then the given parameters.");
    AddArgument(command, "OUT.lcp", args->out, "the profile to write");
    AddParameterOptions(command, args->params);
    return {&command, [args](CliContext& context) { return RunNew(context, *args); }};
}

Command AddSet(CLI::App& tool) {
    auto args = std::make_shared<SetArgs>();
    CLI::App& command =
        AddCommand(tool, "set",
                   "set FILE.lcp [--elements N] [--digits D] [--aperture M] [--max-phase P]\n"
                   "[--low L] [--high H] [-o OUT.lcp]",
                   "Applies new parameters to a profile (data resized to the element count).\n"
                   "While the profile uses a correction table, --low and --high are DAC codes.");
    AddArgument(command, "FILE.lcp", args->in, "the profile");
    AddParameterOptions(command, args->params);
    AddOutput(command, args->out);
    return {&command, [args](CliContext& context) { return RunSet(context, *args); }};
}

Command AddGenerate(CLI::App& tool) {
    auto args = std::make_shared<GenerateArgs>();
    CLI::App& command = AddCommand(
        tool, "generate",
        "generate FILE.lcp [-o OUT.lcp]\n"
        "(--diopters D [--wavelength M] | --poly A0 A1 A2 A3 [--use-aperture])\n"
        "[--max-jumps M] [--min-voltage]",
        "Generates the profile data: a thin lens of D diopters at wave length M (metres),\n"
        "or the polynomial a0 + a1*x + a2*x^2 + a3*x^3 (radians) over element steps,\n"
        "or over metres with --use-aperture. --max-jumps limits the periods removed\n"
        "between neighbours; --min-voltage keeps the profile in its lowest period.");
    AddArgument(command, "FILE.lcp", args->in, "the profile");
    AddOutput(command, args->out);
    auto* diopters = AddText(command, "--diopters", args->diopters, "D", "a thin lens's power");
    // Four values, taken as they come, so that "-.5" is a coefficient and not an option.
    auto* poly = command
                     .add_option_function<std::array<std::string, 4>>(
                         "--poly", [args](const auto& values) { args->poly = values; },
                         "the polynomial's coefficients")
                     ->type_name("NUMBER")
                     ->option_text("A0 A1 A2 A3");
    AddText(command, "--wavelength", args->waveLength, "M", "the wave length in metres")
        ->needs(diopters);
    command.add_flag("--use-aperture", args->useAperture, "x in metres instead of elements")
        ->needs(poly);
    AddText(command, "--max-jumps", args->maxJumps, "M",
            "at most M periods removed between neighbours");
    command.add_flag("--min-voltage", args->minVoltage, "keep the profile in its lowest period");
    ExactlyOneOf(command, {diopters, poly});
    return {&command, [args](CliContext& context) { return RunGenerate(context, *args); }};
}

Command AddShow(CLI::App& tool) {
    auto args = std::make_shared<ListingArgs>();
    CLI::App& command =
        AddCommand(tool, "show", "show FILE.lcp|FILE.vf [--json]",
                   "Lists the parameters, one 'name: value' line each, then every value.");
    AddArgument(command, "FILE", args->file, "a profile (.lcp) or a volt-phase table (.vf)");
    command.add_flag("--json", args->json, "one JSON object instead (see docs/json.md)");
    return {&command, [args](CliContext& context) { return RunShowAny(context, *args); }};
}

Command AddExport(CLI::App& tool) {
    auto args = std::make_shared<ExportArgs>();
    CLI::App& command = AddCommand(
        tool, "export", "export FILE.lcp (--phases | --codes | --corrected-codes) -o OUT",
        "Writes the phases (one per line) or the DAC codes, plain or through the\n"
        "profile's correction table.");
    AddArgument(command, "FILE.lcp", args->in, "the profile");
    command.add_option("-o", args->out, "the file to write")->type_name("OUT")->required();
    ExactlyOneOf(command, {command.add_flag("--phases", args->phases, "the phases"),
                           command.add_flag("--codes", args->codes, "the DAC codes"),
                           command.add_flag("--corrected-codes", args->correctedCodes,
                                            "the DAC codes through the correction table")});
    return {&command, [args](CliContext& context) { return RunExport(context, *args); }};
}

Command AddImport(CLI::App& tool) {
    auto args = std::make_shared<ImportArgs>();
    CLI::App& command =
        AddCommand(tool, "import", "import FILE.lcp (--phases | --codes) IN [-o OUT.lcp]",
                   "Replaces the data by the first 'elements' numbers of IN.");
    AddArgument(command, "FILE.lcp", args->in, "the profile");
    AddArgument(command, "IN", args->source, "the text file to read");
    ExactlyOneOf(command, {command.add_flag("--phases", args->phases, "IN holds phases"),
                           command.add_flag("--codes", args->codes,
                                            "IN holds DAC codes, turned back into phases")});
    AddOutput(command, args->out);
    return {&command, [args](CliContext& context) { return RunImport(context, *args); }};
}

Command AddCorrection(CLI::App& tool) {
    auto args = std::make_shared<CorrectionArgs>();
    CLI::App& command =
        AddCommand(tool, "correction", "correction FILE.lcp (--table PATH | --off) [-o OUT.lcp]",
                   "Switches the correction table on (loaded and checked) or off.");
    AddArgument(command, "FILE.lcp", args->in, "the profile");
    ExactlyOneOf(command, {AddText(command, "--table", args->table, "PATH",
                                   "use the correction table in PATH"),
                           command.add_flag("--off", args->off, "use no correction table")});
    AddOutput(command, args->out);
    return {&command, [args](CliContext& context) { return RunCorrection(context, *args); }};
}

Command AddCodes(CLI::App& tool) {
    auto args = std::make_shared<ListingArgs>();
    CLI::App& command = AddCommand(tool, "codes", "codes FILE.lcp|FILE.vf [--json]",
                                   "The codes a Send would transmit, one per line, in order.");
    AddArgument(command, "FILE", args->file, "a profile (.lcp) or a volt-phase table (.vf)");
    command.add_flag("--json", args->json, "one JSON object instead (see docs/json.md)");
    return {&command, [args](CliContext& context) { return RunCodes(context, *args); }};
}

} // namespace

std::vector<Command> AddProfileCommands(CLI::App& tool) {
    return {AddNew(tool),    AddSet(tool),    AddGenerate(tool),   AddShow(tool),
            AddExport(tool), AddImport(tool), AddCorrection(tool), AddCodes(tool)};
}
