#include "CalibrateCommands.h"

#include "LinkOptions.h"
#include "calibration/CalibrationRun.h"
#include "calibration/CorrectionTableFile.h"
#include "calibration/PhaseSources.h"
#include "calibration/Sweep.h"
#include "calibration/TableLibrary.h"
#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace calibration;

namespace {

// Wave lengths a record can hold, metres.
constexpr double kLeastWaveLength = 100e-9;
constexpr double kMostWaveLength = 20000e-9;

// A field read with the program's checks; shows the message and returns false when it fails.
template <typename T>
bool ReadField(Prompter& prompter, const std::string& text, T low, T high, T& out) {
    ddx::Field<T> field;
    if constexpr (std::is_same_v<T, int>) {
        field = ddx::ReadInt(text, low, high);
    } else {
        field = ddx::ReadDouble(text, low, high);
    }
    if (!field) {
        prompter.MessageBox(field.error, MB_OK);
        return false;
    }
    out = *field.value;
    return true;
}

// The same for an optional field, which keeps `out` when it is not given.
template <typename T>
bool ReadOptional(Prompter& prompter, const std::optional<std::string>& text, T low, T high,
                  T& out) {
    return !text || ReadField(prompter, *text, low, high, out);
}

// "--unit rad|waves|pi"; another name is a usage error.
CLI::Option* AddUnit(CLI::App& command, std::optional<std::string>& unit, const std::string& help) {
    return AddText(command, "--unit", unit, "rad|waves|pi", help)
        ->check(Check([](const std::string& text) {
            return text == "rad" || text == "waves" || text == "pi"
                       ? std::string()
                       : "the unit is rad, waves or pi, not '" + text + "'";
        }));
}

void PrintFigures(std::ostream& out, const ResponseCurve& curve) {
    for (const FitFigure& figure : FitFigures(curve)) {
        out << figure.name << ": " << figure.value << '\n';
    }
}

std::string TableLine(const std::string& path, std::size_t entries, int digits, double maxPhase) {
    return "table: " + path + " (" + std::to_string(entries) + " entries for " +
           std::to_string(digits) + " DAC digits, maximum phase " +
           numtext::FormatGeneral(maxPhase, 10) + " parts of PI)";
}

// ---- calibrate fit ----

struct FitArgs {
    std::string measured;
    std::string digits;
    std::string maxPhase;
    std::string out;
    std::optional<std::string> unit, waveLength, temperature, comment, record;
    bool wrapped = false;
};

int RunFit(CliContext& context, const FitArgs& args) {
    Prompter& prompter = context.prompter;
    CalibrationJob job;
    job.measurementPath = args.measured;
    job.csv.unit = args.unit ? ParseUnit(*args.unit) : std::nullopt;
    job.csv.wrapped = args.wrapped;
    job.tablePath = args.out;
    job.recordPath = args.record.value_or("");
    job.comment = args.comment.value_or("");
    double temperature = 0.0;
    if (!ReadField(prompter, args.digits, limits::kMinDacDigits, limits::kMaxDacDigits,
                   job.csv.digits) ||
        !ReadField(prompter, args.maxPhase, limits::kMinMaxPhase, limits::kMaxMaxPhase,
                   job.maxPhase) ||
        !ReadOptional(prompter, args.waveLength, kLeastWaveLength, kMostWaveLength,
                      job.waveLength) ||
        !ReadOptional(prompter, args.temperature, -273.15, 1000.0, temperature)) {
        return kExitRefused;
    }
    if (args.temperature) {
        job.temperature = temperature;
    }
    const auto outcome = RunCalibration(job);
    if (!outcome) {
        prompter.MessageBox(outcome.Message(), MB_OK);
        return kExitRefused;
    }
    PrintFigures(context.out, outcome->curve);
    context.out << TableLine(args.out, outcome->table.size(), job.csv.digits, job.maxPhase) << '\n';
    if (args.record) {
        context.out << "record: " << *args.record << '\n';
    }
    return kExitOk;
}

// A required option with one value, kept as the text given.
CLI::Option* AddRequired(CLI::App& command, const std::string& name, std::string& value,
                         const std::string& placeholder, const std::string& help) {
    return command.add_option(name, value, help)->type_name(placeholder)->required();
}

Command AddFit(CLI::App& calibrate) {
    auto args = std::make_shared<FitArgs>();
    CLI::App& command = AddCommand(
        calibrate, "fit",
        "calibrate fit MEASURED.csv --digits D --max-phase P [--unit rad|waves|pi]\n"
        "[--wrapped] [--wavelength M [--temperature T] [--comment TEXT] --record OUT.tcal]\n"
        "-o TABLE.txt",
        "Fits the response curve to the measured readings (lines \"level,phase\") and writes\n"
        "the correction table for D DAC digits whose last entry has the phase P (parts of\n"
        "PI), and with --record the calibration record; prints the fit's figures. A refused\n"
        "measurement writes nothing.");
    AddArgument(command, "MEASURED.csv", args->measured, "the measured readings");
    AddRequired(command, "--digits", args->digits, "D", "the DAC's digits of the levels");
    AddRequired(command, "--max-phase", args->maxPhase, "P",
                "the phase of the table's last entry, parts of PI");
    AddUnit(command, args->unit, "the phases' unit when the file names none (default rad)");
    command.add_flag("--wrapped", args->wrapped, "the phases were folded into one period");
    CLI::Option* waveLength =
        AddText(command, "--wavelength", args->waveLength, "M", "the wave length, metres");
    AddText(command, "--temperature", args->temperature, "T", "the cell's temperature, Celsius")
        ->needs(waveLength);
    AddText(command, "--comment", args->comment, "TEXT", "the record's comment")->needs(waveLength);
    AddText(command, "--record", args->record, "OUT.tcal", "write the calibration record")
        ->needs(waveLength);
    AddRequired(command, "-o", args->out, "TABLE.txt", "the correction table to write");
    return {&command, [args](CliContext& context) { return RunFit(context, *args); }};
}

// ---- calibrate sweep ----

struct SweepArgs {
    std::string out;
    std::optional<std::string> digits, elements, section, reference, levels, steps, first, last,
        phases, wait, unit;
    bool wrapped = false;
    LinkArgs link;
};

// Loads the patterns through the worker's protocol, one command after the other on this
// thread; its messages go to standard error.
class ConsoleLink : public PatternLink, public ProtocolHost {
public:
    ConsoleLink(CliContext& context, const LinkOverrides& overrides)
        : m_prompter(context.prompter), m_protocol(context.settings, *this) {
        m_protocol.SetOverrides(overrides);
    }
    ~ConsoleLink() override {
        if (m_protocol.IsConnected()) {
            m_protocol.OnControllerCommand(CMD_DISCONNECT, nullptr);
        }
    }

    Result<Done> Load(const SweepPattern& pattern, CancelToken&) override {
        if (!m_protocol.IsConnected()) {
            m_protocol.OnControllerCommand(CMD_CONNECT, nullptr);
            if (!m_protocol.IsConnected()) {
                return Refuse("the controller was not reached");
            }
        }
        auto transfer = std::make_unique<ProfileTransfer>();
        transfer->codes = pattern.codes;
        transfer->elements = pattern.elements;
        m_loaded = false;
        m_protocol.OnControllerCommand(CMD_SEND_PROFILE, std::move(transfer));
        if (!m_loaded) {
            return Refuse("the pattern of level " + std::to_string(pattern.level) +
                          " was not loaded");
        }
        return Done{};
    }

    int ReportError(int stringId, unsigned type) override {
        return m_prompter.Message(stringId, type);
    }
    void CommandDone(int) override {}
    void CommandFinished(const CommandReport& report) override {
        m_loaded = report.code == CMD_SEND_PROFILE && report.ok;
    }

private:
    Prompter& m_prompter;
    CLC_Protocol m_protocol;
    bool m_loaded = false;
};

// Stops the sweep on SIGINT or SIGTERM: while the object lives the signals are taken by a
// thread of their own, which cancels the token, so the readings taken so far are kept.
class StopOnSignal {
public:
    explicit StopOnSignal(CancelToken& token) {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
        m_thread = std::thread([this, &token] {
            const timespec tick{0, 100 * 1000 * 1000};
            while (!m_done) {
                if (sigtimedwait(&m_signals, nullptr, &tick) > 0) {
                    token.Cancel();
                }
            }
        });
    }
    ~StopOnSignal() {
        m_done = true;
        m_thread.join();
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

private:
    sigset_t m_signals{};
    sigset_t m_previous{};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Phases typed on standard input, one a line, read on a thread of their own; the end of the
// input (or a line "end") ends the sweep. A line that is no number is named and skipped.
std::shared_ptr<QueuedPhaseSource> ReadStandardInput() {
    auto source = std::make_shared<QueuedPhaseSource>();
    std::thread([source] {
        std::string line;
        while (std::getline(std::cin, line)) {
            const std::string_view text = Trim(line);
            if (text.empty() || text.front() == '#') {
                continue;
            }
            if (text == "end") {
                break;
            }
            if (const auto phase = numtext::ParseDouble(text)) {
                source->Provide(*phase);
            } else {
                std::cerr << "\"" << text << "\" is not a phase (a number with a decimal point);"
                          << " type the phase again, or end the input to stop." << std::endl;
            }
        }
        source->End();
    }).detach();
    return source;
}

// Shows the sweep's progress and keeps the readings in the output file after each one, so
// that nothing measured is lost however the sweep ends.
class SweepProgress : public SweepObserver {
public:
    SweepProgress(const SweepPlan& plan, std::string path, std::string comment, bool prompt,
                  CancelToken& cancel)
        : m_path(std::move(path)), m_comment(std::move(comment)), m_prompt(prompt),
          m_cancel(cancel) {
        m_measurement.digits = plan.digits;
        m_measurement.unit = plan.unit;
        m_measurement.wrapped = plan.wrapped;
    }

    void Waiting(int index, int count, int level) override {
        if (m_prompt) {
            std::cout << "level " << level << " (" << index + 1 << " of " << count
                      << "), phase: " << std::flush;
        }
    }
    void Measured(const MeasuredPoint& point) override {
        if (!m_prompt) {
            std::cout << "level " << point.level << ": " << numtext::FormatGeneral(point.phase, 10)
                      << '\n';
        }
        m_measurement.points.push_back(point);
        const auto written = WriteMeasurementCsv(m_path, m_measurement, m_comment);
        if (!written) {
            m_problem = written.Message();
            m_cancel.Cancel();
        }
    }

    const std::string& Problem() const { return m_problem; }

private:
    std::string m_path;
    std::string m_comment;
    bool m_prompt;
    CancelToken& m_cancel;
    Measurement m_measurement;
    std::string m_problem;
};

// The plan from the options, the settings' defaults for what is not given.
std::optional<SweepPlan> PlanOf(CliContext& context, const SweepArgs& args) {
    Prompter& prompter = context.prompter;
    const limits::NewDocumentSize size = limits::NewDocumentSizeFrom(context.settings);
    SweepPlan plan;
    plan.digits = size.dacDigits;
    plan.elements = size.elements;
    plan.unit = args.unit ? *ParseUnit(*args.unit) : PhaseUnit::Radians;
    plan.wrapped = args.wrapped;
    if (!ReadOptional(prompter, args.digits, limits::kMinDacDigits, limits::kMaxDacDigits,
                      plan.digits) ||
        !ReadOptional(prompter, args.elements, limits::kMinElements, limits::kMaxElements,
                      plan.elements)) {
        return std::nullopt;
    }
    const int top = static_cast<int>(daccodes::HalfRange(plan.digits)) - 1;
    plan.section = std::max(1, plan.elements / 16);
    int steps = 64;
    int first = 0;
    int last = top;
    constexpr int kAny = std::numeric_limits<int>::max();
    if (!ReadOptional(prompter, args.section, 1, kAny, plan.section) ||
        !ReadOptional(prompter, args.reference, -kAny, kAny, plan.referenceLevel) ||
        !ReadOptional(prompter, args.steps, 1, top + 1, steps) ||
        !ReadOptional(prompter, args.first, -kAny, kAny, first) ||
        !ReadOptional(prompter, args.last, -kAny, kAny, last)) {
        return std::nullopt;
    }
    if (args.levels) {
        std::string_view rest = *args.levels;
        while (!rest.empty()) {
            const auto comma = rest.find(',');
            const std::string_view item = rest.substr(0, comma);
            const auto level = numtext::ParseInt(item);
            if (!level) {
                prompter.MessageBox("The level \"" + std::string(Trim(item)) +
                                        "\" of --levels is not a whole number.",
                                    MB_OK);
                return std::nullopt;
            }
            plan.levels.push_back(*level);
            rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
        }
    } else {
        plan.levels = SpreadLevels(first, last, steps);
    }
    if (const auto checked = CheckPlan(plan); !checked) {
        prompter.MessageBox(checked.Message(), MB_OK);
        return std::nullopt;
    }
    return plan;
}

int RunSweepCommand(CliContext& context, const SweepArgs& args) {
    Prompter& prompter = context.prompter;
    const auto plan = PlanOf(context, args);
    if (!plan) {
        return kExitRefused;
    }
    double waitSeconds = 60.0;
    if (!ReadOptional(prompter, args.wait, 0.001, 86400.0, waitSeconds)) {
        return kExitRefused;
    }
    const auto patterns = MakePatterns(context.app, *plan);
    if (!patterns) {
        prompter.MessageBox(patterns.Message(), MB_OK);
        return kExitRefused;
    }

    CancelToken cancel;
    const StopOnSignal stopOnSignal(cancel);
    std::shared_ptr<PhaseSource> source;
    if (args.phases) {
        source = std::make_shared<WatchedFilePhaseSource>(
            *args.phases, std::chrono::milliseconds(static_cast<long long>(waitSeconds * 1000.0)),
            plan->unit);
    } else {
        source = ReadStandardInput();
    }
    const std::string comment =
        "sweep of " + std::to_string(plan->levels.size()) + " levels against reference level " +
        std::to_string(plan->referenceLevel) + ", sections of " + std::to_string(plan->section) +
        " of " + std::to_string(plan->elements) + " elements, " + std::to_string(plan->digits) +
        " DAC digits";
    SweepProgress progress(*plan, args.out, comment, !args.phases && isatty(STDIN_FILENO), cancel);
    SweepOutcome outcome;
    {
        ConsoleLink link(context, args.link.Apply());
        outcome = RunSweep(*plan, *patterns, link, *source, cancel, &progress);
    }

    const std::size_t taken = outcome.measurement.points.size();
    const std::string counted =
        std::to_string(taken) + " of " + std::to_string(plan->levels.size()) + " levels";
    if (outcome.end == SweepOutcome::End::Complete) {
        context.out << "measured " << counted << "; the readings are in " << args.out << '\n';
        return kExitOk;
    }
    std::string why = !progress.Problem().empty()                   ? progress.Problem()
                      : outcome.end == SweepOutcome::End::Cancelled ? "it was interrupted."
                      : outcome.end == SweepOutcome::End::Ended
                          ? "the input ended."
                          : outcome.message + (outcome.message.back() == '.' ? "" : ".");
    const std::string kept = taken == 0 ? " Nothing was measured; nothing was written."
                             : progress.Problem().empty()
                                 ? " The readings taken are in " + args.out + "."
                                 : "";
    prompter.MessageBox("The sweep stopped after " + counted + ": " + why + kept, MB_OK);
    return kExitRefused;
}

Command AddSweep(CLI::App& calibrate) {
    auto args = std::make_shared<SweepArgs>();
    CLI::App& command = AddCommand(
        calibrate, "sweep",
        std::string("calibrate sweep -o MEASURED.csv [--digits D] [--elements N] [--section S]\n"
                    "[--reference L] [--levels L,L,... | --steps N [--first L] [--last L]]\n"
                    "[--phases FILE [--wait SECONDS]] [--unit rad|waves|pi] [--wrapped]\n") +
            kLinkSynopsis,
        "Measures the liquid crystal's response: for each level, loads the two-level pattern\n"
        "of a volt-phase table (S elements at the level, S at the reference level, and so\n"
        "on) into the controller and waits for the phase step read on the instrument: typed\n"
        "on standard input, one phase a line (\"end\" or the end of the input stops), or\n"
        "with --phases taken from each new line an instrument script appends to FILE (a\n"
        "phase, or \"level,phase\"). The readings are kept in MEASURED.csv after each one;\n"
        "an interrupted sweep keeps them. Defaults: the settings' digits and elements, a\n"
        "sixteenth of the elements a section, reference level 0, 64 levels from 0 to the\n"
        "top, 60 seconds a phase.");
    AddRequired(command, "-o", args->out, "MEASURED.csv", "the readings to write");
    AddText(command, "--digits", args->digits, "D", "the DAC's digits");
    AddText(command, "--elements", args->elements, "N", "the elements of the pattern");
    AddText(command, "--section", args->section, "S", "elements in a row on one level");
    AddText(command, "--reference", args->reference, "L", "the reference level");
    CLI::Option* levels =
        AddText(command, "--levels", args->levels, "L,L,...", "the levels to measure, in order");
    for (CLI::Option* spread :
         {AddText(command, "--steps", args->steps, "N", "measure N levels spread evenly"),
          AddText(command, "--first", args->first, "L", "from this level"),
          AddText(command, "--last", args->last, "L", "to this level")}) {
        levels->excludes(spread);
    }
    CLI::Option* phases = AddText(command, "--phases", args->phases, "FILE",
                                  "take the phases from the lines appended to FILE");
    AddText(command, "--wait", args->wait, "SECONDS", "the longest wait for one phase")
        ->needs(phases);
    AddUnit(command, args->unit, "the phases' unit (default rad)");
    command.add_flag("--wrapped", args->wrapped, "the phases are folded into one period");
    AddLinkOptions(command, args->link);
    return {&command, [args](CliContext& context) { return RunSweepCommand(context, *args); }};
}

// ---- calibrate table ----

struct TableArgs {
    std::string waveLength;
    std::string maxPhase;
    std::string out;
    std::optional<std::string> digits, folder;
};

int RunTable(CliContext& context, const TableArgs& args) {
    Prompter& prompter = context.prompter;
    double waveLength = 0.0;
    double maxPhase = 0.0;
    std::optional<int> digits;
    int given = 0;
    if (!ReadField(prompter, args.waveLength, kLeastWaveLength, kMostWaveLength, waveLength) ||
        !ReadField(prompter, args.maxPhase, limits::kMinMaxPhase, limits::kMaxMaxPhase, maxPhase) ||
        !ReadOptional(prompter, args.digits, limits::kMinDacDigits, limits::kMaxDacDigits, given)) {
        return kExitRefused;
    }
    if (args.digits) {
        digits = given;
    }
    const std::string folder = args.folder.value_or(CalibrationFolder(context.settings));
    const auto made = TableFromLibrary(folder, waveLength, digits, maxPhase);
    if (!made) {
        prompter.MessageBox(made.Message(), MB_OK);
        return kExitRefused;
    }
    const auto written = WriteCorrectionTable(args.out, made->table, made->picked.digits);
    if (!written) {
        prompter.MessageBox(written.Message(), MB_OK);
        return kExitRefused;
    }
    for (const std::string& problem : made->picked.problems) {
        std::cerr << "skipped: " << problem << '\n';
    }
    context.out << "curve: " << made->picked.description << '\n'
                << "interpolated: " << (made->picked.interpolated ? "yes" : "no") << '\n';
    PrintFigures(context.out, made->picked.curve);
    context.out << TableLine(args.out, made->table.size(), made->picked.digits, maxPhase) << '\n';
    return kExitOk;
}

Command AddTable(CLI::App& calibrate) {
    auto args = std::make_shared<TableArgs>();
    CLI::App& command = AddCommand(
        calibrate, "table",
        "calibrate table --wavelength M --max-phase P [--digits D] [--folder DIR] -o TABLE.txt",
        "Writes the correction table for the wave length M from the library of calibration\n"
        "records (the setting \"Calibration Folder\", by default the folder calibration\n"
        "beside the settings file): the record measured at M, or the curve interpolated\n"
        "between the nearest records on either side; says which.");
    AddRequired(command, "--wavelength", args->waveLength, "M", "the wave length, metres");
    AddRequired(command, "--max-phase", args->maxPhase, "P",
                "the phase of the table's last entry, parts of PI");
    AddText(command, "--digits", args->digits, "D", "refuse records of other DAC digits");
    AddText(command, "--folder", args->folder, "DIR", "the library's folder");
    AddRequired(command, "-o", args->out, "TABLE.txt", "the correction table to write");
    return {&command, [args](CliContext& context) { return RunTable(context, *args); }};
}

} // namespace

std::vector<Command> AddCalibrateCommands(CLI::App& tool) {
    CLI::App& calibrate = AddCommand(tool, "calibrate", "", "The liquid crystal's calibration.");
    return {AddSweep(calibrate), AddFit(calibrate), AddTable(calibrate)};
}
