// The late-reply soak: many randomized runs of connect, send and disconnect against the
// controller simulator, each with replies that come after their time-out, a controller that
// may fall silent after a random number of steps, random line speeds, time-outs and profile
// sizes. A run that reports a command done which the simulator did not take completely is a
// false success, the worst fault of the link; the soak counts them (the goal is none) and
// prints how to repeat each.
//
//   build/bin/tessaron_late_reply_soak [RUNS [SEED [PARALLEL]]]     (defaults 500, 1, 6)
//
// Exit status 0 when no run was a false success.
#include "ControllerSimulator.h"
#include "comm/LC_Protocol.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Sim = ControllerSimulator;

// Speeds the soak uses: their indexes in the settings' speed table.
constexpr std::pair<int, int> kSpeeds[] = {
    {3, 9600}, {5, 19200}, {6, 38400}, {8, 57600}, {9, 115200}};

struct Params {
    int run = 0;
    int speedIndex = 9;
    int baud = 115200;
    int timeoutMs = 100;
    int elements = 16;
    int silentAfter = -1;                        // -1: never silent
    std::vector<Sim::Faults::ReplyDelay> delays; // by the simulator's step number

    std::string Describe() const {
        std::string text = "run " + std::to_string(run) + ": " + std::to_string(baud) +
                           " baud, time-out " + std::to_string(timeoutMs) + " ms, " +
                           std::to_string(elements) + " elements, silent after " +
                           (silentAfter < 0 ? std::string("never") : std::to_string(silentAfter));
        for (const auto& delay : delays) {
            text += ", step " + std::to_string(delay.step) + " late by " +
                    std::to_string(delay.ms) + " ms";
        }
        return text;
    }
};

// Late replies: one to three of the first steps (a send of two blocks takes 14 when nothing
// is repeated) answered between half a time-out and three time-outs after they were due; the
// controller silent from a random step on in two runs of three.
Params Draw(std::mt19937_64& random, int run) {
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    Params p;
    p.run = run;
    const auto& speed = kSpeeds[uniform(0, static_cast<int>(std::size(kSpeeds)) - 1)];
    p.speedIndex = speed.first;
    p.baud = speed.second;
    p.timeoutMs = uniform(50, 300);
    p.elements = uniform(0, 1) == 0 ? uniform(1, 256) : uniform(257, 512);
    p.silentAfter = uniform(0, 2) == 0 ? -1 : uniform(0, 20);
    const int late = uniform(1, 3);
    for (int i = 0; i < late; ++i) {
        p.delays.push_back({uniform(1, 16), uniform(p.timeoutMs / 2, 3 * p.timeoutMs)});
    }
    return p;
}

struct Host : ProtocolHost {
    int ReportError(int stringId, unsigned) override {
        errors.push_back(stringId);
        return IDOK;
    }
    void CommandDone(int) override {}
    void CommandFinished(const CommandReport& report) override { reports.push_back(report); }
    std::vector<int> errors;
    std::vector<CommandReport> reports;
};

struct Result {
    bool completed = false;    // every command reported done
    bool falseSuccess = false; // a command reported done that the controller did not take
    bool safeFailure = false;  // a command reported failed that the controller did take
    bool simProblems = false;  // the simulator saw a malformed transmission
    std::string what;
};

Result RunOnce(const Params& p, const std::filesystem::path& folder) {
    std::vector<std::uint16_t> codes(2 * static_cast<std::size_t>(p.elements));
    std::iota(codes.begin(), codes.end(), std::uint16_t{0x8000});
    Sim sim;
    sim.SetPace(p.baud);
    Sim::Faults faults;
    faults.silentAfterSteps = p.silentAfter;
    faults.replyDelays = p.delays;
    sim.SetFaults(faults);
    sim.Start();
    const std::string ini = (folder / ("run" + std::to_string(p.run) + ".ini")).string();
    Host host;
    {
        SettingsStore settings(ini);
        settings.WriteString(settings::kSection, settings::kComDevice, sim.SlavePath());
        settings.WriteInt(settings::kSection, settings::kComSpeed, p.speedIndex);
        settings.WriteInt(settings::kSection, settings::kRxTimeout, p.timeoutMs);
        CLC_Protocol link(settings, host);
        link.OnControllerCommand(CMD_CONNECT, nullptr);
        if (link.IsConnected()) {
            auto transfer = std::make_unique<ProfileTransfer>();
            transfer->codes = codes;
            transfer->elements = static_cast<std::uint16_t>(p.elements);
            link.OnControllerCommand(CMD_SEND_PROFILE, std::move(transfer));
            link.OnControllerCommand(CMD_DISCONNECT, nullptr);
        }
    }
    sim.Stop();
    std::filesystem::remove(ini);

    const auto commands = sim.Commands();
    const auto took = [&](char letter) {
        return std::any_of(commands.begin(), commands.end(), [&](const Sim::Command& c) {
            return c.letter == letter && c.complete && (letter != 'S' || c.codes == codes);
        });
    };
    Result result;
    result.simProblems = !sim.Problems().empty();
    result.completed = host.reports.size() == 3;
    for (const CommandReport& report : host.reports) {
        const bool taken = report.code == CMD_CONNECT        ? took('U') && took('Q')
                           : report.code == CMD_SEND_PROFILE ? took('S')
                                                             : took('Z');
        const char* name = report.code == CMD_CONNECT        ? "connect"
                           : report.code == CMD_SEND_PROFILE ? "send"
                                                             : "disconnect";
        result.completed = result.completed && report.ok;
        if (report.ok && !taken) {
            result.falseSuccess = true;
            result.what += std::string(" ") + name + " reported done, not taken;";
        }
        if (!report.ok && taken) {
            result.safeFailure = true;
        }
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    const unsigned long long seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const int parallel = argc > 3 ? std::max(1, std::atoi(argv[3])) : 6;

    std::mt19937_64 random(seed);
    std::vector<Params> params;
    for (int run = 1; run <= runs; ++run) {
        params.push_back(Draw(random, run));
    }
    const auto folder =
        std::filesystem::temp_directory_path() / ("tessaron-soak-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);

    std::vector<Result> results(params.size());
    std::atomic<std::size_t> next{0};
    std::atomic<int> finished{0};
    std::mutex print;
    const auto start = Clock::now();
    {
        std::vector<std::jthread> workers;
        for (int w = 0; w < parallel; ++w) {
            workers.emplace_back([&] {
                for (std::size_t i; (i = next++) < params.size();) {
                    results[i] = RunOnce(params[i], folder);
                    const int done = ++finished;
                    std::lock_guard lock(print);
                    if (results[i].falseSuccess) {
                        std::printf("FALSE SUCCESS %s:%s\n", params[i].Describe().c_str(),
                                    results[i].what.c_str());
                    }
                    if (done % 50 == 0) {
                        std::printf("%d runs, %.0f s\n", done,
                                    std::chrono::duration<double>(Clock::now() - start).count());
                    }
                    std::fflush(stdout);
                }
            });
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::filesystem::remove_all(folder);

    int completed = 0, falseSuccesses = 0, safeFailures = 0, problems = 0;
    for (const Result& r : results) {
        completed += r.completed;
        falseSuccesses += r.falseSuccess;
        safeFailures += r.safeFailure;
        problems += r.simProblems;
    }
    const int retried = static_cast<int>(results.size()) - completed;
    std::printf("late-reply soak, seed %llu: %d runs in %.0f s (%d side by side): %d completed, "
                "%d failed with a message (%d of them for a command the controller had taken), "
                "%d malformed transmissions seen; false successes: %d\n",
                seed, runs, seconds, parallel, completed, retried, safeFailures, problems,
                falseSuccesses);
    return falseSuccesses == 0 ? 0 : 1;
}
