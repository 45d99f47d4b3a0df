#include "calibration_ui/ResponsePlot.h"

#include "calibration/PhaseUnit.h"
#include "plot/Plot.h"

#include <QPainter>

ResponsePlot::ResponsePlot(QWidget* parent) : QWidget(parent) {
    setMinimumSize(360, 300);
}

void ResponsePlot::SetData(const calibration::Measurement& readings,
                           const std::optional<calibration::ResponseCurve>& curve) {
    m_levels.clear();
    m_phases.clear();
    m_curveLevels.clear();
    m_curvePhases.clear();
    m_residualLevels.clear();
    m_residuals.clear();
    m_outlierLevels.clear();
    m_outlierPhases.clear();
    const auto* report = curve && curve->Report() ? &*curve->Report() : nullptr;
    if (report != nullptr) {
        // The fit's own view of the readings: one per level, unwrapped, in radians.
        for (std::size_t i = 0; i < report->levels.size(); ++i) {
            auto& levels = report->outliers[i] ? m_outlierLevels : m_levels;
            auto& phases = report->outliers[i] ? m_outlierPhases : m_phases;
            levels.push_back(report->levels[i]);
            phases.push_back(report->measured[i]);
            m_residualLevels.push_back(report->levels[i]);
            m_residuals.push_back(report->residuals[i]);
        }
        // The curve at 400 places over its range, enough for a smooth line at any size.
        const int first = curve->FirstLevel();
        const int last = curve->LastLevel();
        for (int i = 0; i <= 400; ++i) {
            const double level = first + (last - first) * (i / 400.0);
            if (const auto phase = curve->PhaseAt(level)) {
                m_curveLevels.push_back(level);
                m_curvePhases.push_back(*phase);
            }
        }
    } else {
        for (const calibration::MeasuredPoint& p : readings.points) {
            m_levels.push_back(p.level);
            m_phases.push_back(calibration::ToRadians(p.phase, readings.unit));
        }
    }
    update();
}

void ResponsePlot::Draw(QPainter& painter, const QRect& area) const {
    const int split = area.top() + area.height() * 62 / 100;
    plot::Chart response;
    response.title = tr("Response");
    response.x.label = tr("level");
    response.y.label = tr("phase, rad");
    response.emptyNote = tr("No readings yet");
    response.series.push_back({tr("measured"), m_levels, m_phases, QColor(0, 90, 200),
                               plot::Mark::Points, Qt::SolidLine, 3.5});
    if (!m_outlierLevels.empty()) {
        response.series.push_back({tr("off the curve"), m_outlierLevels, m_outlierPhases,
                                   QColor(220, 40, 40), plot::Mark::Points, Qt::SolidLine, 3.5});
    }
    if (!m_curveLevels.empty()) {
        response.series.push_back({tr("fitted"), m_curveLevels, m_curvePhases, Qt::black,
                                   plot::Mark::Line, Qt::SolidLine, 1.0});
    }
    if (!m_curveLevels.empty()) {
        // Both charts span the fitted range, so that a residual stands under its reading.
        response.x.min = m_curveLevels.front();
        response.x.max = m_curveLevels.back();
    }
    plot::Draw(painter, QRectF(area.left(), area.top(), area.width(), split - area.top()),
               response);

    plot::Chart residuals;
    residuals.title = tr("Residuals");
    residuals.x.label = tr("level");
    residuals.y.label = tr("rad");
    residuals.legend = false;
    residuals.emptyNote = tr("No fit yet (4 levels or more)");
    residuals.x.min = response.x.min;
    residuals.x.max = response.x.max;
    residuals.series.push_back({{},
                                m_residualLevels,
                                m_residuals,
                                QColor(0, 90, 200),
                                plot::Mark::Points,
                                Qt::SolidLine,
                                3.0});
    plot::Draw(painter, QRectF(area.left(), split, area.width(), area.bottom() + 1 - split),
               residuals);
}

void ResponsePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter, rect());
}
