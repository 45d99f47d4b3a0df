// A small XY plot drawer for any QPainter (a widget, an image, a PDF page): a frame with
// ticks, tick labels and a light grid, axis labels and a title, several series drawn as
// lines, steps or points, linear or logarithmic axes, and a legend.
//
// QtGui only (no widgets), so the command line tool draws the same pictures as the window
// program. Sizes are given in points (1/72 inch) and turned into the painter's pixels by the
// device's resolution, so a chart looks alike on a screen, on an image and on paper.
#pragma once

#include <QColor>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

class QPainter;

namespace plot {

enum class Scale { Linear, Logarithmic };

enum class Mark {
    Line,  // a polyline through the points, broken where a value cannot be drawn
    Steps, // each point holds its value across its own cell, from the midpoint to its left
           // neighbour to the midpoint to its right one (a row of elements)
    Points // a dot at each point
};

struct Series {
    QString name; // in the legend; a series without a name is not listed
    std::vector<double> x;
    std::vector<double> y;
    QColor color = Qt::black;
    Mark mark = Mark::Line;
    Qt::PenStyle style = Qt::SolidLine;
    double width = 1.0; // line width or dot diameter, points
};

struct Axis {
    QString label;
    Scale scale = Scale::Linear;
    // A fixed end of the range. An end that is not given follows the data: on a linear axis
    // out to the next tick, on a logarithmic one to the next power of ten.
    std::optional<double> min;
    std::optional<double> max;
};

struct Chart {
    QString title;
    Axis x;
    Axis y;
    std::vector<Series> series;
    bool legend = true;
    // Shown in the middle of the plot when no series has a point to draw.
    QString emptyNote = "No data";
};

struct Style {
    double fontSize = 8.0;   // points
    double tickLength = 3.0; // points
    double padding = 4.0;    // points, around the texts
    double frameWidth = 0.75;
    QColor text = Qt::black;
    QColor frame = Qt::black;
    QColor grid = QColor(220, 220, 220);
    QColor background = Qt::white; // of the whole area; invalid: transparent
};

// The span an axis shows.
struct Range {
    double lo = 0.0;
    double hi = 1.0;
};

// Draws `chart` into `area` (the painter's coordinates). The painter is left as it was found.
void Draw(QPainter& painter, const QRectF& area, const Chart& chart, const Style& style = {});

// The rectangle inside `area` that the data are plotted in, once room is made for the title,
// the labels and the tick labels; what Draw uses.
QRectF PlotRect(QPainter& painter, const QRectF& area, const Chart& chart, const Style& style = {});

// The range an axis of `chart` shows (the y axis when `vertical`): its fixed ends, else the
// data's own span extended as described at Axis, or a unit span around a single value. On a
// logarithmic axis only positive values count (without any, 1 to 10). The y axis spans the
// points that lie within the x axis's range.
Range AxisRange(const Chart& chart, bool vertical);

// Tick values of a linear axis: the multiples of a step of 1, 2 or 5 times a power of ten,
// chosen so that about `count` of them fall into [lo, hi], in ascending order.
std::vector<double> LinearTicks(double lo, double hi, int count);
// The step between LinearTicks(lo, hi, count).
double TickStep(double lo, double hi, int count);
// Tick values of a logarithmic axis: powers of ten within [lo, hi], every k-th one so that at
// most `count` remain; for a range within one decade, the 1, 2 and 5 multiples within it.
std::vector<double> LogTicks(double lo, double hi, int count);
// A linear tick's label with as many decimals as the step needs ("0.25", "-1.5", "1500");
// very large or very small values in exponent form ("2.5e-06").
QString TickLabel(double value, double step);
// A power of ten as "10" with a superscript exponent; other values as TickLabel with their
// own magnitude as step.
QString LogTickLabel(double value);

} // namespace plot
