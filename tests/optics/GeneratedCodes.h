// Check inputs whose codes are made as the profile's generation and a Send make them, without
// a document: the design phase at every element's abscissa (parts of PI), folded into the
// phase window element by element, turned into levels against the maximum phase and mirrored.
#pragma once

#include "optics/OpticalCheck.h"
#include "profile/DacCodes.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

namespace testcodes {

struct Window {
    double low = 0.0;
    double high = 2.0;
    bool minVoltage = false;
    int maxJumps = -1; // the jump limit, -1 for none
};

// Folds one raw value (parts of PI): first moved by the periods its predecessors lost, then,
// outside the window (or above the lowest period with minVoltage), moved by whole periods
// down towards the low limit or up below the high one, at most maxJumps after the first.
inline double Fold(double raw, bool first, const Window& w, double& offset) {
    const double v = raw - offset;
    const double top = w.minVoltage ? std::min(w.low + 2.0, w.high) : w.high;
    if (v >= w.low && v <= top) {
        return v;
    }
    double k =
        v < w.low && !w.minVoltage ? std::trunc((v - w.high) / 2.0) : std::floor((v - w.low) / 2.0);
    if (!first && w.maxJumps >= 0) {
        k = std::clamp(k, -1.0 * w.maxJumps, 1.0 * w.maxJumps);
    }
    const double folded = v - 2.0 * k;
    if (folded < w.low || folded > w.high) {
        throw std::runtime_error("the generation refuses these parameters");
    }
    offset += 2.0 * k;
    return folded;
}

// The codes of a Send for phases in parts of PI, without a correction table.
inline std::vector<std::uint16_t> Codes(const std::vector<double>& phases, double maxPhase,
                                        int digits) {
    const double top = daccodes::HalfRange(digits) - 1.0;
    std::vector<std::uint16_t> levels;
    for (double phase : phases) {
        levels.push_back(static_cast<std::uint16_t>(std::trunc(top * phase / maxPhase)));
    }
    return daccodes::Mirrored(levels, digits);
}

inline optics::CheckInput Base(int elements, double aperture, double waveLength, double maxPhase,
                               int digits) {
    optics::CheckInput in;
    in.elements = elements;
    in.aperture = aperture;
    in.waveLength = waveLength;
    in.maxPhase = maxPhase;
    in.dacDigits = digits;
    return in;
}

inline double Abscissa(const optics::CheckInput& in, int i, bool inSteps) {
    const double u = i - (in.elements - 1) * 0.5;
    return inSteps ? u : u * in.aperture / (in.elements - 1);
}

// A thin lens, generated from the centre outwards and mirrored.
inline optics::CheckInput Lens(int elements, double aperture, double diopters, double waveLength,
                               const Window& window, double maxPhase = 8.0, int digits = 16) {
    optics::CheckInput in = Base(elements, aperture, waveLength, maxPhase, digits);
    in.design = optics::Design::Lens;
    in.diopters = diopters;
    std::vector<double> phases(elements);
    double offset = 0.0;
    for (int i = elements / 2; i < elements; ++i) {
        const double x = Abscissa(in, i, false);
        phases[i] = phases[elements - 1 - i] =
            Fold(x * x * (diopters / waveLength), i == elements / 2, window, offset);
    }
    in.codes = Codes(phases, maxPhase, digits);
    return in;
}

// A cubic polynomial in radians, generated from element 0 on.
inline optics::CheckInput Polynomial(int elements, double aperture, std::array<double, 4> a,
                                     bool useAperture, double waveLength, const Window& window,
                                     double maxPhase = 8.0, int digits = 16) {
    optics::CheckInput in = Base(elements, aperture, waveLength, maxPhase, digits);
    in.design = optics::Design::Polynomial;
    in.coefficients = a;
    in.useAperture = useAperture;
    std::vector<double> phases(elements);
    double offset = 0.0;
    for (int i = 0; i < elements; ++i) {
        const double x = Abscissa(in, i, !useAperture);
        const double radians = (a[2] * x * x + a[3] * x * x * x) + a[1] * x + a[0];
        phases[i] = Fold(radians * (1.0 / std::numbers::pi), i == 0, window, offset);
    }
    in.codes = Codes(phases, maxPhase, digits);
    return in;
}

// A blazed grating of `period` elements per 2 PI, folded into one period.
inline optics::CheckInput Grating(int elements, double aperture, double period, double waveLength,
                                  double maxPhase = 2.0) {
    return Polynomial(elements, aperture, {0.0, 2.0 * std::numbers::pi / period, 0.0, 0.0}, false,
                      waveLength, Window{0.0, 2.0}, maxPhase);
}

} // namespace testcodes
