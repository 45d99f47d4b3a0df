#include "calibration/Sweep.h"

#include "framework/Document.h"
#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <cmath>

namespace calibration {

std::vector<int> SpreadLevels(int first, int last, int count) {
    std::vector<int> levels;
    for (int i = 0; i < count; ++i) {
        const double step = count > 1 ? (last - first) / (count - 1.0) : 0.0;
        levels.push_back(first + static_cast<int>(std::lround(step * i)));
    }
    return levels;
}

Result<Done> CheckPlan(const SweepPlan& plan) {
    if (plan.digits < limits::kMinDacDigits || plan.digits > limits::kMaxDacDigits) {
        return Refuse("The DAC has 10 to 16 digits, not " + std::to_string(plan.digits) + ".");
    }
    if (plan.elements < limits::kMinElements || plan.elements > limits::kMaxElements) {
        return Refuse("The pattern has 1 to 512 elements, not " + std::to_string(plan.elements) +
                      ".");
    }
    if (plan.section < 1 || 2 * plan.section > plan.elements) {
        return Refuse("A section of " + std::to_string(plan.section) + " elements leaves no room " +
                      "for the reference level: with " + std::to_string(plan.elements) +
                      " elements it takes 1 to " + std::to_string(plan.elements / 2) + ".");
    }
    const int top = static_cast<int>(daccodes::HalfRange(plan.digits)) - 1;
    const auto outside = [&](int level, const std::string& what) {
        return Refuse("The " + what + " " + std::to_string(level) +
                      " is outside the DAC range 0 to " + std::to_string(top) + " of " +
                      std::to_string(plan.digits) + " digits.");
    };
    if (plan.referenceLevel < 0 || plan.referenceLevel > top) {
        return outside(plan.referenceLevel, "reference level");
    }
    if (plan.levels.empty()) {
        return Refuse("The sweep has no level to measure.");
    }
    for (const int level : plan.levels) {
        if (level < 0 || level > top) {
            return outside(level, "level");
        }
    }
    return Done{};
}

Result<std::vector<SweepPattern>> MakePatterns(AppContext& context, const SweepPlan& plan) {
    if (const auto checked = CheckPlan(plan); !checked) {
        return Refuse(checked.Message());
    }
    CLC_VoltDoc doc(context);
    doc.OnNewDocument();
    std::vector<SweepPattern> patterns;
    for (const int level : plan.levels) {
        // The form's fields, as "&Apply" reads them: level 1 is the test level.
        const VoltFormTexts texts{std::to_string(plan.elements),
                                  std::to_string(plan.digits),
                                  std::to_string(plan.section),
                                  std::to_string(level),
                                  std::to_string(plan.referenceLevel),
                                  "",
                                  "0"};
        if (doc.ApplyParameters(texts) != CLC_VoltDoc::ApplyResult::Applied) {
            return Refuse("The pattern for level " + std::to_string(level) + " could not be made.");
        }
        doc.BuildOutputCodes();
        patterns.push_back(
            {level, doc.Codes(), static_cast<std::uint16_t>(doc.UsableElementCount())});
    }
    return patterns;
}

void CancelToken::Cancel() {
    // The wakers run under the lock, so none runs after its Waker is gone.
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_changed.notify_all();
    for (const auto& wake : m_wakers) {
        wake();
    }
}

bool CancelToken::Cancelled() const {
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

bool CancelToken::WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, duration, [this] { return m_cancelled; });
}

CancelToken::Waker::Waker(CancelToken& token, std::function<void()> wake) : m_token(token) {
    std::lock_guard lock(token.m_mutex);
    m_entry = token.m_wakers.insert(token.m_wakers.end(), std::move(wake));
    if (token.m_cancelled) {
        (*m_entry)();
    }
}

CancelToken::Waker::~Waker() {
    std::lock_guard lock(m_token.m_mutex);
    m_token.m_wakers.erase(m_entry);
}

SweepOutcome RunSweep(const SweepPlan& plan, const std::vector<SweepPattern>& patterns,
                      PatternLink& link, PhaseSource& source, CancelToken& cancel,
                      SweepObserver* observer) {
    SweepOutcome outcome;
    outcome.measurement.digits = plan.digits;
    outcome.measurement.unit = plan.unit;
    outcome.measurement.wrapped = plan.wrapped;
    const int count = static_cast<int>(patterns.size());
    const auto stop = [&](SweepOutcome::End end, std::string message) {
        outcome.end = end;
        outcome.message = std::move(message);
        return outcome;
    };
    for (int index = 0; index < count; ++index) {
        const SweepPattern& pattern = patterns[index];
        if (cancel.Cancelled()) {
            return stop(SweepOutcome::End::Cancelled, {});
        }
        if (observer != nullptr) {
            observer->Loading(index, count, pattern.level);
        }
        const auto loaded = link.Load(pattern, cancel);
        if (cancel.Cancelled()) {
            return stop(SweepOutcome::End::Cancelled, {});
        }
        if (!loaded) {
            return stop(SweepOutcome::End::Failed, loaded.Message());
        }
        if (observer != nullptr) {
            observer->Waiting(index, count, pattern.level);
        }
        const PhaseAnswer answer = source.Next(pattern.level, cancel);
        switch (answer.kind) {
        case PhaseAnswer::Kind::Read: {
            const MeasuredPoint point{pattern.level, answer.phase, answer.line};
            outcome.measurement.points.push_back(point);
            if (observer != nullptr) {
                observer->Measured(point);
            }
            break;
        }
        case PhaseAnswer::Kind::Cancelled:
            return stop(SweepOutcome::End::Cancelled, {});
        case PhaseAnswer::Kind::Ended:
            return stop(SweepOutcome::End::Ended, {});
        case PhaseAnswer::Kind::Refused:
            return stop(SweepOutcome::End::Failed, answer.message);
        }
    }
    return outcome;
}

} // namespace calibration
