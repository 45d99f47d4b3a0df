// A measured liquid-crystal response: the phase step that the two-level pattern shows on the
// interferometer, for a number of DAC levels of one sweep.
#pragma once

#include "calibration/PhaseUnit.h"
#include "calibration/Result.h"

#include <string>
#include <vector>

namespace calibration {

// Fewest different levels a response curve is fitted to.
inline constexpr int kMinLevels = 4;
// Repeated measurements of one level whose phases lie further apart than this (radians)
// contradict each other; closer ones are averaged.
inline constexpr double kDuplicateTolerance = 0.1;

struct MeasuredPoint {
    int level = 0;    // DAC level, 0 to 2^(digits-1) - 1
    double phase = 0; // in the measurement's unit
    int line = 0;     // line of the file it was read from; 0 when it came from elsewhere
};

struct Measurement {
    std::vector<MeasuredPoint> points;
    int digits = 16;                     // DAC digits the levels belong to
    PhaseUnit unit = PhaseUnit::Radians; // unit of the phases
    bool wrapped = false;                // phases were folded into one period
};

// The measurement ready for fitting: one phase per level, levels ascending, phases in
// radians and, when they were wrapped, unwrapped along increasing level (each step between
// neighbouring levels taken as the one within half a period).
struct PreparedPoints {
    std::vector<int> levels;
    std::vector<double> phases;
};

// Checks and prepares a measurement. Refused: digits outside 10 to 16, a level outside the
// DAC range, a phase that is not a finite number, repeated levels whose phases differ by more
// than `duplicateTolerance` radians (modulo a period when wrapped), fewer than kMinLevels
// different levels. Messages name the file's lines (or the points' positions).
Result<PreparedPoints> Prepare(const Measurement& measurement,
                               double duplicateTolerance = kDuplicateTolerance);

// "line 12", or "point 3" for a point that did not come from a file (`index` from 0).
std::string PointName(const MeasuredPoint& point, std::size_t index);

} // namespace calibration
