// A calibration sweep: for each test level, the two-level pattern of a volt-phase table (the
// test level in the first section, the reference level in the next, alternating) is loaded
// into the controller, then the phase step it shows on the interferometer is read. The
// readings make the measurement that the response curve is fitted to.
//
// The sweep talks to the controller and to where the phases come from through two small
// interfaces, so that the window (on a thread of its own, loading through the main frame's
// worker) and the command line tool (one call after the other) drive the same code. A
// CancelToken stops it at any point; what was measured until then is kept.
#pragma once

#include "calibration/Measurement.h"
#include "calibration/PhaseUnit.h"
#include "calibration/Result.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct AppContext;

namespace calibration {

// What the sweep measures and with which pattern.
struct SweepPlan {
    int digits = 16;                     // DAC digits of the levels
    int elements = 256;                  // elements of the pattern
    int section = 16;                    // elements in a row on one level
    int referenceLevel = 0;              // the level of the second section
    std::vector<int> levels;             // the test levels, in the order they are measured
    PhaseUnit unit = PhaseUnit::Radians; // of the phases read
    bool wrapped = false;                // the instrument folds the phases into one period
};

// `count` levels spread evenly from `first` to `last` (both included; one level: `first`).
std::vector<int> SpreadLevels(int first, int last, int count);

// Refused: digits outside 10 to 16, elements outside 1 to 512, a section that leaves no room
// for the reference level (more than half the elements), a reference or test level outside
// the DAC range, no level to measure.
Result<Done> CheckPlan(const SweepPlan& plan);

// One pattern as a Send of its volt-phase table transmits it.
struct SweepPattern {
    int level = 0;
    std::vector<std::uint16_t> codes; // two per element
    std::uint16_t elements = 0;
};

// The pattern of every test level, in order, made by a volt-phase document's own "&Apply"
// and Send arrangement. The plan is checked first.
Result<std::vector<SweepPattern>> MakePatterns(AppContext& context, const SweepPlan& plan);

// Cancels a sweep from any thread. Whoever waits on the sweep's behalf registers a waker,
// which Cancel calls, so no wait outlasts a cancel.
class CancelToken {
public:
    void Cancel();
    bool Cancelled() const;
    // Waits until cancelled or `duration` has passed; true when cancelled.
    bool WaitFor(std::chrono::milliseconds duration);

    // Calls `wake` when Cancel is called while the object lives (at once when the token is
    // cancelled already). `wake` runs under the token's lock: it may take locks of its own
    // but must not call the token.
    class Waker {
    public:
        Waker(CancelToken& token, std::function<void()> wake);
        ~Waker();
        Waker(const Waker&) = delete;
        Waker& operator=(const Waker&) = delete;

    private:
        CancelToken& m_token;
        std::list<std::function<void()>>::iterator m_entry;
    };

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_cancelled = false;
    std::list<std::function<void()>> m_wakers;
};

// Loads a pattern into the controller and returns when the controller has taken it.
class PatternLink {
public:
    virtual ~PatternLink() = default;
    // A refusal says why the pattern is not loaded; a cancel may cut the wait short (the
    // answer is then a refusal too; the sweep sees the token).
    virtual Result<Done> Load(const SweepPattern& pattern, CancelToken& cancel) = 0;
};

// The phase read for one level.
struct PhaseAnswer {
    enum class Kind {
        Read,      // `phase` (in the plan's unit), from `line` of a file (0 otherwise)
        Cancelled, // the token was cancelled while waiting
        Ended,     // the source has no more phases (the person ended the input)
        Refused,   // `message` says why there is no phase
    };
    Kind kind = Kind::Refused;
    double phase = 0.0;
    int line = 0;
    std::string message;
};

// Where the phases come from; Next waits for the phase of `level`.
class PhaseSource {
public:
    virtual ~PhaseSource() = default;
    virtual PhaseAnswer Next(int level, CancelToken& cancel) = 0;
};

// What the sweep reports as it goes (on the sweep's thread).
class SweepObserver {
public:
    virtual ~SweepObserver() = default;
    // Pattern `index` (from 0) of `count`, for `level`, is being loaded.
    virtual void Loading(int /*index*/, int /*count*/, int /*level*/) {}
    // It is loaded; the phase is awaited.
    virtual void Waiting(int /*index*/, int /*count*/, int /*level*/) {}
    // A reading was taken.
    virtual void Measured(const MeasuredPoint& /*point*/) {}
};

struct SweepOutcome {
    enum class End {
        Complete,  // every level was measured
        Cancelled, // the token stopped it
        Ended,     // the phase source ended before the last level
        Failed,    // a pattern was not loaded or a phase not read; `message` says why
    };
    End end = End::Complete;
    std::string message;
    // The readings taken, in order; digits, unit and wrapping from the plan.
    Measurement measurement;
};

// Loads each pattern and reads its phase, until the last or a stop. Nothing that was
// measured is lost: the outcome carries every reading taken.
SweepOutcome RunSweep(const SweepPlan& plan, const std::vector<SweepPattern>& patterns,
                      PatternLink& link, PhaseSource& source, CancelToken& cancel,
                      SweepObserver* observer = nullptr);

} // namespace calibration
