// The sweep against a fake link and the phase sources: the plan's checks, the patterns, stops
// that keep what was measured, and the lines an instrument script appends to its file.
#include "calibration/Sweep.h"

#include "calibration/PhaseSources.h"
#include "framework/Document.h"
#include "framework/SettingsStore.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace calibration;
using namespace std::chrono_literals;

namespace {

// Loads every pattern at once, or refuses from pattern `failAt` on; keeps what it loaded.
class FakeLink : public PatternLink {
public:
    Result<Done> Load(const SweepPattern& pattern, CancelToken&) override {
        if (static_cast<int>(loaded.size()) == failAt) {
            return Refuse("Can't connect to controller");
        }
        loaded.push_back(pattern.level);
        return Done{};
    }
    std::vector<int> loaded;
    int failAt = -1;
};

SweepPlan Plan(std::vector<int> levels) {
    SweepPlan plan;
    plan.digits = 12;
    plan.elements = 16;
    plan.section = 4;
    plan.referenceLevel = 5;
    plan.levels = std::move(levels);
    return plan;
}

class SweepTest : public ::testing::Test {
protected:
    std::vector<SweepPattern> Patterns(const SweepPlan& plan) {
        auto made = MakePatterns(context, plan);
        EXPECT_TRUE(made.Ok()) << made.Message();
        return made ? *made : std::vector<SweepPattern>{};
    }
    TempDir dir;
    SettingsStore settings{dir.File("t.ini")};
    FakePrompter prompter;
    AppContext context{settings, prompter};
};

TEST_F(SweepTest, PlansOutsideTheControllersRangeAreRefused) {
    // what is changed in a sound plan, what the message says
    const std::pair<std::function<void(SweepPlan&)>, std::string> cases[] = {
        {[](SweepPlan& p) { p.digits = 17; }, "10 to 16 digits"},
        {[](SweepPlan& p) { p.elements = 0; }, "1 to 512 elements"},
        {[](SweepPlan& p) { p.section = 9; }, "no room for the reference"},
        {[](SweepPlan& p) { p.referenceLevel = 2048; },
         "reference level 2048 is outside the DAC range 0 to 2047"},
        {[](SweepPlan& p) {
             p.levels = {0, -1};
         },
         "level -1 is outside"},
        {[](SweepPlan& p) { p.levels.clear(); }, "no level"},
    };
    for (const auto& [change, message] : cases) {
        SweepPlan plan = Plan({1});
        change(plan);
        const auto made = MakePatterns(context, plan);
        ASSERT_FALSE(made.Ok());
        EXPECT_NE(made.Message().find(message), std::string::npos) << made.Message();
    }
    EXPECT_EQ(SpreadLevels(0, 2047, 4), (std::vector<int>{0, 682, 1365, 2047}));
    EXPECT_EQ(SpreadLevels(7, 100, 1), std::vector<int>{7});
}

// Sections of the test level and the reference alternate, the first on the test level; the
// second half mirrors the first, as a volt-phase table's Send arranges it.
TEST_F(SweepTest, PatternsAlternateTheTestAndReferenceLevels) {
    const auto patterns = Patterns(Plan({100, 2047}));
    ASSERT_EQ(patterns.size(), 2u);
    constexpr int half = 2048;
    for (const SweepPattern& p : patterns) {
        ASSERT_EQ(p.elements, 16);
        ASSERT_EQ(p.codes.size(), 32u);
        for (int i = 0; i < 16; ++i) {
            const int level = (i / 4) % 2 == 0 ? p.level : 5;
            EXPECT_EQ(p.codes[i], half + level) << i;
            EXPECT_EQ(p.codes[16 + i], half - 1 - level) << i;
        }
    }
}

// However a sweep ends, the readings taken until then are in the outcome.
TEST_F(SweepTest, EveryStopKeepsWhatWasMeasured) {
    const SweepPlan plan = Plan({10, 20, 30, 40});
    const auto patterns = Patterns(plan);
    struct Case {
        const char* name;
        int failAt;     // the link refuses from this pattern on
        int phases;     // phases provided before the input ends (-1: never ends)
        bool cancelAt2; // cancel once two readings are taken
        SweepOutcome::End end;
        std::size_t kept;
    };
    const Case cases[] = {
        {"complete", -1, 4, false, SweepOutcome::End::Complete, 4},
        {"link fails", 2, 4, false, SweepOutcome::End::Failed, 2},
        {"input ends", -1, 3, false, SweepOutcome::End::Ended, 3},
        {"cancelled", -1, -1, true, SweepOutcome::End::Cancelled, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeLink link;
        link.failAt = c.failAt;
        QueuedPhaseSource source;
        CancelToken cancel;
        // Phases for other levels than the one awaited are dropped, not taken.
        source.Provide(9.0, 99);
        for (int i = 0; i < std::max(c.phases, 2); ++i) {
            source.Provide(0.5 * i, plan.levels[i]);
        }
        if (c.phases >= 0) {
            source.End();
        }
        struct Canceller : SweepObserver {
            CancelToken* token = nullptr;
            int taken = 0;
            void Measured(const MeasuredPoint&) override {
                if (token != nullptr && ++taken == 2) {
                    // From another thread, as the window's Cancel button does.
                    std::thread([t = token] { t->Cancel(); }).join();
                }
            }
        } observer;
        observer.token = c.cancelAt2 ? &cancel : nullptr;
        const auto outcome = RunSweep(plan, patterns, link, source, cancel, &observer);
        EXPECT_EQ(outcome.end, c.end);
        ASSERT_EQ(outcome.measurement.points.size(), c.kept);
        for (std::size_t i = 0; i < c.kept; ++i) {
            EXPECT_EQ(outcome.measurement.points[i].level, plan.levels[i]);
            EXPECT_EQ(outcome.measurement.points[i].phase, 0.5 * i);
        }
        EXPECT_EQ(outcome.measurement.digits, 12);
        if (c.end == SweepOutcome::End::Failed) {
            EXPECT_EQ(outcome.message, "Can't connect to controller");
        }
    }
}

// A source waiting for a phase that never comes is released by a cancel from another thread.
TEST_F(SweepTest, CancelWakesAWaitingSource) {
    QueuedPhaseSource queued;
    TempDir::Write(dir.File("p.csv"), "");
    WatchedFilePhaseSource watched(dir.File("p.csv"), 60s);
    for (PhaseSource* source : std::initializer_list<PhaseSource*>{&queued, &watched}) {
        CancelToken cancel;
        std::thread canceller([&cancel] {
            std::this_thread::yield();
            cancel.Cancel();
        });
        EXPECT_EQ(source->Next(1, cancel).kind, PhaseAnswer::Kind::Cancelled);
        canceller.join();
    }
}

TEST_F(SweepTest, PhaseLinesOfAnInstrumentScript) {
    // line, level awaited, phase read (nullopt: none), message (empty: none)
    const std::tuple<std::string, int, std::optional<double>, std::string> cases[] = {
        {"1.25", 7, 1.25, ""},
        {"7,1.5", 7, 1.5, ""},
        {"  7 , -0.5 ", 7, -0.5, ""},
        {"# comment", 7, std::nullopt, ""},
        {"", 7, std::nullopt, ""},
        {"level,phase[rad]", 7, std::nullopt, ""},
        {"level,phase[waves]", 7, std::nullopt, "gives its phases in waves"},
        {"8,1.5", 7, std::nullopt, "the reading is for level 8"},
        {"abc", 7, std::nullopt, "is not a phase"},
        {"7,x", 7, std::nullopt, "Line 3:"},
    };
    for (const auto& [line, level, phase, message] : cases) {
        SCOPED_TRACE(line);
        std::optional<double> read;
        const auto error = ReadPhaseLine(line, 3, level, PhaseUnit::Radians, read);
        EXPECT_EQ(read, phase);
        if (message.empty()) {
            EXPECT_FALSE(error) << *error;
        } else {
            ASSERT_TRUE(error);
            EXPECT_NE(error->find(message), std::string::npos) << *error;
        }
    }
}

// Only complete lines written after the source was made count; a file cut short, a bad line
// and a deadline stop the sweep with a message naming the file.
TEST_F(SweepTest, WatchedFileTakesOnlyNewCompleteLines) {
    const std::string path = dir.File("p.csv");
    TempDir::Write(path, "level,phase\n1,9.0\n");
    CancelToken cancel;
    WatchedFilePhaseSource source(path, 200ms, PhaseUnit::Radians, 5ms);
    EXPECT_EQ(source.Next(2, cancel).kind, PhaseAnswer::Kind::Refused); // nothing new
    TempDir::Write(path, "level,phase\n1,9.0\n2,0.75\n3,1.");
    auto answer = source.Next(2, cancel);
    ASSERT_EQ(answer.kind, PhaseAnswer::Kind::Read);
    EXPECT_EQ(std::tie(answer.phase, answer.line), std::make_tuple(0.75, 3));
    answer = source.Next(3, cancel); // the half-written line is not taken
    EXPECT_EQ(answer.kind, PhaseAnswer::Kind::Refused);
    EXPECT_NE(answer.message.find("No phase for level 3 arrived in " + path), std::string::npos);
    TempDir::Write(path, "level,phase\n1,9.0\n2,0.75\n3,1.5\n4,oops\n");
    answer = source.Next(3, cancel);
    EXPECT_EQ(std::tie(answer.kind, answer.phase), std::make_tuple(PhaseAnswer::Kind::Read, 1.5));
    answer = source.Next(4, cancel);
    EXPECT_EQ(answer.kind, PhaseAnswer::Kind::Refused);
    EXPECT_EQ(answer.message.rfind(path + ": Line 5:", 0), 0u) << answer.message;
    TempDir::Write(path, "1,9.0\n");
    answer = source.Next(5, cancel);
    EXPECT_NE(answer.message.find("became shorter"), std::string::npos) << answer.message;
}

} // namespace
