// A model of a liquid-crystal cell's phase response, for the simulator's answer to a
// calibration sweep and for tests.
//
//   birefringence   dn(lambda) = A + B / lambda^2                 (two-term Cauchy law)
//   retardation     R(lambda)  = 2 PI dn(lambda) d / lambda       (radians; d the thickness)
//   shape           s(x) = (g(x) - g(0)) / (g(1) - g(0)),  g(x) = 1 / (1 + exp(-(x - c) / w))
//                   x = level / (2^(digits-1) - 1), c the midpoint and w the width of the
//                   transition as parts of the level range; s runs from 0 to 1
//   phase           phase(level, lambda) = R(lambda) s(x), or R(lambda) (1 - s(x)) for a cell
//                   whose phase falls as the level rises
//
// A sweep adds Gaussian noise of a given standard deviation from a seeded generator, so the
// same seed gives the same readings.
#pragma once

#include "calibration/Measurement.h"

#include <cstdint>
#include <vector>

namespace calibration {

struct LiquidCrystalModel {
    double cauchyA = 0.16;     // birefringence at long wave lengths
    double cauchyB = 8.0e-15;  // m^2 (0.008 square micrometres)
    double thickness = 5.0e-6; // m
    double midpoint = 0.45;    // of the level range
    double width = 0.12;       // of the level range
    bool falling = false;
    int digits = 16;

    double Birefringence(double waveLength) const;
    // The phase between the two ends of the level range, radians.
    double Retardation(double waveLength) const;
    // The normalised response, 0 at level 0 and 1 at the top level.
    double Shape(double level) const;
    // The phase (radians) at a level, for a wave length in metres.
    double Phase(double level, double waveLength) const;

    // Readings at `levels` (radians; folded into [0, 2 PI) when `wrapped`), with Gaussian
    // noise of `noise` radians drawn from a generator seeded with `seed`.
    Measurement Sweep(const std::vector<int>& levels, double waveLength, double noise,
                      std::uint64_t seed, bool wrapped = false) const;

    // `count` levels spread evenly from 0 to the top level of `digits` digits.
    static std::vector<int> EvenLevels(int count, int digits);
};

} // namespace calibration
