// tessaron-sim: the controller simulator as a program of its own. It prints the device path
// to give the program (for example to tessaron-cli send's --port), serves until interrupted and
// then sums up what it saw. With --phase-out a liquid crystal answers every two-level pattern
// with its phase step, so a calibration sweep runs without a bench.
#include "ControllerSimulator.h"
#include "LcResponder.h"
#include "framework/NumberText.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kMostCount = 100000000;

// A whole decimal number of digits only, up to kMostCount: a sign, a blank or a space is not
// one, so "-1" is refused rather than read as "never".
std::optional<int> Count(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] < '0' || text[0] > '9' || error != std::errc() || ptr != end ||
        value > kMostCount) {
        return std::nullopt;
    }
    return value;
}

// An option taking a count of at least `least` into `value`; anything else is a usage error.
void AddCount(CLI::App& app, const std::string& name, int& value, int least,
              const std::string& placeholder, const std::string& help) {
    const auto refusal = [least](std::string& text) {
        const auto count = Count(text);
        if (count && *count >= least) {
            return std::string();
        }
        return "takes a whole number from " + std::to_string(least) + " to " +
               std::to_string(kMostCount) + ", not \"" + text + "\"";
    };
    app.add_option_function<std::string>(
           name, [&value](const std::string& text) { value = *Count(text); }, help)
        ->type_name(placeholder)
        ->check(CLI::Validator(refusal, ""));
}

// An option taking a number from `least` to `most` into `value`; anything else is a usage
// error.
void AddNumber(CLI::App& app, const std::string& name, double& value, double least, double most,
               const std::string& placeholder, const std::string& help) {
    const auto refusal = [least, most](std::string& text) {
        const auto number = numtext::ParseDouble(text);
        if (number && *number >= least && *number <= most) {
            return std::string();
        }
        return "takes a number from " + numtext::FormatGeneral(least) + " to " +
               numtext::FormatGeneral(most) + ", not \"" + text + "\"";
    };
    app.add_option_function<std::string>(
           name, [&value](const std::string& text) { value = *numtext::ParseDouble(text); }, help)
        ->type_name(placeholder)
        ->check(CLI::Validator(refusal, ""));
}

} // namespace

int main(int argc, char** argv) {
    ControllerSimulator::Faults faults;
    int pace = 0;
    std::string record;

    CLI::App app("Simulates the modulator controller on a pseudo-terminal. The first line printed "
                 "is the\ndevice path for the program; serving goes on until SIGINT or SIGTERM.",
                 "tessaron-sim");
    app.set_help_flag("-h,--help", "show this text");
    app.get_formatter()->column_width(23);
    app.get_formatter()->label("Usage", "usage");
    app.footer("A step is one transmission: ENQ, EOT, a frame or a run of stray bytes.\n"
               "The liquid crystal of --phase-out is a 5 um cell of birefringence\n"
               "0.16 + 8e-15/M^2 with a sigmoid response over the DAC's levels; at 633 nm its\n"
               "phase rises by 8.93 rad from the lowest level to the highest.");
    // A count given twice counts as given last.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    AddCount(app, "--pace", pace, 1, "BAUD",
             "answer as slowly as a line of BAUD would carry the bytes");
    app.add_option("--record", record, "append every finished command, decoded, to FILE")
        ->type_name("FILE");
    std::string phaseOut;
    double lcWaveLength = 633e-9;
    double lcNoise = 0.0;
    int lcSeed = 1;
    CLI::Option* phaseOption =
        app.add_option("--phase-out", phaseOut,
                       "a liquid crystal answers each loaded two-level pattern: its phase\n"
                       "step (radians) is appended to FILE as a line \"level,phase\"")
            ->type_name("FILE");
    AddNumber(app, "--lc-wavelength", lcWaveLength, 100e-9, 20000e-9, "M",
              "the wave length of --phase-out, metres (default 6.33e-07)");
    AddNumber(app, "--lc-noise", lcNoise, 0.0, 10.0, "RAD",
              "Gaussian noise of --phase-out's phases, radians (default 0)");
    AddCount(app, "--lc-seed", lcSeed, 0, "N", "seed of that noise (default 1)");
    for (const char* name : {"--lc-wavelength", "--lc-noise", "--lc-seed"}) {
        app.get_option(name)->needs(phaseOption);
    }
    app.add_flag("--silent", faults.silent, "never answer");
    AddCount(app, "--silent-after", faults.silentAfterSteps, 0, "N",
             "answer the first N steps, then never again");
    AddCount(app, "--wrong-byte", faults.wrongByteOnSteps, 0, "N",
             "answer the first N steps with 0x15 instead of ACK");
    AddCount(app, "--answer-on-try", faults.answerOnTry, 1, "N",
             "answer a step only on its N-th identical transmission");
    AddCount(app, "--hang-up-after", faults.hangUpAfterSteps, 0, "N",
             "serve N steps, then close the line on the next one and exit");
    AddCount(app, "--late-ack", faults.lateAckSteps, 0, "N",
             "send the first N acknowledgements twice");
    // STEP:MILLISECONDS, as often as wanted; each holds the reply to one step back.
    const auto delay = [](const std::string& text) -> std::optional<std::pair<int, int>> {
        const auto colon = text.find(':');
        if (colon == std::string::npos) {
            return std::nullopt;
        }
        const auto step = Count(text.substr(0, colon));
        const auto ms = Count(text.substr(colon + 1));
        if (!step || *step < 1 || !ms) {
            return std::nullopt;
        }
        return std::pair{*step, *ms};
    };
    app.add_option_function<std::vector<std::string>>(
           "--delay-reply",
           [&faults, delay](const std::vector<std::string>& texts) {
               for (const auto& text : texts) {
                   const auto [step, ms] = *delay(text);
                   faults.replyDelays.push_back({step, ms});
               }
           },
           "answer step N MS milliseconds late (may be given more than once)")
        ->type_name("N:MS")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Validator(
            [delay](std::string& text) {
                return delay(text)
                           ? std::string()
                           : "takes STEP:MILLISECONDS, such as 9:1500, not \"" + text + "\"";
            },
            ""));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        std::cerr << "tessaron-sim: " << error.what() << "\n"
                  << "Run 'tessaron-sim --help' for the options.\n";
        return 2;
    }

    // The signals are taken with sigtimedwait; blocked before the serving thread starts, so
    // it inherits the mask and never receives them itself.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        ControllerSimulator sim;
        sim.SetFaults(faults);
        sim.SetPace(pace);
        sim.SetRecordFile(record);
        std::optional<LcResponder> lc;
        if (!phaseOut.empty()) {
            lc.emplace(calibration::LiquidCrystalModel{}, lcWaveLength, lcNoise,
                       static_cast<std::uint64_t>(lcSeed), phaseOut);
            sim.SetLoadListener(
                [&lc](const ControllerSimulator::Command& command) { return lc->OnLoad(command); });
        }
        sim.Start();
        std::cout << sim.SlavePath() << std::endl;

        const timespec tick{0, 100 * 1000 * 1000};
        while (sigtimedwait(&stopSignals, nullptr, &tick) < 0 && !sim.HungUp()) {
        }
        sim.Stop();

        std::size_t complete = 0;
        const auto commands = sim.Commands();
        for (const auto& command : commands) {
            complete += command.complete ? 1 : 0;
        }
        const auto problems = sim.Problems();
        std::cerr << "tessaron-sim: " << sim.Transmissions().size() << " transmissions, "
                  << commands.size() << " commands (" << complete << " complete), "
                  << problems.size() << " problems"
                  << (problems.empty() ? "" : ", the first: " + problems.front())
                  << (sim.HungUp() ? ", line hung up" : "") << "\n";
    } catch (const std::exception& error) {
        std::cerr << "tessaron-sim: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
