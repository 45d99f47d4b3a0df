// The Calibration window's plot: the readings and the fitted response above, the residuals of
// the fit below, drawn with the program's XY plot drawer.
#pragma once

#include "calibration/Measurement.h"
#include "calibration/ResponseCurve.h"

#include <QWidget>
#include <optional>

class QPainter;

class ResponsePlot : public QWidget {
    Q_OBJECT

public:
    explicit ResponsePlot(QWidget* parent = nullptr);

    // The readings (in their unit, shown in radians) and the curve fitted to them, if any.
    void SetData(const calibration::Measurement& readings,
                 const std::optional<calibration::ResponseCurve>& curve);
    // Draws both charts into `area`; what the widget shows.
    void Draw(QPainter& painter, const QRect& area) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<double> m_levels, m_phases;               // the readings, radians
    std::vector<double> m_curveLevels, m_curvePhases;     // the fitted curve, sampled
    std::vector<double> m_residualLevels, m_residuals;    // measured - fitted, radians
    std::vector<double> m_outlierLevels, m_outlierPhases; // readings the fit gave no weight
};
