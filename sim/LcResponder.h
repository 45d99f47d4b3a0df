// The liquid crystal behind the simulated controller, for calibration sweeps without a bench:
// for every two-level pattern the controller loads, the phase step an interferometer would
// read between the pattern's two levels is appended to a file as "level,phase" (radians), the
// way an instrument script writes its readings.
//
// A two-level pattern is what a volt-phase table sends: the first element carries the test
// level, the others carry it or one other level, the reference. The reading is the model's
// phase at the test level less its phase at the reference, plus Gaussian noise from a seeded
// generator. A pattern of more than two levels (a profile) gives no reading.
#pragma once

#include "ControllerSimulator.h"
#include "calibration/LiquidCrystalModel.h"
#include "calibration/Measurement.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

class LcResponder {
public:
    LcResponder(calibration::LiquidCrystalModel model, double waveLength, double noise,
                std::uint64_t seed, std::string path);

    // The test level and the phase step of a pattern of `elements` elements sent as `codes`
    // (two per element, mirrored); nothing for a pattern that is not two-level or whose codes
    // are not a mirrored pair of halves of a 10- to 16-digit DAC.
    std::optional<calibration::MeasuredPoint> Reading(const std::vector<std::uint16_t>& codes,
                                                      std::uint16_t elements);

    // The simulator's load listener: appends the reading of a loaded pattern to the file; the
    // problem when the file could not be written.
    std::optional<std::string> OnLoad(const ControllerSimulator::Command& command);

private:
    calibration::LiquidCrystalModel m_model;
    double m_waveLength;
    double m_noise;
    std::mt19937_64 m_generator;
    std::string m_path;
};
