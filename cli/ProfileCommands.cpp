#include "ProfileCommands.h"

#include "ListingText.h"
#include "VoltCommands.h"
#include "framework/AsciiText.h"
#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "profile/TessaronDoc.h"

#include <cctype>
#include <filesystem>
#include <ostream>

namespace {

const std::vector<OptionSpec> kParameterOptions = {
    {"--elements", 1},  {"--digits", 1}, {"--aperture", 1},
    {"--max-phase", 1}, {"--low", 1},    {"--high", 1},
};

bool AnyParameterGiven(const ParsedArgs& args) {
    for (const auto& option : kParameterOptions) {
        if (args.Has(option.name)) {
            return true;
        }
    }
    return false;
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
bool ApplyOptions(CTessaronDoc& doc, const ParsedArgs& args, Prompter& prompter) {
    ProfileParameters p;
    p.limitsInDigits = doc.UseCorrection() != 0;
    bool ok = ReadField(prompter, args.Value("--aperture"), doc.Aperture(), limits::kMinAperture,
                        limits::kMaxAperture, p.aperture) &&
              ReadField(prompter, args.Value("--max-phase"), doc.MaxPhase(), limits::kMinMaxPhase,
                        limits::kMaxMaxPhase, p.maxPhase) &&
              ReadField(prompter, args.Value("--digits"), static_cast<int>(doc.DacDigits()),
                        limits::kMinDacDigits, limits::kMaxDacDigits, p.dacDigits) &&
              ReadField(prompter, args.Value("--elements"), static_cast<int>(doc.Elements()),
                        limits::kMinElements, limits::kMaxElements, p.elements);
    if (ok && p.limitsInDigits) {
        ok = ReadField(prompter, args.Value("--low"), doc.PhaseToDigits(doc.LowLimit()),
                       limits::kMinLimitCode, limits::kMaxLimitCode, p.lowCode) &&
             ReadField(prompter, args.Value("--high"), doc.PhaseToDigits(doc.HighLimit()),
                       limits::kMinLimitCode, limits::kMaxLimitCode, p.highCode);
    } else if (ok) {
        ok = ReadField(prompter, args.Value("--low"), doc.LowLimit(), limits::kMinLimit,
                       limits::kMaxLimit, p.lowLimit) &&
             ReadField(prompter, args.Value("--high"), doc.HighLimit(), limits::kMinLimit,
                       limits::kMaxLimit, p.highLimit);
    }
    return ok && doc.ApplyParameters(p) == CTessaronDoc::ApplyResult::Applied;
}

int SaveTo(CTessaronDoc& doc, const std::string& path) {
    return doc.OnSaveDocument(path) ? kExitOk : kExitRefused;
}

std::string OneFile(const ParsedArgs& args, const char* what) {
    if (args.positional.size() != 1) {
        throw UsageError(std::string("expected exactly one ") + what);
    }
    return args.positional.front();
}

int RunNew(CliContext& context, const ParsedArgs& args) {
    const std::string out = OneFile(args, "output file");
    CTessaronDoc doc(context.app);
    doc.OnNewDocument();
    if (AnyParameterGiven(args) && !ApplyOptions(doc, args, context.prompter)) {
        return kExitRefused;
    }
    return SaveTo(doc, out);
}

int RunSet(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "profile file");
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    if (!ApplyOptions(doc, args, context.prompter)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.Value("-o").value_or(in));
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

int RunGenerate(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "profile file");
    const bool diopters = args.Has("--diopters");
    const bool poly = args.Has("--poly");
    if (diopters == poly) {
        throw UsageError("give either --diopters or --poly");
    }
    if ((diopters && args.Has("--use-aperture")) || (poly && args.Has("--wavelength"))) {
        throw UsageError("--wavelength goes with --diopters, --use-aperture with --poly");
    }
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    Prompter& prompter = context.prompter;
    // The wizard page's fields, read as the page reads them.
    if (diopters) {
        double power = 0.0;
        double waveLength = doc.WaveLength();
        const auto wave = args.Value("--wavelength");
        if (!ReadNumber(prompter, *args.Value("--diopters"), power) ||
            (wave && !ReadNumber(prompter, *wave, waveLength))) {
            return kExitRefused;
        }
        doc.SetCreationMode(CTessaronDoc::MODE_DIOPTERS);
        doc.SetLensParameters(power, waveLength);
    } else {
        std::array<double, 4> coeff{};
        const auto& values = args.Values("--poly");
        for (std::size_t j = 0; j < coeff.size(); ++j) {
            const double bound = limits::kCoeffBounds[j];
            const auto field = ddx::ReadDouble(values[j], -bound, bound);
            if (!field) {
                prompter.MessageBox(field.error, MB_OK);
                return kExitRefused;
            }
            coeff[j] = *field.value;
        }
        doc.SetCreationMode(CTessaronDoc::MODE_POLYNOMIAL);
        if (!doc.SetPolynomialParameters(coeff, args.Has("--use-aperture"))) {
            return kExitRefused;
        }
    }
    // The jump limit and the minimum-voltage option, as their check boxes would be set.
    int maxJumps = doc.MaxJumps();
    if (const auto jumps = args.Value("--max-jumps")) {
        const auto field = ddx::ReadInt(*jumps);
        if (!field) {
            prompter.MessageBox(field.error, MB_OK);
            return kExitRefused;
        }
        maxJumps = *field.value;
    }
    doc.SetJumpOptions(args.Has("--max-jumps"), maxJumps, args.Has("--min-voltage"));
    if (!doc.GenerateData(true)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.Value("-o").value_or(in));
}

int RunShow(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "profile file");
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    std::ostream& out = context.out;
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

// Exactly one of the named flags; a usage error otherwise.
std::string OneOf(const ParsedArgs& args, std::initializer_list<const char*> names) {
    std::string chosen;
    std::string all;
    for (const char* name : names) {
        all += all.empty() ? name : std::string(" | ") + name;
        if (args.Has(name)) {
            if (!chosen.empty()) {
                throw UsageError("give one of " + all);
            }
            chosen = name;
        }
    }
    if (chosen.empty()) {
        throw UsageError("give one of " + all);
    }
    return chosen;
}

int RunExport(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "profile file");
    const std::string kind = OneOf(args, {"--phases", "--codes", "--corrected-codes"});
    const auto out = args.Value("-o");
    if (!out) {
        throw UsageError("-o OUT is required");
    }
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    auto format = CTessaronDoc::DataFormat::Phases;
    if (kind == "--codes") {
        format = CTessaronDoc::DataFormat::Codes;
    } else if (kind == "--corrected-codes") {
        // The editor offers corrected codes only while the profile uses its table.
        if (doc.UseCorrection() == 0) {
            context.prompter.MessageBox(
                "The profile does not use a correction table, so there are no corrected codes.",
                MB_OK | MB_ICONSTOP);
            return kExitRefused;
        }
        format = CTessaronDoc::DataFormat::CorrectedCodes;
    }
    return doc.ExportTo(*out, format) ? kExitOk : kExitRefused;
}

int RunImport(CliContext& context, const ParsedArgs& args) {
    if (args.positional.size() != 2) {
        throw UsageError("expected the profile file and the file to import");
    }
    const std::string kind = OneOf(args, {"--phases", "--codes"});
    const std::string& in = args.positional[0];
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    const auto format =
        kind == "--codes" ? CTessaronDoc::DataFormat::Codes : CTessaronDoc::DataFormat::Phases;
    if (!doc.ImportFrom(args.positional[1], format)) {
        return kExitRefused;
    }
    return SaveTo(doc, args.Value("-o").value_or(in));
}

int RunCorrection(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "profile file");
    const std::string kind = OneOf(args, {"--table", "--off"});
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(in)) {
        return kExitRefused;
    }
    if (kind == "--off") {
        doc.SetUseCorrection(false);
    } else {
        // Kept as an absolute path, so the profile finds its table from any folder.
        std::error_code error;
        const auto absolute = std::filesystem::absolute(*args.Value("--table"), error);
        if (!doc.UseCorrectionTable(error ? *args.Value("--table") : absolute.string())) {
            return kExitRefused;
        }
    }
    return SaveTo(doc, args.Value("-o").value_or(in));
}

int RunProfileCodes(CliContext& context, const std::string& path) {
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(path) || !doc.ComputeDacCodes(doc.UseCorrection() != 0)) {
        return kExitRefused;
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

int RunShowAny(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "file");
    return IsVoltFile(in) ? ShowVolt(context, in) : RunShow(context, args);
}

int RunCodes(CliContext& context, const ParsedArgs& args) {
    const std::string in = OneFile(args, "file");
    return IsVoltFile(in) ? VoltCodes(context, in) : RunProfileCodes(context, in);
}

} // namespace

std::vector<Command> ProfileCommands() {
    std::vector<OptionSpec> withOutput = kParameterOptions;
    withOutput.push_back({"-o", 1});
    return {
        {"new",
         "new OUT.lcp [--elements N] [--digits D] [--aperture M] [--max-phase P] [--low L] "
         "[--high H]\n"
         "      A new profile with the settings' defaults, then the given parameters.",
         kParameterOptions, RunNew},
        {"set",
         "set FILE.lcp [--elements N] [--digits D] [--aperture M] [--max-phase P] [--low L] "
         "[--high H] [-o OUT.lcp]\n"
         "      Applies new parameters to a profile (data resized to the element count).\n"
         "      While the profile uses a correction table, --low and --high are DAC codes.",
         withOutput, RunSet},
        {"generate",
         "generate FILE.lcp [-o OUT.lcp] (--diopters D [--wavelength M] | --poly A0 A1 A2 A3 "
         "[--use-aperture])\n"
         "         [--max-jumps M] [--min-voltage]\n"
         "      Generates the profile data: a thin lens of D diopters at wave length M (metres),\n"
         "      or the polynomial a0 + a1*x + a2*x^2 + a3*x^3 (radians) over element steps,\n"
         "      or over metres with --use-aperture. --max-jumps limits the periods removed\n"
         "      between neighbours; --min-voltage keeps the profile in its lowest period.",
         {{"-o", 1},
          {"--diopters", 1},
          {"--wavelength", 1},
          {"--poly", 4},
          {"--use-aperture", 0},
          {"--max-jumps", 1},
          {"--min-voltage", 0}},
         RunGenerate},
        {"show",
         "show FILE.lcp|FILE.vf\n"
         "      Lists the parameters, one 'name: value' line each, then every value.",
         {},
         RunShowAny},
        {"export",
         "export FILE.lcp (--phases | --codes | --corrected-codes) -o OUT\n"
         "      Writes the phases (one per line) or the DAC codes, plain or through the\n"
         "      profile's correction table.",
         {{"--phases", 0}, {"--codes", 0}, {"--corrected-codes", 0}, {"-o", 1}},
         RunExport},
        {"import",
         "import FILE.lcp (--phases | --codes) IN [-o OUT.lcp]\n"
         "      Replaces the data by the first 'elements' numbers of IN.",
         {{"--phases", 0}, {"--codes", 0}, {"-o", 1}},
         RunImport},
        {"correction",
         "correction FILE.lcp (--table PATH | --off) [-o OUT.lcp]\n"
         "      Switches the correction table on (loaded and checked) or off.",
         {{"--table", 1}, {"--off", 0}, {"-o", 1}},
         RunCorrection},
        {"codes",
         "codes FILE.lcp|FILE.vf\n"
         "      The codes a Send would transmit, one per line, in order.",
         {},
         RunCodes},
    };
}
