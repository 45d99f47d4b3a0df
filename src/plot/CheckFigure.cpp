#include "plot/CheckFigure.h"

#include "optics/CheckText.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace plot {

namespace {

// The smallest span of the phase error axis, waves on either side of 0: a nearly perfect
// row then shows as the flat line it is, not as magnified rounding.
constexpr double kMinErrorSpan = 0.01;
// The share of the width the figures column may take at most.
constexpr double kMaxColumnShare = 0.4;
// The phase chart's share of the charts' height.
constexpr double kPhaseShare = 0.4;

const QColor kError(200, 0, 0);
const QColor kPhase(0, 0, 200);
const QColor kCodes(0, 0, 200);
const QColor kDesign(120, 120, 120);
const QColor kWarning(160, 60, 0);

double Points(const QPainter& painter, double points) {
    const QPaintDevice* device = painter.device();
    return points * (device != nullptr ? device->logicalDpiY() : 96) / 72.0;
}

QFont TextFont(const QPainter& painter, const Style& style) {
    QFont font(painter.font().family());
    font.setPointSizeF(style.fontSize);
    return font;
}

std::vector<double> Scaled(const std::vector<double>& values, double factor) {
    std::vector<double> scaled(values.size());
    std::transform(values.begin(), values.end(), scaled.begin(),
                   [factor](double v) { return v * factor; });
    return scaled;
}

// Draws the figures and warnings in `column`, names and values in two columns of text.
void DrawFigures(QPainter& painter, const QRectF& column, const optics::CheckResult& result,
                 const Style& style) {
    const QFont font = TextFont(painter, style);
    const QFontMetricsF metrics(font, painter.device());
    const double pad = Points(painter, style.padding);
    const std::vector<optics::FigureLine> lines = optics::FigureLines(result);
    double names = 0.0;
    for (const optics::FigureLine& line : lines) {
        names = std::max(names, metrics.horizontalAdvance(QString::fromStdString(line.name)));
    }
    painter.save();
    painter.setFont(font);
    painter.setPen(style.text);
    double y = column.top() + pad + metrics.ascent();
    for (const optics::FigureLine& line : lines) {
        painter.drawText(QPointF(column.left() + pad, y), QString::fromStdString(line.name));
        painter.drawText(QPointF(column.left() + 2.0 * pad + names, y),
                         QString::fromStdString(line.value));
        y += metrics.height();
    }
    painter.setPen(kWarning);
    QRectF rest(column.left() + pad, y - metrics.ascent() + pad, column.width() - 2.0 * pad,
                column.bottom() - y);
    for (const std::string& warning : result.warnings) {
        const QRectF used =
            painter.boundingRect(rest, Qt::TextWordWrap, QString::fromStdString(warning));
        painter.drawText(rest, Qt::TextWordWrap, QString::fromStdString(warning));
        rest.setTop(rest.top() + used.height() + pad);
    }
    painter.restore();
}

// The width the figures column needs: its longest line, and room for the warnings.
double ColumnWidth(const QPainter& painter, const optics::CheckResult& result, const Style& style) {
    const QFontMetricsF metrics(TextFont(painter, style), painter.device());
    const double pad = Points(painter, style.padding);
    double names = 0.0;
    double values = 0.0;
    for (const optics::FigureLine& line : optics::FigureLines(result)) {
        names = std::max(names, metrics.horizontalAdvance(QString::fromStdString(line.name)));
        values = std::max(values, metrics.horizontalAdvance(QString::fromStdString(line.value)));
    }
    return names + values + 4.0 * pad;
}

} // namespace

Chart PhaseChart(const optics::CheckResult& result) {
    const optics::ElementCurve& row = result.elements;
    const bool designed = !row.errorWaves.empty();
    Chart chart;
    chart.title = designed ? "Phase error along the aperture" : "Phase along the aperture";
    chart.x.label = "position (mm)";
    chart.y.label = "waves";
    chart.legend = false;
    Series s;
    s.x = Scaled(row.position, 1e3);
    s.mark = Mark::Steps;
    // The row's own width, from the first element's outer edge to the last one's.
    if (s.x.size() >= 2) {
        const double half = 0.5 * (s.x[1] - s.x[0]);
        chart.x.min = s.x.front() - half;
        chart.x.max = s.x.back() + half;
    }
    if (designed) {
        s.y = row.errorWaves;
        s.color = kError;
        double largest = 0.0;
        for (double e : row.errorWaves) {
            largest = std::max(largest, std::fabs(e));
        }
        const double top = std::max(kMinErrorSpan, largest);
        const double step = TickStep(0.0, top, 2);
        chart.y.max = std::ceil(top / step - 1e-9) * step;
        chart.y.min = -*chart.y.max;
    } else {
        s.y = Scaled(row.phase, 0.5 / std::numbers::pi);
        s.color = kPhase;
        chart.y.min = 0.0;
    }
    chart.series.push_back(std::move(s));
    return chart;
}

Chart PatternChart(const optics::CheckResult& result, Scale scale) {
    const optics::PatternCurve& pattern = result.pattern;
    const bool focal = pattern.axis == optics::PatternAxis::FocalPlaneMetres;
    Chart chart;
    chart.title = focal ? "Intensity in the focal plane" : "Far-field intensity";
    chart.x.label = focal ? "position (mm)" : "angle (mrad)";
    chart.y.label = "intensity (1: flawless peak)";
    chart.y.scale = scale;
    if (scale == Scale::Logarithmic) {
        chart.y.min = kLogFloor;
    } else {
        chart.y.min = 0.0;
    }
    const std::vector<double> x = Scaled(pattern.coordinate, 1e3);
    if (x.size() >= 2) {
        chart.x.min = x.front();
        chart.x.max = x.back();
    }
    if (!pattern.ideal.empty()) {
        Series design;
        design.name = "design";
        design.x = x;
        design.y = pattern.ideal;
        design.color = kDesign;
        design.style = Qt::DashLine;
        design.width = 0.75;
        chart.series.push_back(std::move(design));
    }
    Series codes;
    codes.name = "codes";
    codes.x = x;
    codes.y = pattern.intensity;
    codes.color = kCodes;
    chart.series.push_back(std::move(codes));
    return chart;
}

void DrawCheckFigure(QPainter& painter, const QRectF& area, const optics::CheckResult& result,
                     const CheckFigureOptions& options, const Style& style) {
    painter.save();
    if (style.background.isValid()) {
        painter.fillRect(area, style.background);
    }
    Style charts = style;
    charts.background = QColor(); // filled once, above
    QRectF plots = area;
    if (options.figures) {
        const double width =
            std::min(ColumnWidth(painter, result, style), kMaxColumnShare * area.width());
        plots.setRight(area.right() - width);
        DrawFigures(painter, QRectF(plots.right(), area.top(), width, area.height()), result,
                    style);
    }
    const double split = plots.top() + kPhaseShare * plots.height();
    Draw(painter, QRectF(plots.left(), plots.top(), plots.width(), split - plots.top()),
         PhaseChart(result), charts);
    Draw(painter, QRectF(plots.left(), split, plots.width(), plots.bottom() - split),
         PatternChart(result, options.intensity), charts);
    painter.restore();
}

void DrawCheckMessage(QPainter& painter, const QRectF& area, const std::string& message,
                      const Style& style) {
    painter.save();
    if (style.background.isValid()) {
        painter.fillRect(area, style.background);
    }
    const double pad = 4.0 * Points(painter, style.padding);
    painter.setFont(TextFont(painter, style));
    painter.setPen(style.text);
    painter.drawText(area.adjusted(pad, pad, -pad, -pad), Qt::AlignCenter | Qt::TextWordWrap,
                     QString::fromStdString(message));
    painter.restore();
}

} // namespace plot
