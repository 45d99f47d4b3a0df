// The optical check's figures as a person reads them: one line each, a name and a value with
// its unit, the same in the window, in the printed report, in pictures and on the command
// line.
#pragma once

#include "optics/OpticalCheck.h"

#include <string>
#include <vector>

namespace optics {

struct FigureLine {
    std::string name;  // "Efficiency"
    std::string value; // "98.74 %"
};

// "thin lens", "polynomial", "code pattern".
std::string DesignName(Design design);

// The design, the light and the row, then the figures (for a design) in this order:
// efficiency, Strehl ratio, RMS and peak phase error, then the focus, the spot's offset and
// width of a lens or the order's angle and width of a polynomial.
std::vector<FigureLine> FigureLines(const CheckResult& result);

// A length with the unit that suits it: "400.2 mm", "28.31 µm", "-1.250 m".
std::string LengthText(double metres);
// An angle in milliradians and degrees: "-2.320 mrad (-0.1329°)".
std::string AngleText(double radians);

} // namespace optics
