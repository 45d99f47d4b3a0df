#include "optics/CheckText.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace optics {

namespace {

// `value` with four significant digits and `unit` ("%.4g" never switches to exponents for the
// magnitudes the units below leave).
std::string Figure(double value, const char* unit) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4g%s%s", value, *unit != '\0' ? " " : "", unit);
    return text;
}

} // namespace

std::string DesignName(Design design) {
    switch (design) {
    case Design::Lens:
        return "thin lens";
    case Design::Polynomial:
        return "polynomial";
    case Design::None:
        break;
    }
    return "code pattern";
}

std::string LengthText(double metres) {
    const double size = std::fabs(metres);
    if (!std::isfinite(metres)) {
        return Figure(metres, "m");
    }
    // Below a picometre a length is the transforms' rounding, not an optical figure.
    if (size < 1e-12) {
        return Figure(0.0, "m");
    }
    if (size >= 1.0) {
        return Figure(metres, "m");
    }
    if (size >= 1e-3) {
        return Figure(metres * 1e3, "mm");
    }
    if (size >= 1e-6) {
        return Figure(metres * 1e6, "\u00B5m");
    }
    return Figure(metres * 1e9, "nm");
}

std::string AngleText(double radians) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4g mrad (%.4g\u00B0)", radians * 1e3,
                  radians * 180.0 / std::numbers::pi);
    return text;
}

std::vector<FigureLine> FigureLines(const CheckResult& result) {
    std::vector<FigureLine> lines;
    lines.push_back({"Design", DesignName(result.design)});
    lines.push_back({"Wave length", LengthText(result.waveLength)});
    lines.push_back({"Elements", std::to_string(result.elements.phase.size()) + ", pitch " +
                                     LengthText(result.pitch)});
    if (!result.figures) {
        return lines;
    }
    const CheckFigures& f = *result.figures;
    lines.push_back({"Efficiency", Figure(100.0 * f.efficiency, "%")});
    lines.push_back({"Strehl ratio", Figure(f.strehl, "")});
    lines.push_back({"RMS phase error", Figure(f.rmsErrorWaves, "waves")});
    lines.push_back({"Peak phase error", Figure(f.peakErrorWaves, "waves")});
    const std::string unresolved = "not resolved";
    if (f.focusM) {
        lines.push_back({"Focus", LengthText(*f.focusM)});
    }
    if (f.spotOffsetM) {
        lines.push_back({"Spot offset", LengthText(*f.spotOffsetM)});
    }
    if (result.design == Design::Lens) {
        lines.push_back({"Spot width (FWHM)", f.spotWidth ? LengthText(*f.spotWidth) : unresolved});
    }
    if (f.orderAngleRad) {
        lines.push_back({"Order angle", AngleText(*f.orderAngleRad)});
    }
    if (result.design == Design::Polynomial) {
        lines.push_back({"Order width (FWHM)", f.spotWidth ? AngleText(*f.spotWidth) : unresolved});
    }
    return lines;
}

} // namespace optics
