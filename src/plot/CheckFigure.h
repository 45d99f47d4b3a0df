// The picture of an optical check: the phase error along the aperture above the intensity in
// the focal plane (a lens) or the far field (a polynomial, a code pattern), with the figures
// in a column beside them. One drawing for the window, the printed report and the command
// line's picture files.
#pragma once

#include "optics/OpticalCheck.h"
#include "plot/Plot.h"

#include <string>

class QPainter;
class QRectF;

namespace plot {

struct CheckFigureOptions {
    Scale intensity = Scale::Linear;
    // The figures (and the check's warnings) in a column to the right of the charts.
    bool figures = true;
};

// The lowest intensity a logarithmic scale shows, relative to a perfect element's peak.
inline constexpr double kLogFloor = 1e-6;

// The phase error per element along the aperture (mm), in waves; for a code pattern, which
// has no design, the realised phase.
Chart PhaseChart(const optics::CheckResult& result);
// The intensity behind the row, from the codes and (dashed) from the design.
Chart PatternChart(const optics::CheckResult& result, Scale scale);

void DrawCheckFigure(QPainter& painter, const QRectF& area, const optics::CheckResult& result,
                     const CheckFigureOptions& options, const Style& style = {});
// What stands in the figure's place when there is no check: the reason, in the middle.
void DrawCheckMessage(QPainter& painter, const QRectF& area, const std::string& message,
                      const Style& style = {});

} // namespace plot
