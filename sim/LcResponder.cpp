#include "LcResponder.h"

#include "framework/NumberText.h"

#include <bit>
#include <fstream>

LcResponder::LcResponder(calibration::LiquidCrystalModel model, double waveLength, double noise,
                         std::uint64_t seed, std::string path)
    : m_model(model), m_waveLength(waveLength), m_noise(noise), m_generator(seed),
      m_path(std::move(path)) {}

std::optional<calibration::MeasuredPoint>
LcResponder::Reading(const std::vector<std::uint16_t>& codes, std::uint16_t elements) {
    const std::size_t n = elements;
    if (n == 0 || codes.size() < 2 * n) {
        return std::nullopt;
    }
    // The halves are S + level and S - 1 - level: each pair adds up to 2 S - 1.
    const std::uint32_t half = (codes[0] + codes[n] + 1u) / 2u;
    const int digits = std::countr_zero(half) + 1;
    if (!std::has_single_bit(half) || digits < 10 || digits > 16) {
        return std::nullopt;
    }
    std::vector<int> levels;
    for (std::size_t i = 0; i < n; ++i) {
        if (codes[i] < half || codes[i] + codes[n + i] + 1u != 2u * half) {
            return std::nullopt;
        }
        levels.push_back(static_cast<int>(codes[i] - half));
    }
    const int test = levels.front();
    int reference = test;
    for (const int level : levels) {
        if (level != test) {
            if (reference != test && level != reference) {
                return std::nullopt; // a third level: not a two-level pattern
            }
            reference = level;
        }
    }
    calibration::LiquidCrystalModel model = m_model;
    model.digits = digits;
    double phase = model.Phase(test, m_waveLength) - model.Phase(reference, m_waveLength);
    if (m_noise > 0.0) {
        phase += std::normal_distribution<double>(0.0, m_noise)(m_generator);
    }
    return calibration::MeasuredPoint{test, phase, 0};
}

std::optional<std::string> LcResponder::OnLoad(const ControllerSimulator::Command& command) {
    const auto reading = Reading(command.codes, command.elements);
    if (!reading) {
        return std::nullopt;
    }
    std::ofstream file(m_path, std::ios::binary | std::ios::app);
    file << reading->level << ',' << numtext::FormatGeneral(reading->phase, 10) << '\n';
    file.flush();
    if (!file) {
        return "the phase file " + m_path + " could not be written";
    }
    return std::nullopt;
}
