#include "plot/Plot.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace plot {

namespace {

// Ticks wanted per axis for AxisRange's extension of a free end.
constexpr int kRangeTicks = 5;
// Mapped coordinates are kept within this many pixels of the plot, so that a value far off
// the range (1e300 on a fixed axis) stays a number the raster engine can take; beyond the
// plot it is clipped anyway.
constexpr double kFarPixels = 1e6;
// A line with more points than this many per pixel column is drawn through each column's
// first, lowest, highest and last point only, which looks the same and draws fast.
constexpr double kPointsPerColumn = 4.0;
// Qt strokes a wide antialiased polyline as one outline, which takes time that grows much
// faster than its length when the line zig-zags (a far field's fringes): solid lines are drawn
// in pieces of this many segments, which look the same.
constexpr qsizetype kSegmentsPerPiece = 16;
// A pen at most this many pixels wide is drawn as a one-pixel cosmetic line, which the raster
// engine draws directly: on a screen a line of one point is 1.33 pixels wide.
constexpr double kHairlinePixels = 1.5;

double Points(const QPainter& painter, double points) {
    const QPaintDevice* device = painter.device();
    const int dpi = device != nullptr ? device->logicalDpiY() : 96;
    return points * dpi / 72.0;
}

bool Drawable(double value, Scale scale) {
    return std::isfinite(value) && (scale == Scale::Linear || value > 0.0);
}

// The cell a point of a step series covers: from the midpoint to its left neighbour to the
// midpoint to its right one; the end cells as wide as their neighbour's half spacing.
std::pair<double, double> Cell(const std::vector<double>& x, std::size_t i) {
    const std::size_t n = x.size();
    if (n == 1) {
        return {x[0] - 0.5, x[0] + 0.5};
    }
    const double left = i > 0 ? 0.5 * (x[i - 1] + x[i]) : x[0] - 0.5 * (x[1] - x[0]);
    const double right = i + 1 < n ? 0.5 * (x[i] + x[i + 1]) : x[i] + 0.5 * (x[i] - x[i - 1]);
    return {left, right};
}

struct Span {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    void Add(double v) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool Empty() const { return !(lo <= hi); }
};

// The span of the data along one axis, of the points whose x lies within `within`.
Span DataSpan(const Chart& chart, bool vertical, const Range* within) {
    const Scale xScale = chart.x.scale;
    const Scale scale = vertical ? chart.y.scale : chart.x.scale;
    Span span;
    for (const Series& s : chart.series) {
        const std::size_t n = std::min(s.x.size(), s.y.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (!Drawable(s.x[i], xScale) || !Drawable(s.y[i], chart.y.scale)) {
                continue;
            }
            if (within != nullptr && (s.x[i] < within->lo || s.x[i] > within->hi)) {
                continue;
            }
            if (vertical) {
                span.Add(s.y[i]);
            } else if (s.mark == Mark::Steps) {
                const auto [left, right] = Cell(s.x, i);
                for (double edge : {left, right}) {
                    if (Drawable(edge, scale)) {
                        span.Add(edge);
                    }
                }
            } else {
                span.Add(s.x[i]);
            }
        }
    }
    return span;
}

Range Extend(const Axis& axis, Span span) {
    const bool log = axis.scale == Scale::Logarithmic;
    if (axis.min && Drawable(*axis.min, axis.scale)) {
        span.lo = *axis.min;
    }
    if (axis.max && Drawable(*axis.max, axis.scale)) {
        span.hi = *axis.max;
    }
    if (span.Empty() || !std::isfinite(span.lo) || !std::isfinite(span.hi)) {
        // No data: a unit span at the fixed end, if any.
        if (log) {
            const double lo = span.lo > 0.0 && std::isfinite(span.lo) ? span.lo : 1.0;
            return {lo, lo * 10.0};
        }
        const double lo = std::isfinite(span.lo) ? span.lo : 0.0;
        return {lo, lo + 1.0};
    }
    if (span.lo == span.hi) {
        if (log) {
            return {span.lo / std::sqrt(10.0), span.hi * std::sqrt(10.0)};
        }
        const double half = span.lo != 0.0 ? 0.5 * std::fabs(span.lo) : 0.5;
        return {span.lo - half, span.hi + half};
    }
    Range range{span.lo, span.hi};
    if (log) {
        if (!axis.min) {
            range.lo = std::pow(10.0, std::floor(std::log10(range.lo) + 1e-9));
        }
        if (!axis.max) {
            range.hi = std::pow(10.0, std::ceil(std::log10(range.hi) - 1e-9));
        }
    } else {
        const double step = TickStep(range.lo, range.hi, kRangeTicks);
        if (!axis.min) {
            range.lo = std::floor(range.lo / step + 1e-9) * step;
        }
        if (!axis.max) {
            range.hi = std::ceil(range.hi / step - 1e-9) * step;
        }
    }
    if (!(range.lo < range.hi)) {
        range.hi = log ? range.lo * 10.0 : range.lo + 1.0;
    }
    return range;
}

// Where a value lies along an axis, as a fraction of the range (0 at lo, 1 at hi).
double Fraction(double value, const Range& range, Scale scale) {
    if (scale == Scale::Logarithmic) {
        return (std::log10(value) - std::log10(range.lo)) /
               (std::log10(range.hi) - std::log10(range.lo));
    }
    return (value - range.lo) / (range.hi - range.lo);
}

// Everything about the placement of a chart in its area.
struct Layout {
    QFont font;
    QFont titleFont;
    QRectF plot;
    Range x;
    Range y;
    std::vector<double> xTicks;
    std::vector<double> yTicks;
    QStringList xLabels;
    QStringList yLabels;
    double tick = 0.0;
    double pad = 0.0;

    double X(double value, Scale scale) const {
        const double f = Fraction(value, x, scale);
        return std::clamp(plot.left() + f * plot.width(), plot.left() - kFarPixels,
                          plot.right() + kFarPixels);
    }
    double Y(double value, Scale scale) const {
        const double f = Fraction(value, y, scale);
        return std::clamp(plot.bottom() - f * plot.height(), plot.top() - kFarPixels,
                          plot.bottom() + kFarPixels);
    }
};

void Ticks(const Axis& axis, const Range& range, int count, std::vector<double>& ticks,
           QStringList& labels) {
    labels.clear();
    if (axis.scale == Scale::Logarithmic) {
        ticks = LogTicks(range.lo, range.hi, count);
        for (double value : ticks) {
            labels << LogTickLabel(value);
        }
        return;
    }
    ticks = LinearTicks(range.lo, range.hi, count);
    const double step = TickStep(range.lo, range.hi, count);
    for (double value : ticks) {
        labels << TickLabel(value, step);
    }
}

double WidestLabel(const QFontMetricsF& metrics, const QStringList& labels) {
    double widest = 0.0;
    for (const QString& label : labels) {
        widest = std::max(widest, metrics.horizontalAdvance(label));
    }
    return widest;
}

Layout MakeLayout(QPainter& painter, const QRectF& area, const Chart& chart, const Style& style) {
    Layout layout;
    layout.font = QFont(painter.font().family());
    layout.font.setPointSizeF(style.fontSize);
    layout.titleFont = layout.font;
    layout.titleFont.setBold(true);
    const QFontMetricsF metrics(layout.font, painter.device());
    const double line = metrics.height();
    layout.pad = Points(painter, style.padding);
    layout.tick = Points(painter, style.tickLength);
    layout.x = AxisRange(chart, false);
    layout.y = AxisRange(chart, true);

    double top = area.top() + layout.pad;
    if (!chart.title.isEmpty()) {
        top += line + layout.pad;
    }
    double bottom = area.bottom() - layout.pad - line - layout.tick - layout.pad;
    if (!chart.x.label.isEmpty()) {
        bottom -= line + layout.pad;
    }
    // About one tick per two and a half lines of height.
    const int yCount = std::max(2, static_cast<int>((bottom - top) / (2.5 * line)));
    Ticks(chart.y, layout.y, yCount, layout.yTicks, layout.yLabels);
    double left =
        area.left() + layout.pad + WidestLabel(metrics, layout.yLabels) + layout.pad + layout.tick;
    if (!chart.y.label.isEmpty()) {
        left += line + layout.pad;
    }
    // Room for half of the last x label beyond the plot's right edge.
    const double right =
        area.right() - layout.pad - 0.5 * metrics.horizontalAdvance(QStringLiteral("-0.000"));
    // About one tick per label of "-0.0000" and as much space again.
    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("-0.0000"));
    const int xCount = std::max(2, static_cast<int>((right - left) / (2.0 * labelWidth)));
    Ticks(chart.x, layout.x, xCount, layout.xTicks, layout.xLabels);
    layout.plot = QRectF(QPointF(left, top),
                         QPointF(std::max(left + 1.0, right), std::max(top + 1.0, bottom)));
    return layout;
}

void DrawFrameAndTicks(QPainter& painter, const Layout& layout, const Chart& chart,
                       const Style& style) {
    const QRectF& plot = layout.plot;
    const QFontMetricsF metrics(layout.font, painter.device());
    QPen gridPen(style.grid, Points(painter, 0.5));
    QPen framePen(style.frame, Points(painter, style.frameWidth));
    framePen.setCapStyle(Qt::FlatCap);

    painter.setPen(gridPen);
    for (double value : layout.xTicks) {
        const double x = layout.X(value, chart.x.scale);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (double value : layout.yTicks) {
        const double y = layout.Y(value, chart.y.scale);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

    painter.setPen(framePen);
    painter.drawRect(plot);
    painter.setFont(layout.font);
    for (std::size_t i = 0; i < layout.xTicks.size(); ++i) {
        const double x = layout.X(layout.xTicks[i], chart.x.scale);
        painter.setPen(framePen);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + layout.tick));
        const QString& label = layout.xLabels[static_cast<qsizetype>(i)];
        const double width = metrics.horizontalAdvance(label);
        painter.setPen(style.text);
        painter.drawText(
            QPointF(x - 0.5 * width, plot.bottom() + layout.tick + layout.pad + metrics.ascent()),
            label);
    }
    for (std::size_t i = 0; i < layout.yTicks.size(); ++i) {
        const double y = layout.Y(layout.yTicks[i], chart.y.scale);
        painter.setPen(framePen);
        painter.drawLine(QPointF(plot.left() - layout.tick, y), QPointF(plot.left(), y));
        const QString& label = layout.yLabels[static_cast<qsizetype>(i)];
        const double width = metrics.horizontalAdvance(label);
        painter.setPen(style.text);
        painter.drawText(QPointF(plot.left() - layout.tick - layout.pad - width,
                                 y + 0.5 * (metrics.ascent() - metrics.descent())),
                         label);
    }
}

void DrawTexts(QPainter& painter, const QRectF& area, const Layout& layout, const Chart& chart,
               const Style& style) {
    const QRectF& plot = layout.plot;
    const QFontMetricsF metrics(layout.font, painter.device());
    painter.setPen(style.text);
    if (!chart.title.isEmpty()) {
        painter.setFont(layout.titleFont);
        const QFontMetricsF bold(layout.titleFont, painter.device());
        const double width = bold.horizontalAdvance(chart.title);
        painter.drawText(
            QPointF(plot.center().x() - 0.5 * width, area.top() + layout.pad + bold.ascent()),
            chart.title);
    }
    painter.setFont(layout.font);
    if (!chart.x.label.isEmpty()) {
        const double width = metrics.horizontalAdvance(chart.x.label);
        painter.drawText(QPointF(plot.center().x() - 0.5 * width,
                                 area.bottom() - layout.pad - metrics.descent()),
                         chart.x.label);
    }
    if (!chart.y.label.isEmpty()) {
        const double width = metrics.horizontalAdvance(chart.y.label);
        painter.save();
        painter.translate(area.left() + layout.pad + metrics.ascent(), plot.center().y());
        painter.rotate(-90.0);
        painter.drawText(QPointF(-0.5 * width, 0.0), chart.y.label);
        painter.restore();
    }
}

// The points of a line or step series in pixels, as runs between values that cannot be drawn.
std::vector<QPolygonF> Runs(const Layout& layout, const Chart& chart, const Series& s) {
    std::vector<QPolygonF> runs(1);
    const std::size_t n = std::min(s.x.size(), s.y.size());
    auto breakRun = [&] {
        if (!runs.back().isEmpty()) {
            runs.emplace_back();
        }
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (!Drawable(s.x[i], chart.x.scale) || !Drawable(s.y[i], chart.y.scale)) {
            breakRun();
            continue;
        }
        const double y = layout.Y(s.y[i], chart.y.scale);
        if (s.mark == Mark::Steps) {
            const auto [left, right] = Cell(s.x, i);
            if (!Drawable(left, chart.x.scale) || !Drawable(right, chart.x.scale)) {
                breakRun();
                continue;
            }
            runs.back() << QPointF(layout.X(left, chart.x.scale), y)
                        << QPointF(layout.X(right, chart.x.scale), y);
        } else {
            runs.back() << QPointF(layout.X(s.x[i], chart.x.scale), y);
        }
    }
    if (runs.back().isEmpty()) {
        runs.pop_back();
    }
    return runs;
}

// A run with many points per pixel column reduced to each column's first, lowest, highest
// and last point (in that order), for runs along ascending x.
QPolygonF Thinned(const QPolygonF& run, double columns) {
    if (run.size() <= kPointsPerColumn * columns) {
        return run;
    }
    QPolygonF thin;
    qsizetype i = 0;
    while (i < run.size()) {
        const double column = std::floor(run[i].x());
        QPointF first = run[i];
        QPointF low = first;
        QPointF high = first;
        QPointF last = first;
        qsizetype j = i + 1;
        for (; j < run.size() && std::floor(run[j].x()) == column; ++j) {
            last = run[j];
            if (last.y() > low.y()) {
                low = last; // pixels grow downwards
            }
            if (last.y() < high.y()) {
                high = last;
            }
        }
        thin << first << low << high << last;
        i = j;
    }
    return thin;
}

QPen SeriesPen(const QPainter& painter, const Series& s) {
    const double width = Points(painter, s.width);
    QPen pen(s.color, width <= kHairlinePixels ? 1.0 : width);
    pen.setCosmetic(width <= kHairlinePixels);
    pen.setStyle(s.style);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// Draws a polyline with the painter's pen, a wide solid one piece by piece (see
// kSegmentsPerPiece); a dashed one whole, so that its dashes run on across the pieces.
void DrawPolyline(QPainter& painter, const QPolygonF& line) {
    const QPen& pen = painter.pen();
    if (pen.isCosmetic() || pen.style() != Qt::SolidLine || line.size() <= kSegmentsPerPiece + 1) {
        painter.drawPolyline(line);
        return;
    }
    for (qsizetype start = 0; start + 1 < line.size(); start += kSegmentsPerPiece) {
        painter.drawPolyline(line.mid(start, kSegmentsPerPiece + 1));
    }
}

// Draws the series; false when none had a point to draw.
bool DrawSeries(QPainter& painter, const Layout& layout, const Chart& chart) {
    bool any = false;
    painter.save();
    painter.setClipRect(layout.plot);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const Series& s : chart.series) {
        if (s.mark == Mark::Points) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(s.color);
            const double radius = 0.5 * Points(painter, s.width);
            const std::size_t n = std::min(s.x.size(), s.y.size());
            for (std::size_t i = 0; i < n; ++i) {
                if (Drawable(s.x[i], chart.x.scale) && Drawable(s.y[i], chart.y.scale)) {
                    painter.drawEllipse(
                        QPointF(layout.X(s.x[i], chart.x.scale), layout.Y(s.y[i], chart.y.scale)),
                        radius, radius);
                    any = true;
                }
            }
            continue;
        }
        painter.setPen(SeriesPen(painter, s));
        painter.setBrush(Qt::NoBrush);
        for (const QPolygonF& run : Runs(layout, chart, s)) {
            any = true;
            if (run.size() == 1) {
                painter.drawPoint(run[0]);
            } else {
                DrawPolyline(painter, Thinned(run, layout.plot.width()));
            }
        }
    }
    painter.restore();
    return any;
}

void DrawLegend(QPainter& painter, const Layout& layout, const Chart& chart, const Style& style) {
    std::vector<const Series*> listed;
    for (const Series& s : chart.series) {
        if (!s.name.isEmpty()) {
            listed.push_back(&s);
        }
    }
    if (!chart.legend || listed.empty()) {
        return;
    }
    const QFontMetricsF metrics(layout.font, painter.device());
    const double line = metrics.height();
    const double sample = 2.0 * line;
    double widest = 0.0;
    for (const Series* s : listed) {
        widest = std::max(widest, metrics.horizontalAdvance(s->name));
    }
    const double width = layout.pad * 3.0 + sample + widest;
    const double height = layout.pad * 2.0 + line * static_cast<double>(listed.size());
    const QRectF box(layout.plot.right() - layout.pad - width, layout.plot.top() + layout.pad,
                     width, height);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(style.frame, Points(painter, 0.5)));
    painter.setBrush(style.background.isValid() ? style.background : QColor(Qt::white));
    painter.drawRect(box);
    painter.setFont(layout.font);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const Series& s = *listed[i];
        const double mid = box.top() + layout.pad + line * (static_cast<double>(i) + 0.5);
        const double x0 = box.left() + layout.pad;
        if (s.mark == Mark::Points) {
            const double radius = 0.5 * Points(painter, s.width);
            painter.setPen(Qt::NoPen);
            painter.setBrush(s.color);
            painter.drawEllipse(QPointF(x0 + 0.5 * sample, mid), radius, radius);
        } else {
            painter.setPen(SeriesPen(painter, s));
            painter.drawLine(QPointF(x0, mid), QPointF(x0 + sample, mid));
        }
        painter.setPen(style.text);
        painter.drawText(
            QPointF(x0 + sample + layout.pad, mid + 0.5 * (metrics.ascent() - metrics.descent())),
            s.name);
    }
    painter.restore();
}

} // namespace

Range AxisRange(const Chart& chart, bool vertical) {
    if (!vertical) {
        return Extend(chart.x, DataSpan(chart, false, nullptr));
    }
    const Range x = Extend(chart.x, DataSpan(chart, false, nullptr));
    return Extend(chart.y, DataSpan(chart, true, &x));
}

double TickStep(double lo, double hi, int count) {
    const double raw = (hi - lo) / std::max(1, count);
    if (!(raw > 0.0) || !std::isfinite(raw)) {
        return 1.0;
    }
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw * (1.0 - 1e-9)) {
            return m * power;
        }
    }
    return 10.0 * power;
}

std::vector<double> LinearTicks(double lo, double hi, int count) {
    std::vector<double> ticks;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(lo < hi)) {
        return ticks;
    }
    const double step = TickStep(lo, hi, count);
    const double first = std::ceil(lo / step - 1e-9);
    const double last = std::floor(hi / step + 1e-9);
    for (double k = first; k <= last; ++k) {
        const double value = k * step;
        ticks.push_back(std::fabs(value) < 1e-9 * step ? 0.0 : value);
    }
    return ticks;
}

std::vector<double> LogTicks(double lo, double hi, int count) {
    std::vector<double> ticks;
    if (!(lo > 0.0) || !std::isfinite(hi) || !(lo < hi)) {
        return ticks;
    }
    const int first = static_cast<int>(std::ceil(std::log10(lo) - 1e-9));
    const int last = static_cast<int>(std::floor(std::log10(hi) + 1e-9));
    if (last - first >= 1) {
        const int decades = last - first + 1;
        const int every = std::max(1, (decades + std::max(1, count) - 1) / std::max(1, count));
        for (int k = first; k <= last; ++k) {
            if (k % every == 0) {
                ticks.push_back(std::pow(10.0, k));
            }
        }
        return ticks;
    }
    // Within about one decade: the 1, 2 and 5 multiples of the powers of ten around it.
    for (int k = first - 1; k <= last; ++k) {
        for (double m : {1.0, 2.0, 5.0}) {
            const double value = m * std::pow(10.0, k);
            if (value >= lo * (1.0 - 1e-9) && value <= hi * (1.0 + 1e-9)) {
                ticks.push_back(value);
            }
        }
    }
    return ticks.size() >= 2 ? ticks : LinearTicks(lo, hi, count);
}

QString TickLabel(double value, double step) {
    if (!std::isfinite(value)) {
        return QString::number(value);
    }
    if (!(step > 0.0) || !std::isfinite(step)) {
        step = std::fabs(value) > 0.0 ? std::fabs(value) : 1.0;
    }
    if (std::fabs(value) < 1e-9 * step) {
        return QStringLiteral("0");
    }
    const double magnitude = std::max(std::fabs(value), step);
    if (magnitude >= 1e5 || magnitude < 1e-3) {
        // Exponent form, with the mantissa digits the step needs.
        const int digits = std::clamp(static_cast<int>(std::floor(std::log10(std::fabs(value)))) -
                                          static_cast<int>(std::floor(std::log10(step))),
                                      0, 12);
        return QString::number(value, 'e', digits);
    }
    // The fewest decimals that write the step exactly.
    int decimals = 0;
    while (decimals < 12) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled) {
            break;
        }
        ++decimals;
    }
    return QString::number(value, 'f', decimals);
}

QString LogTickLabel(double value) {
    if (!(value > 0.0) || !std::isfinite(value)) {
        return TickLabel(value, 1.0);
    }
    const double exponent = std::round(std::log10(value));
    if (std::fabs(value - std::pow(10.0, exponent)) > 1e-9 * value) {
        return TickLabel(value, std::pow(10.0, std::floor(std::log10(value))));
    }
    const int k = static_cast<int>(exponent);
    if (k == 0) {
        return QStringLiteral("1");
    }
    if (k == 1) {
        return QStringLiteral("10");
    }
    static const std::array<char16_t, 10> kSuperscripts = {
        u'\u2070', u'\u00B9', u'\u00B2', u'\u00B3', u'\u2074',
        u'\u2075', u'\u2076', u'\u2077', u'\u2078', u'\u2079'};
    QString label = QStringLiteral("10");
    if (k < 0) {
        label += QChar(u'\u207B');
    }
    for (QChar digit : QString::number(std::abs(k))) {
        label += QChar(kSuperscripts[static_cast<std::size_t>(digit.digitValue())]);
    }
    return label;
}

QRectF PlotRect(QPainter& painter, const QRectF& area, const Chart& chart, const Style& style) {
    return MakeLayout(painter, area, chart, style).plot;
}

void Draw(QPainter& painter, const QRectF& area, const Chart& chart, const Style& style) {
    painter.save();
    if (style.background.isValid()) {
        painter.fillRect(area, style.background);
    }
    const Layout layout = MakeLayout(painter, area, chart, style);
    DrawFrameAndTicks(painter, layout, chart, style);
    DrawTexts(painter, area, layout, chart, style);
    if (!DrawSeries(painter, layout, chart) && !chart.emptyNote.isEmpty()) {
        painter.setPen(style.text);
        painter.setFont(layout.font);
        painter.drawText(layout.plot, Qt::AlignCenter | Qt::TextWordWrap, chart.emptyNote);
    }
    DrawLegend(painter, layout, chart, style);
    painter.restore();
}

} // namespace plot
