#include "calibration/LiquidCrystalModel.h"

#include "profile/DacCodes.h"

#include <cmath>
#include <numbers>
#include <random>

namespace calibration {

namespace {

double Logistic(double x) {
    return 1.0 / (1.0 + std::exp(-x));
}

} // namespace

double LiquidCrystalModel::Birefringence(double waveLength) const {
    return cauchyA + cauchyB / (waveLength * waveLength);
}

double LiquidCrystalModel::Retardation(double waveLength) const {
    return 2.0 * std::numbers::pi * Birefringence(waveLength) * thickness / waveLength;
}

double LiquidCrystalModel::Shape(double level) const {
    const double top = daccodes::HalfRange(digits) - 1.0;
    const double low = Logistic(-midpoint / width);
    const double high = Logistic((1.0 - midpoint) / width);
    return (Logistic((level / top - midpoint) / width) - low) / (high - low);
}

double LiquidCrystalModel::Phase(double level, double waveLength) const {
    const double s = Shape(level);
    return Retardation(waveLength) * (falling ? 1.0 - s : s);
}

Measurement LiquidCrystalModel::Sweep(const std::vector<int>& levels, double waveLength,
                                      double noise, std::uint64_t seed, bool wrapped) const {
    std::mt19937_64 generator(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0.0 ? noise : 1.0);
    Measurement m;
    m.digits = digits;
    m.unit = PhaseUnit::Radians;
    m.wrapped = wrapped;
    for (const int level : levels) {
        double phase = Phase(level, waveLength) + (noise > 0.0 ? gauss(generator) : 0.0);
        if (wrapped) {
            phase -= 2.0 * std::numbers::pi * std::floor(phase / (2.0 * std::numbers::pi));
        }
        m.points.push_back({level, phase, 0});
    }
    return m;
}

std::vector<int> LiquidCrystalModel::EvenLevels(int count, int digits) {
    const double top = daccodes::HalfRange(digits) - 1.0;
    std::vector<int> levels;
    for (int i = 0; i < count; ++i) {
        levels.push_back(static_cast<int>(std::lround(top * i / (count - 1.0))));
    }
    return levels;
}

} // namespace calibration
