#include "graphs/GraphicWnd.h"

#include "profile/TessaronDoc.h"
#include "ui/FontCell.h"

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QLine>
#include <QList>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

const QColor kBackgroundColour(255, 255, 255);
const QColor kBorderColour(0, 0, 0);
const QColor kTextColour(0, 0, 0);

// The label gap and offsets, in device units, on screen and on paper.
constexpr int kScreenLabelX = 4;
constexpr int kScreenGap = 8;
constexpr int kPrintLabelX = 15;
constexpr int kPrintGap = 30;
// The printed label font: cell height and average character width in device units.
constexpr int kPrintFontHeight = 50;
constexpr int kPrintFontWidth = 23;

// A double truncated toward zero into an int; values beyond the range of int are held at its
// ends and a value that is not a number gives 0, so that no conversion is undefined.
int Trunc(double value) {
    if (!(value == value)) {
        return 0;
    }
    if (value >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (value <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// Where a phase lies between 0 and the maximum phase, as a fraction held to [0, 1]: phases
// below 0 (or not numbers) on the bottom, above the maximum on the top. Without a positive
// maximum there is no scale; then only the level 0 is at the bottom and anything above it at
// the top.
double Fraction(double phase, double maxPhase) {
    const double fraction = maxPhase > 0.0 ? phase / maxPhase : (phase > 0.0 ? 1.0 : 0.0);
    if (!(fraction > 0.0)) {
        return 0.0;
    }
    return std::min(fraction, 1.0);
}

// The code drawn on the top row of the corrected curve: 2^(digits - 1) - 1 in 16 bits, so
// 32767 for 16 digits and 65535 for any count above 16. Fewer than two digits give no scale.
int FullScaleCode(std::int32_t digits) {
    if (digits < 2) {
        return 0;
    }
    const int shift = std::min<std::int32_t>(digits - 1, 16);
    return static_cast<int>((1u << shift) - 1u);
}

void HorizontalLine(QPainter& painter, int y, int fromX, int toX) {
    if (toX > fromX) {
        painter.drawLine(fromX, y, toX - 1, y); // the end point is not part of the line
    }
}

void VerticalLine(QPainter& painter, int x, int fromY, int toY) {
    if (toY > fromY) {
        painter.drawLine(x, fromY, x, toY - 1);
    }
}

} // namespace

// The sides of the graph rectangle in the integer arithmetic of a device context (right and
// bottom lie just outside it) and the label column's width: the plot runs from x = left +
// margin to right and from y = top to bottom.
struct CGraphicWnd::Frame {
    int left;
    int top;
    int right;
    int bottom;
    int margin = 0;

    int PlotWidth() const { return right - left - margin; }

    // The left edge of column i of n equal columns (i = n gives the right edge); 64-bit, so
    // that no element count can overflow the product.
    int ColumnEdge(std::int64_t i, std::int64_t n) const {
        return static_cast<int>(static_cast<std::int64_t>(PlotWidth()) * i / n) + margin + left;
    }

    // The step curve over `columns` columns of the first `count` levels: each element is a
    // horizontal line across its own column, joined to its left neighbour by a vertical line
    // on the column's left edge that stops short of the element's own row.
    template <typename Level>
    QList<QLine> StepCurve(std::int64_t columns, std::size_t count, Level level) const {
        QList<QLine> lines;
        lines.reserve(static_cast<qsizetype>(2 * count));
        int previous = count > 0 ? level(0) : 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int y = level(i);
            const int x = ColumnEdge(static_cast<std::int64_t>(i), columns);
            const int next = ColumnEdge(static_cast<std::int64_t>(i) + 1, columns);
            if (y != previous) {
                lines.emplaceBack(x, previous, x, y < previous ? y + 1 : y - 1);
            }
            if (next > x) {
                lines.emplaceBack(x, y, next - 1, y);
            }
            previous = y;
        }
        return lines;
    }
};

CGraphicWnd::CGraphicWnd(QWidget* parent)
    : DocumentGraph(parent), m_penPhase(HairlinePen(QColor(255, 0, 0))),
      m_penFrame(HairlinePen(QColor(0, 0, 0))), m_penGrid(HairlinePen(QColor(0, 200, 0))),
      m_penCode(HairlinePen(QColor(0, 0, 255))),
      m_penLimit(HairlinePen(QColor(255, 128, 64), Qt::DashLine)),
      m_penCodeLimit(HairlinePen(QColor(128, 128, 255), Qt::DashLine)) {}

CGraphicWnd::~CGraphicWnd() = default;

void CGraphicWnd::SetCurrentElementSource(std::function<int()> source) {
    m_currentElement = std::move(source);
    update();
}

QFont CGraphicWnd::LabelFont(const QPainter& painter, bool printing) const {
    // On paper the font is sized in the printer's own pixels.
    return printing ? FitFontCell(font(), painter.device(), kPrintFontHeight, kPrintFontWidth)
                    : font();
}

int CGraphicWnd::DrawAxes(QPainter& painter, const Frame& frame, bool printing) const {
    const int left = frame.left;
    const int top = frame.top;
    const int right = frame.right;
    const int bottom = frame.bottom;

    painter.setFont(LabelFont(painter, printing));
    const QFontMetrics metrics = painter.fontMetrics();
    const int cy = std::max(1, metrics.height());

    // The largest multiple of the maximum phase's power of ten not above it (V), its height
    // in pixels (P) and the number of label intervals up to it (n), each at least five label
    // heights tall. Without a positive maximum phase, or when the plot is too low for one
    // interval, n stays 0: then only the label 0 and the bottom grid line are drawn.
    const double maxPhase = m_document->MaxPhase();
    double topValue = 0.0;
    std::int64_t pixels = 0;
    std::int64_t intervals = 0;
    if (maxPhase > 0.0 && std::isfinite(maxPhase)) {
        const double step = std::pow(10.0, std::floor(std::log10(maxPhase)));
        topValue = std::floor(maxPhase / step) * step;
        if (topValue > 0.0 && std::isfinite(topValue)) {
            pixels = Trunc(static_cast<double>(bottom - top) * (topValue / maxPhase));
            intervals = pixels / (5 * cy);
        }
    }

    // Labels: the first with its top cy + 1 pixels above the bottom, the others centred on
    // their grid lines, as long as a label's top lies below the top edge.
    int margin = 0;
    const int textX = left + (printing ? kPrintLabelX : kScreenLabelX);
    painter.setPen(kTextColour);
    std::int64_t acc = 0;
    for (std::int64_t i = 0, y = bottom - cy - 1; y > top; ++i) {
        const double value =
            intervals > 0 ? static_cast<double>(i) * topValue / static_cast<double>(intervals)
                          : 0.0;
        const QString text = QString::asprintf("%.3f", value) + QChar(0x03C0);
        margin = std::max(margin, metrics.horizontalAdvance(text));
        painter.drawText(textX, static_cast<int>(y) + metrics.ascent(), text);
        if (intervals == 0) {
            break;
        }
        acc += pixels;
        y = bottom - cy / 2 - acc / intervals - 1;
    }
    margin += printing ? kPrintGap : kScreenGap;

    // Horizontal grid lines at the same spacing, from the bottom row up to the top edge.
    painter.setPen(m_penGrid);
    acc = 0;
    for (std::int64_t y = bottom - 1; y > top;) {
        HorizontalLine(painter, static_cast<int>(y), left + margin, right);
        if (intervals == 0) {
            break;
        }
        acc += pixels;
        y = bottom - acc / intervals - 1;
    }

    // Vertical grid lines at the quarters of the plot, then the left axis.
    const int width = right - margin - left;
    if (width > 0) {
        for (const int quarter : {1, 2, 3}) {
            VerticalLine(painter, left + margin + quarter * width / 4, top, bottom);
        }
        VerticalLine(painter, left + margin, top, bottom);
    }
    return margin;
}

void CGraphicWnd::DrawLimits(QPainter& painter, const Frame& frame) const {
    const CTessaronDoc& doc = *m_document;
    const double maxPhase = doc.MaxPhase();
    // Without a positive maximum phase no limit has a level.
    if (!(maxPhase > 0.0) || frame.PlotWidth() <= 0) {
        return;
    }
    const int height = frame.bottom - frame.top;
    const std::pair<double, bool> limits[] = {
        {doc.LowLimit(), doc.LowLimit() > 0.0},
        {doc.HighLimit(), doc.HighLimit() > 0.0 && doc.HighLimit() < maxPhase},
    };
    // A line whose row falls outside the plot (a limit above the maximum phase, only possible
    // in a damaged file) is left out rather than drawn beyond the graph.
    const auto line = [&](std::int64_t y) {
        if (y >= frame.top && y < frame.bottom) {
            HorizontalLine(painter, static_cast<int>(y), frame.left + frame.margin, frame.right);
        }
    };

    painter.setPen(m_penLimit);
    for (const auto& [limit, drawn] : limits) {
        const double fraction = limit / maxPhase;
        if (drawn && fraction < 1.0) {
            line(std::int64_t{frame.bottom} - Trunc(height * fraction) - 1);
        }
    }

    // The same limits at the level of their corrected codes; the table lookup is held inside
    // the table whatever the limits and the maximum phase.
    const std::size_t entries = doc.Correction().size();
    if (doc.UseCorrection() && entries >= 2) {
        painter.setPen(m_penCodeLimit);
        const auto scale = static_cast<std::int64_t>(entries - 1);
        for (const auto& [limit, drawn] : limits) {
            if (drawn) {
                const std::int64_t code = doc.PhaseToDigits(limit);
                line(frame.bottom - code * height / scale - 1);
            }
        }
    }
}

void CGraphicWnd::Draw(QPainter& painter, const QRect& graphRect, bool printing) {
    m_nMargin = 0;
    m_rcGraph = graphRect;
    if (!printing) {
        m_nScreenMargin = 0;
    }
    if (m_document == nullptr || graphRect.isEmpty()) {
        return;
    }
    const CTessaronDoc& doc = *m_document;

    painter.save();
    painter.resetTransform();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    if (!printing) {
        // On screen nothing is drawn outside the control's client area.
        painter.setClipRect(graphRect, Qt::IntersectClip);
    }

    Frame frame{graphRect.left(), graphRect.top(), graphRect.left() + graphRect.width(),
                graphRect.top() + graphRect.height()};
    frame.margin = DrawAxes(painter, frame, printing);
    m_nMargin = frame.margin;
    if (!printing) {
        m_nScreenMargin = frame.margin;
    }
    DrawLimits(painter, frame);

    painter.setPen(m_penFrame);
    if (printing) {
        painter.drawRect(frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top);
    }

    // The data walk m_nElements columns; a damaged file with fewer values than that leaves
    // the columns beyond its values empty.
    const std::int64_t columns = doc.Elements();
    const std::size_t count =
        columns > 0 ? std::min(doc.Phase().size(), static_cast<std::size_t>(columns)) : 0;
    const int plotHeight = frame.bottom - frame.top - 1;
    if (frame.PlotWidth() > 0 && columns > 0) {
        const int selected = !printing && m_currentElement ? m_currentElement() : -1;
        if (selected >= 0 && selected < columns) {
            const std::int64_t x = static_cast<std::int64_t>(frame.PlotWidth()) *
                                       (2 * std::int64_t{selected} + 1) / columns / 2 +
                                   frame.margin + frame.left;
            VerticalLine(painter, static_cast<int>(x), frame.top, frame.bottom);
        }

        const double maxPhase = doc.MaxPhase();
        const int fullScale = FullScaleCode(doc.DacDigits());
        const std::vector<std::uint16_t>& table = doc.Correction();
        if (doc.UseCorrection() && fullScale > 0 && !table.empty()) {
            // The level of a phase as a code between 0 and the full scale, looked up in the
            // table (held inside it if the table is shorter than the digits ask for); codes
            // above the full scale stay on the top row.
            const auto level = [&](std::size_t i) {
                const int position = Trunc(Fraction(doc.Phase()[i], maxPhase) * fullScale);
                const std::uint16_t code =
                    table[std::min(static_cast<std::size_t>(position), table.size() - 1)];
                const std::int64_t rise = std::int64_t{plotHeight} * code / fullScale;
                return frame.bottom - static_cast<int>(std::min<std::int64_t>(rise, plotHeight)) -
                       1;
            };
            painter.setPen(m_penCode);
            painter.drawLines(frame.StepCurve(columns, count, level));
        }

        const auto level = [&](std::size_t i) {
            return frame.bottom - Trunc(plotHeight * Fraction(doc.Phase()[i], maxPhase)) - 1;
        };
        painter.setPen(m_penPhase);
        painter.drawLines(frame.StepCurve(columns, count, level));
    }
    painter.restore();
}

void CGraphicWnd::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackgroundColour);
    painter.setPen(HairlinePen(kBorderColour));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    Draw(painter, contentsRect(), false);
}

void CGraphicWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (m_document == nullptr || m_document->Elements() <= 0) {
        return;
    }
    // In the coordinates of the graph inside the border, with the label column of the last
    // drawing on screen: the column under the mouse, the label column counting as element 0
    // and anything beyond the last column as the last element.
    const QRect client = contentsRect();
    const std::int64_t x = event->position().toPoint().x() - client.left();
    const std::int64_t plot = client.width() - m_nScreenMargin;
    const std::int64_t elements = m_document->Elements();
    const std::int64_t k = plot > 0 ? (x - m_nScreenMargin) * elements / plot : 0;
    emit elementClicked(static_cast<int>(std::clamp<std::int64_t>(k, 0, elements - 1)));
}
