#include "calibration/PhaseUnit.h"

#include "framework/NumberText.h"

#include <cctype>
#include <numbers>

namespace calibration {

double RadiansPer(PhaseUnit unit) {
    switch (unit) {
    case PhaseUnit::Waves:
        return 2.0 * std::numbers::pi;
    case PhaseUnit::PartsOfPi:
        return std::numbers::pi;
    case PhaseUnit::Radians:
        break;
    }
    return 1.0;
}

std::string_view UnitName(PhaseUnit unit) {
    switch (unit) {
    case PhaseUnit::Waves:
        return "waves";
    case PhaseUnit::PartsOfPi:
        return "pi";
    case PhaseUnit::Radians:
        break;
    }
    return "rad";
}

std::string_view UnitWords(PhaseUnit unit) {
    return unit == PhaseUnit::PartsOfPi ? "parts of PI" : UnitName(unit);
}

std::optional<PhaseUnit> ParseUnit(std::string_view name) {
    std::string lower;
    for (const char c : name) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "rad" || lower == "radians") {
        return PhaseUnit::Radians;
    }
    if (lower == "waves" || lower == "wave") {
        return PhaseUnit::Waves;
    }
    if (lower == "pi" || lower == "parts of pi") {
        return PhaseUnit::PartsOfPi;
    }
    return std::nullopt;
}

std::string FormatPhase(double radians, PhaseUnit unit) {
    return numtext::FormatGeneral(FromRadians(radians, unit), 5) + " " +
           std::string(UnitWords(unit));
}

} // namespace calibration
