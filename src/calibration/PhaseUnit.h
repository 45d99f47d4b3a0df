// The units a measured phase may be given in. The program itself counts phases in parts of
// PI (2 is one period); interferometers report radians or waves.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace calibration {

enum class PhaseUnit {
    Radians,   // "rad"
    Waves,     // "waves": 1 is one period of 2 PI
    PartsOfPi, // "pi": 2 is one period, the program's own unit
};

// Radians in one of the unit.
double RadiansPer(PhaseUnit unit);
inline double ToRadians(double value, PhaseUnit unit) {
    return value * RadiansPer(unit);
}
inline double FromRadians(double radians, PhaseUnit unit) {
    return radians / RadiansPer(unit);
}

// The unit's name in files: "rad", "waves" or "pi".
std::string_view UnitName(PhaseUnit unit);
// The unit's name in messages: "rad", "waves" or "parts of PI".
std::string_view UnitWords(PhaseUnit unit);
// A file's unit name (case-insensitive; also "radians", "wave", "parts of pi").
std::optional<PhaseUnit> ParseUnit(std::string_view name);

// A figure with its unit for messages: "6.283 rad", "2.5 parts of PI".
std::string FormatPhase(double radians, PhaseUnit unit);

} // namespace calibration
