#include "CheckCommand.h"

#include "framework/AsciiText.h"
#include "framework/FieldExchange.h"
#include "optics/CheckText.h"
#include "optics/DocumentInput.h"
#include "optics/RecordedResponse.h"
#include "plot/CheckPicture.h"
#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

namespace {

struct CheckArgs {
    std::string file;
    std::optional<std::string> record, plot, aperture, maxPhase, waveLength;
    bool json = false;
    bool logScale = false;
};

bool IsVoltTable(const std::string& path) {
    return path.size() >= 3 && asciitext::ToLower(path.substr(path.size() - 3)) == ".vf";
}

std::string FileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Refuse(CliContext& context, const std::string& message, const std::string& detail = {}) {
    if (detail.empty()) {
        context.prompter.MessageBox(message, MB_OK | MB_ICONSTOP);
    } else {
        context.prompter.DetailedMessageBox(message, detail, MB_OK | MB_ICONSTOP);
    }
    return kExitRefused;
}

// A number option, read with the editor's checks; `fallback` when it is not given.
bool ReadOption(CliContext& context, const std::optional<std::string>& text, double fallback,
                double low, double high, double& out) {
    if (!text) {
        out = fallback;
        return true;
    }
    const auto field = ddx::ReadDouble(*text, low, high);
    if (!field) {
        context.prompter.MessageBox(field.error, MB_OK);
        return false;
    }
    out = *field.value;
    return true;
}

// The shortest wave length light of a volt-phase table may have, and the longest (m).
constexpr double kMinWaveLength = 1e-7;
constexpr double kMaxWaveLength = 2e-5;

// The check's input of a volt-phase table: the row and the light are not in the file, so the
// aperture and maximum phase come from the options or the defaults of new profiles, the wave
// length from the option or the record.
std::optional<optics::InputOutcome> VoltInput(CliContext& context, const CheckArgs& args,
                                              const optics::RecordedResponse* response) {
    CLC_VoltDoc doc(context.app);
    if (!doc.OnOpenDocument(args.file)) {
        return std::nullopt;
    }
    const SettingsStore& store = context.settings;
    optics::PatternSetup setup;
    if (!ReadOption(
            context, args.aperture,
            store.GetNumber(settings::kSection, settings::kAperture, settings::kDefaultAperture),
            limits::kMinAperture, limits::kMaxAperture, setup.aperture) ||
        !ReadOption(
            context, args.maxPhase,
            store.GetNumber(settings::kSection, settings::kMaxPhase, settings::kDefaultMaxPhase),
            limits::kMinMaxPhase, limits::kMaxMaxPhase, setup.maxPhase)) {
        return std::nullopt;
    }
    if (!args.waveLength && response == nullptr) {
        Refuse(context, "A volt-phase table does not say the light's wave length: give "
                        "--wavelength or a calibration record with --table-record.");
        return std::nullopt;
    }
    if (!ReadOption(context, args.waveLength, response != nullptr ? response->waveLength : 0.0,
                    kMinWaveLength, kMaxWaveLength, setup.waveLength)) {
        return std::nullopt;
    }
    return optics::VoltTableInput(doc, setup);
}

std::optional<optics::InputOutcome> ProfileFileInput(CliContext& context, const CheckArgs& args) {
    if (args.aperture || args.maxPhase || args.waveLength) {
        Refuse(context, "A profile carries its own aperture, maximum phase and wave length: "
                        "--aperture, --max-phase and --wavelength are for volt-phase tables.");
        return std::nullopt;
    }
    CTessaronDoc doc(context.app);
    if (!doc.OnOpenDocument(args.file)) {
        return std::nullopt;
    }
    return optics::ProfileInput(doc);
}

// A figure for JSON: the number, or null where the check has none.
nlohmann::ordered_json Optional(const std::optional<double>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json Json(const optics::CheckResult& result, const std::string& file,
                            const std::string& response) {
    const std::optional<optics::CheckFigures>& f = result.figures;
    auto figure = [&](double optics::CheckFigures::*member) {
        return f ? nlohmann::ordered_json((*f).*member) : nlohmann::ordered_json(nullptr);
    };
    nlohmann::ordered_json out = {
        {"file", file},
        {"design", optics::DesignName(result.design)},
        {"response", response},
        {"wavelength_m", result.waveLength},
        {"elements", result.elements.phase.size()},
        {"pitch_m", result.pitch},
        {"efficiency", figure(&optics::CheckFigures::efficiency)},
        {"strehl", figure(&optics::CheckFigures::strehl)},
        {"rms_error_waves", figure(&optics::CheckFigures::rmsErrorWaves)},
        {"peak_error_waves", figure(&optics::CheckFigures::peakErrorWaves)},
        {"warnings", result.warnings},
    };
    if (result.design == optics::Design::Lens) {
        out["focus_m"] = f ? Optional(f->focusM) : nullptr;
        out["spot_offset_m"] = f ? Optional(f->spotOffsetM) : nullptr;
        out["spot_width_m"] = f ? Optional(f->spotWidth) : nullptr;
    } else if (result.design == optics::Design::Polynomial) {
        out["order_angle_rad"] = f ? Optional(f->orderAngleRad) : nullptr;
        out["order_width_rad"] = f ? Optional(f->spotWidth) : nullptr;
    }
    return out;
}

int RunCheck(CliContext& context, const CheckArgs& args) {
    std::optional<optics::RecordedResponse> response;
    if (args.record) {
        auto read = optics::ReadRecordedResponse(*args.record);
        if (!read) {
            return Refuse(context, read.Message());
        }
        response = std::move(*read);
    }
    if (args.plot && !plot::FormatOfPath(*args.plot)) {
        return Refuse(context, "A picture is written as a PNG or a PDF file: \"" + *args.plot +
                                   "\" ends in neither .png nor .pdf.");
    }
    const std::optional<optics::InputOutcome> input =
        IsVoltTable(args.file) ? VoltInput(context, args, response ? &*response : nullptr)
                               : ProfileFileInput(context, args);
    if (!input) {
        return kExitRefused; // the message has been shown
    }
    if (!input->input) {
        return Refuse(context, input->error);
    }
    optics::CheckInput in = *input->input;
    if (response) {
        const std::string refusal = optics::UseResponse(in, *response);
        if (!refusal.empty()) {
            return Refuse(context, refusal);
        }
    }
    const optics::CheckOutcome outcome = optics::RunCheck(in);
    if (!outcome.result) {
        return Refuse(context, outcome.error);
    }
    const optics::CheckResult& result = *outcome.result;
    const std::string responseText = response ? response->source : "linear";
    if (args.plot) {
        const std::string title = FileName(args.file) + ": " + optics::DesignName(result.design) +
                                  ", response " + responseText;
        if (const auto error = plot::WriteCheckPicture(*args.plot, result, args.logScale, title)) {
            return Refuse(context, error->message, error->detail);
        }
    }
    if (args.json) {
        context.out << Json(result, args.file, responseText).dump(2) << '\n';
        return kExitOk;
    }
    context.out << "Response: " << responseText << '\n';
    for (const optics::FigureLine& line : optics::FigureLines(result)) {
        context.out << line.name << ": " << line.value << '\n';
    }
    for (const std::string& warning : result.warnings) {
        context.out << "Warning: " << warning << '\n';
    }
    return kExitOk;
}

} // namespace

Command AddCheckCommand(CLI::App& tool) {
    auto args = std::make_shared<CheckArgs>();
    CLI::App& command = AddCommand(
        tool, "check",
        "check FILE.lcp|FILE.vf [--table-record REC] [--json] [--plot OUT.png|OUT.pdf]\n"
        "[--log-scale] [--aperture M] [--max-phase P] [--wavelength M]",
        "The optical check of the codes a Send transmits: phase error, efficiency, Strehl\n"
        "ratio, focus or order angle, as text or JSON, and on request their picture. The\n"
        "liquid crystal is taken as linear, or as the curve of a calibration record. A\n"
        "volt-phase table is checked on a row of the given aperture (default: the settings'\n"
        "aperture and maximum phase) in light of the given wave length (or the record's).");
    AddArgument(command, "FILE", args->file, "a profile (.lcp) or a volt-phase table (.vf)");
    AddText(command, "--table-record", args->record, "REC",
            "the calibration record (.tcal) whose fitted curve is the liquid crystal's response");
    command.add_flag("--json", args->json, "the figures as one JSON object");
    CLI::Option* plotOption =
        AddText(command, "--plot", args->plot, "OUT",
                "draw the phase error and the intensity into a PNG or PDF file");
    command.add_flag("--log-scale", args->logScale, "the picture's intensity on a log scale")
        ->needs(plotOption);
    AddText(command, "--aperture", args->aperture, "M", "a volt-phase table's aperture, metres");
    AddText(command, "--max-phase", args->maxPhase, "P",
            "a volt-phase table's phase at the highest level, parts of PI");
    AddText(command, "--wavelength", args->waveLength, "M",
            "the wave length a volt-phase table is lit with, metres");
    return {&command, [args](CliContext& context) { return RunCheck(context, *args); }};
}
