// The liquid crystal's response: the phase (radians) it adds at each DAC level, as a smooth
// monotone curve fitted to a measurement, and its inversion into a correction table.
//
// The fit. The curve is a cubic B-spline whose coefficients rise (or fall) step by step,
// each step the exponential of a free parameter, so the curve is monotone by construction.
// The spline is cubic either in the level itself or in the coordinate of a logistic fitted to
// the readings first (a liquid crystal's sigmoid-like response is nearly straight there, so a
// few coefficients follow it closely). Breakpoints sit at quantiles of the measured levels;
// the coordinate and the number of coefficients (4 to 32, at most a third of the levels) are
// chosen by the Bayesian information criterion of unconstrained robust spline fits. The
// monotone coefficients are then fitted by nonlinear least squares, reweighted with Tukey's
// bisquare on a median-absolute-deviation scale, so single bad readings lose their weight
// instead of bending the curve.
// A measurement that scatters too widely around the curve, of which too many readings lie
// off it or any lies a whole period off it (wrapped phases not marked so), or whose phase
// change is lost in its own scatter, is refused.
//
// The zero of the table. Measured phases are relative: only differences matter. The table's
// phase 0 is placed at the end of the measured range where the fitted phase is lowest (the
// first measured level of a rising curve, the last of a falling one), which leaves the whole
// measured stroke to the table. Entry k of a table of S entries is the level whose phase
// above that zero is nearest to k x maximum phase / (S - 1).
//
// Levels outside the measured range are never extrapolated: the curve has no phase there,
// and the table names measured levels only.
#pragma once

#include "calibration/Measurement.h"
#include "calibration/PhaseUnit.h"
#include "calibration/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace calibration {

struct FitOptions {
    // B-spline coefficients of the curve, 4 to 32 (at most one per level); 0 lets the fit
    // choose.
    int coefficients = 0;
    // The largest share of readings that may lie off the curve (weight 0).
    double outlierShare = 0.2;
    // The largest scatter (radians, robust estimate) of the readings around the curve: an
    // interferometer reads a phase step far better, so more means the readings follow no
    // single curve (wrapped phases not marked so, a wrong unit).
    double maxScatter = 0.15;
    // Repeated readings of one level further apart than this (radians) are refused.
    double duplicateTolerance = kDuplicateTolerance;
};

// How well the curve follows the measurement, point by point (levels ascending, phases in
// radians, unwrapped).
struct FitReport {
    std::vector<int> levels;
    std::vector<double> measured;
    std::vector<double> fitted;
    std::vector<double> residuals; // measured - fitted
    std::vector<bool> outliers;    // readings the robust fit gave no weight
    double rms = 0.0;              // of all residuals
    double maxResidual = 0.0;      // largest absolute residual
    double scale = 0.0;            // robust estimate of the reading's scatter
    int outlierCount = 0;
    int coefficients = 0;
};

class ResponseCurve {
public:
    // Fits the curve to a measurement (checked and prepared first, see Prepare).
    static Result<ResponseCurve> Fit(const Measurement& measurement,
                                     const FitOptions& options = {});
    static Result<ResponseCurve> Fit(const PreparedPoints& points, const FitOptions& options = {});

    // A curve given by its phase (radians) at every level from `firstLevel` on, at least
    // kMinLevels of them, monotone; `origin` says where it came from.
    static Result<ResponseCurve> FromSamples(int firstLevel, std::vector<double> phases,
                                             std::string origin);

    int FirstLevel() const { return m_firstLevel; }
    int LastLevel() const { return m_firstLevel + static_cast<int>(m_phases.size()) - 1; }
    bool Rising() const { return m_phases.back() >= m_phases.front(); }
    // The level where the table's phase 0 lies: the end of the range with the lower phase.
    int ZeroLevel() const { return Rising() ? FirstLevel() : LastLevel(); }
    // The phase range the curve covers between its ends, radians.
    double Stroke() const;

    // The curve's phase (radians) at a level within [FirstLevel, LastLevel]; between whole
    // levels by monotone (Steffen) interpolation. Nothing outside the range.
    std::optional<double> PhaseAt(double level) const;
    // The phase above the one at ZeroLevel (never negative); nothing outside the range.
    std::optional<double> RelativePhaseAt(double level) const;
    // The phase at every whole level from FirstLevel to LastLevel.
    const std::vector<double>& Phases() const { return m_phases; }

    // The fit's figures; nothing for a curve that was not fitted (FromSamples).
    const std::optional<FitReport>& Report() const { return m_report; }
    // Where the curve came from, for the person: "fitted to 64 measured levels (0 to 32767)".
    const std::string& Origin() const { return m_origin; }

    // The correction table for a DAC of `digits` digits (10 to 16) whose levels span phases
    // 0 to `maxPhase` (in `unit`, parts of PI like everywhere in the program by default).
    // Refused: digits out of range, levels of the curve beyond the DAC's range, a maximum
    // phase that is not above 0 or beyond the stroke.
    Result<std::vector<std::uint16_t>> BuildTable(int digits, double maxPhase,
                                                  PhaseUnit unit = PhaseUnit::PartsOfPi) const;

private:
    ResponseCurve() = default;

    int m_firstLevel = 0;
    std::vector<double> m_phases;
    std::optional<FitReport> m_report;
    std::string m_origin;
};

} // namespace calibration
