#include "calibration/Measurement.h"

#include "framework/NumberText.h"
#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace calibration {

namespace {

constexpr double kPeriod = 2.0 * std::numbers::pi;

// The difference a - b brought into (-PI, PI].
double WrappedDifference(double a, double b) {
    return std::remainder(a - b, kPeriod);
}

std::string Capitalised(std::string text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

} // namespace

std::string PointName(const MeasuredPoint& point, std::size_t index) {
    return point.line > 0 ? "line " + std::to_string(point.line)
                          : "point " + std::to_string(index + 1);
}

Result<PreparedPoints> Prepare(const Measurement& m, double duplicateTolerance) {
    if (m.digits < limits::kMinDacDigits || m.digits > limits::kMaxDacDigits) {
        return Refuse("The measurement is for " + std::to_string(m.digits) +
                      " DAC digits; the program works with 10 to 16.");
    }
    const int levelCount = static_cast<int>(daccodes::HalfRange(m.digits));
    const double perUnit = RadiansPer(m.unit);
    for (std::size_t i = 0; i < m.points.size(); ++i) {
        const MeasuredPoint& p = m.points[i];
        if (p.level < 0 || p.level >= levelCount) {
            return Refuse(Capitalised(PointName(p, i)) + ": level " + std::to_string(p.level) +
                          " is outside the DAC range 0 to " + std::to_string(levelCount - 1) +
                          " of " + std::to_string(m.digits) + " digits.");
        }
        if (!std::isfinite(p.phase) || !std::isfinite(p.phase * perUnit)) {
            return Refuse(Capitalised(PointName(p, i)) + ": the phase is not a finite number.");
        }
    }

    // Points in level order; the original order decides among equal levels, so messages name
    // the earlier line first.
    std::vector<std::size_t> order(m.points.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return m.points[a].level < m.points[b].level;
    });

    PreparedPoints out;
    for (std::size_t begin = 0; begin < order.size();) {
        std::size_t end = begin + 1;
        while (end < order.size() && m.points[order[end]].level == m.points[order[begin]].level) {
            ++end;
        }
        // Repeated measurements of one level: every pair must agree within the tolerance;
        // their mean (taken around the first, modulo a period when wrapped) is used.
        const double first = m.points[order[begin]].phase * perUnit;
        double sum = 0.0;
        for (std::size_t a = begin; a < end; ++a) {
            const double pa = m.points[order[a]].phase * perUnit;
            sum += m.wrapped ? WrappedDifference(pa, first) : pa - first;
            for (std::size_t b = begin; b < a; ++b) {
                const double pb = m.points[order[b]].phase * perUnit;
                const double apart = std::fabs(m.wrapped ? WrappedDifference(pa, pb) : pa - pb);
                if (apart > duplicateTolerance) {
                    const MeasuredPoint& earlier = m.points[order[b]];
                    const MeasuredPoint& later = m.points[order[a]];
                    return Refuse(Capitalised(PointName(earlier, order[b])) + " and " +
                                  PointName(later, order[a]) + " both measure level " +
                                  std::to_string(later.level) + ", with phases " +
                                  FormatPhase(apart, m.unit) + " apart (at most " +
                                  FormatPhase(duplicateTolerance, m.unit) + " allowed).");
                }
            }
        }
        out.levels.push_back(m.points[order[begin]].level);
        out.phases.push_back(first + sum / static_cast<double>(end - begin));
        begin = end;
    }

    if (out.levels.size() < static_cast<std::size_t>(kMinLevels)) {
        return Refuse("Only " + std::to_string(out.levels.size()) +
                      " different levels were measured; a response curve needs at least " +
                      std::to_string(kMinLevels) + ".");
    }
    if (m.wrapped) {
        for (std::size_t i = 1; i < out.phases.size(); ++i) {
            out.phases[i] = out.phases[i - 1] + WrappedDifference(out.phases[i], out.phases[i - 1]);
        }
    }
    return out;
}

} // namespace calibration
