// Late replies against the paced simulator: for every step of a connect, a two-block send and
// a disconnect, the controller's reply to that step comes after its time-out, so the step goes
// again, and the replies arrive while later transmissions are on their way. Whatever happens,
// the program reports a command done only when the controller took every step of it: a run
// either completes with the simulator's record complete, or fails with the message of the
// command whose step really failed.
#include "ControllerSimulator.h"
#include "comm/LC_Protocol.h"
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "support/TempDir.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <numeric>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Sim = ControllerSimulator;
using settings::kSection;

constexpr int kBaud = 115200;
constexpr int kTimeoutMs = 100;

// The steps of connect, send (257 elements: two data blocks) and disconnect, in order, with
// the bytes each transmission carries.
struct StepInfo {
    const char* name;
    int bytes;
};
// clang-format off
constexpr StepInfo kSteps[] = {
    {"connect ENQ", 1},     {"connect command block", 133}, {"connect EOT", 1},
    {"params ENQ", 1},      {"params command block", 133},  {"params EOT", 1},
    {"profile ENQ", 1},     {"profile command block", 133}, {"data block 1", 1029},
    {"data block 2", 1029}, {"profile EOT", 1},             {"disconnect ENQ", 1},
    {"disconnect command block", 133}, {"disconnect EOT", 1},
};
// clang-format on
constexpr int kStepCount = static_cast<int>(std::size(kSteps));

// How late the reply to one step comes.
enum class Late {
    Retried,     // during the step's second transmission, whose own reply follows
    ThenSilent,  // the same, and the controller answers nothing after the second reply: that
                 // reply arrives while the next step waits for its own
    RetrySilent, // the same, but the second transmission is not answered either
    TooLate,     // after the step's third transmission has timed out
};

struct Row {
    int step; // 1-based, in kSteps
    Late late;
};

// The wire time of a step's transmission, in milliseconds.
double WireMs(int step) {
    return kSteps[step - 1].bytes * 10.0 * 1000.0 / kBaud;
}

// The delay beyond the reply's due time: the step's attempts are kTimeoutMs plus a wire time
// apart, so half a time-out into the second attempt's wait, or half a time-out after the
// third attempt's wait has ended.
int DelayMs(const Row& row) {
    const double w = WireMs(row.step);
    return static_cast<int>(row.late == Late::TooLate ? 3.5 * kTimeoutMs + 2 * w
                                                      : 1.5 * kTimeoutMs + 0.5 * w);
}

// Which of the four protocol commands a step belongs to: 0 connect, 1 params, 2 profile,
// 3 disconnect.
int CommandOf(int step) {
    return step <= 3 ? 0 : step <= 6 ? 1 : step <= 11 ? 2 : 3;
}

struct Expected {
    std::vector<int> errors; // the messages shown, in order
    int failedStep = 0;      // the first step not acknowledged (0: none)
};

Expected Expect(const Row& row) {
    if (row.late == Late::Retried) {
        return {}; // the late reply acknowledges the step; everything goes through
    }
    // Too late: the step itself fails. Otherwise the step is acknowledged by its late reply,
    // and the next step, which nobody answers, fails.
    const int failed = row.late == Late::TooLate ? row.step : row.step + 1;
    if (failed > kStepCount) {
        return {};
    }
    switch (CommandOf(failed)) {
    case 0:
        return {{IDS_CONNECT_FAILED}, failed};
    case 1:
        return {{IDS_LOAD_PARAMS_FAILED}, failed};
    case 2: // the disconnect after it is answered only when the controller is not silent
        return {row.late == Late::TooLate
                    ? std::vector<int>{IDS_SEND_FAILED}
                    : std::vector<int>{IDS_SEND_FAILED, IDS_DISCONNECT_FAILED},
                failed};
    default:
        return {{IDS_DISCONNECT_FAILED}, failed};
    }
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

struct Outcome {
    std::vector<int> errors;
    std::vector<CommandReport> reports;
    std::vector<Sim::Command> commands;
    std::vector<std::string> problems;
};

// Connect, send and disconnect as the command line tool does, against a simulator paced like
// the line whose reply to `row.step` comes late.
Outcome RunFlow(const Row& row, const std::vector<std::uint16_t>& codes, const std::string& ini) {
    Sim sim;
    sim.SetPace(kBaud);
    Sim::Faults faults;
    faults.replyDelays = {{row.step, DelayMs(row)}};
    // The late step's two transmissions are the simulator's steps row.step and row.step + 1.
    if (row.late == Late::ThenSilent) {
        faults.silentAfterSteps = row.step + 1;
    } else if (row.late == Late::RetrySilent) {
        faults.silentAfterSteps = row.step;
    }
    sim.SetFaults(faults);
    sim.Start();
    SettingsStore settings(ini);
    settings.WriteString(kSection, settings::kComDevice, sim.SlavePath());
    settings.WriteInt(kSection, settings::kComSpeed, 9); // 115200 baud
    settings.WriteInt(kSection, settings::kRxTimeout, kTimeoutMs);
    Host host;
    {
        CLC_Protocol link(settings, host);
        link.OnControllerCommand(CMD_CONNECT, nullptr);
        if (link.IsConnected()) {
            auto transfer = std::make_unique<ProfileTransfer>();
            transfer->codes = codes;
            transfer->elements = static_cast<std::uint16_t>(codes.size() / 2);
            link.OnControllerCommand(CMD_SEND_PROFILE, std::move(transfer));
            link.OnControllerCommand(CMD_DISCONNECT, nullptr);
        }
    }
    sim.Stop();
    return {host.errors, host.reports, sim.Commands(), sim.Problems()};
}

// The controller took a command of this letter completely (and a profile with these codes).
bool Took(const Outcome& outcome, char letter, const std::vector<std::uint16_t>& codes) {
    return std::any_of(outcome.commands.begin(), outcome.commands.end(), [&](const auto& c) {
        return c.letter == letter && c.complete && (letter != 'S' || c.codes == codes);
    });
}

// The steps of all the run's commands, in order.
std::vector<StepReport> StepsOf(const Outcome& outcome) {
    std::vector<StepReport> steps;
    for (const CommandReport& report : outcome.reports) {
        steps.insert(steps.end(), report.steps.begin(), report.steps.end());
    }
    return steps;
}

// What must hold of every run, however its timing went: what was reported done, the
// controller took; a failed command shows its message and has a step that was not
// acknowledged.
void CheckSound(const Outcome& outcome, const std::vector<std::uint16_t>& codes) {
    EXPECT_TRUE(outcome.problems.empty());
    std::vector<int> messages;
    for (const CommandReport& report : outcome.reports) {
        const bool failedStep = std::any_of(report.steps.begin(), report.steps.end(),
                                            [](const StepReport& s) { return !s.acknowledged; });
        if (!report.ok) {
            EXPECT_TRUE(failedStep) << report.code;
            messages.push_back(report.errorId);
            continue;
        }
        EXPECT_FALSE(failedStep) << report.code;
        switch (report.code) {
        case CMD_CONNECT:
            EXPECT_TRUE(Took(outcome, 'U', codes) && Took(outcome, 'Q', codes));
            break;
        case CMD_SEND_PROFILE:
            EXPECT_TRUE(Took(outcome, 'S', codes));
            break;
        default:
            EXPECT_TRUE(Took(outcome, 'Z', codes));
            break;
        }
    }
    EXPECT_EQ(messages, outcome.errors);
}

// The run went as designed: the messages of the command whose step failed and which step that
// was; the late step went twice and was acknowledged, or three times in vain; every step
// before it went once.
bool AsDesigned(const Row& row, const Outcome& outcome, const std::vector<std::uint16_t>& codes) {
    const Expected expected = Expect(row);
    const std::vector<StepReport> steps = StepsOf(outcome);
    const auto failed = std::find_if(steps.begin(), steps.end(),
                                     [](const StepReport& s) { return !s.acknowledged; });
    bool ok = outcome.errors == expected.errors;
    if (expected.failedStep == 0) {
        ok = ok && failed == steps.end() && Took(outcome, 'U', codes) &&
             Took(outcome, 'Q', codes) && Took(outcome, 'S', codes) && Took(outcome, 'Z', codes);
    } else {
        ok = ok && failed != steps.end() &&
             *failed == StepReport{kSteps[expected.failedStep - 1].name, 3, false};
    }
    if (steps.size() < static_cast<std::size_t>(row.step)) {
        return false;
    }
    for (int s = 1; s < row.step; ++s) {
        ok = ok && steps[s - 1] == StepReport{kSteps[s - 1].name, 1, true};
    }
    return ok && steps[row.step - 1] == StepReport{kSteps[row.step - 1].name,
                                                   row.late == Late::TooLate ? 3 : 2,
                                                   row.late != Late::TooLate};
}

TEST(LateReplies, NeverCreditAnotherStepAndFailWhereTheStepFailed) {
    std::vector<std::uint16_t> codes(514);
    std::iota(codes.begin(), codes.end(), std::uint16_t{0x8000});
    std::vector<Row> rows;
    for (const Late late : {Late::Retried, Late::ThenSilent, Late::RetrySilent, Late::TooLate}) {
        for (int step = 1; step <= kStepCount; ++step) {
            rows.push_back({step, late});
        }
    }
    // The runs wait most of their time, so a few go side by side. On a machine so busy that a
    // run's timing slips (an earlier step not answered within its time-out shifts which
    // transmission is late), the run is repeated, up to three runs; every one of them must be
    // sound all the same.
    TempDir dir;
    std::vector<std::vector<Outcome>> outcomes(rows.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::jthread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            for (std::size_t i; (i = next++) < rows.size();) {
                do {
                    const std::string ini = dir.File("run" + std::to_string(i) + "-" +
                                                     std::to_string(outcomes[i].size()) + ".ini");
                    outcomes[i].push_back(RunFlow(rows[i], codes, ini));
                } while (outcomes[i].size() < 3 && !AsDesigned(rows[i], outcomes[i].back(), codes));
            }
        });
    }
    workers.clear();

    const char* names[] = {"retried", "then silent", "retry unanswered", "too late"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(std::string(names[static_cast<int>(row.late)]) + ": step " +
                     std::to_string(row.step) + " (" + kSteps[row.step - 1].name + ")");
        for (const Outcome& outcome : outcomes[i]) {
            CheckSound(outcome, codes);
        }
        const Outcome& outcome = outcomes[i].back();
        std::string steps;
        for (const StepReport& step : StepsOf(outcome)) {
            steps += "\n  " + step.name + ": " + std::to_string(step.transmissions) +
                     (step.acknowledged ? ", acknowledged" : ", not acknowledged");
        }
        EXPECT_TRUE(AsDesigned(row, outcome, codes)) << "steps:" << steps;
        EXPECT_EQ(outcome.errors, Expect(row).errors);
    }
}

} // namespace
