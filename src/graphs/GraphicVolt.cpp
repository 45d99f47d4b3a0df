#include "graphs/GraphicVolt.h"

#include "volt/LC_VoltDoc.h"

#include <QColor>
#include <QLine>
#include <QList>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const QColor kCurveColour(255, 0, 0);
const QColor kGridColour(0, 200, 0);
const QColor kBorderColour(0, 0, 0);
const QColor kBackgroundColour(255, 255, 255);

// The code drawn on the top row: 2^(digits - 1) - 1 in 16 bits, so 32767 for 16 digits, and
// 65535 for any count above 16 (the low 16 bits of that number are all ones then). Fewer than
// two digits leave no scale at all: 0.
int FullScaleCode(std::int32_t digits) {
    if (digits < 2) {
        return 0;
    }
    const int shift = std::min<std::int32_t>(digits - 1, 16);
    return static_cast<int>((1u << shift) - 1u);
}

// The rows and columns of the plot, in the integer arithmetic of a device context: the right
// and bottom edges lie just outside the area (right = left + width, bottom = top + height).
struct Plot {
    int left;
    int top;
    int right;
    int bottom;

    // The row of a code: the bottom row for 0, the top row for the full scale code; the product
    // in double, then the division, then truncation. Codes above the full scale (possible in a
    // loaded file) stay on the top row instead of leaving the plot.
    int Row(std::uint16_t code, int fullScale) const {
        const int span = bottom - top - 1;
        const double rise = static_cast<double>(span) * static_cast<double>(code) / fullScale;
        return bottom - static_cast<int>(std::min(rise, static_cast<double>(span))) - 1;
    }

    // The left edge of column i of n equal columns (i = n gives the right edge); 64-bit, so
    // that large arrays cannot overflow the product.
    int ColumnEdge(std::size_t i, std::size_t n) const {
        const auto width = static_cast<std::int64_t>(right - left);
        return left + static_cast<int>(width * static_cast<std::int64_t>(i) /
                                       static_cast<std::int64_t>(n));
    }
};

// The step curve: each element is a horizontal line across its own column at the row of its
// code, joined to its left neighbour by a vertical line on the column's left edge. Elements
// whose columns collapse onto one pixel column (more elements than pixels) only add to that
// column's vertical line, which then spans every row they reach; this draws the same pixels
// as one vertical and one horizontal line per element, with at most two lines per pixel
// column however large the array.
QList<QLine> StepCurve(const Plot& plot, const std::vector<std::uint16_t>& codes, int fullScale) {
    QList<QLine> lines;
    const std::size_t count = codes.size();
    const auto columns = static_cast<std::size_t>(plot.right - plot.left);
    lines.reserve(static_cast<qsizetype>(2 * std::min(count, columns)));

    int x = plot.ColumnEdge(0, count);
    int low = plot.Row(codes[0], fullScale);
    int high = low;
    for (std::size_t i = 0; i < count; ++i) {
        const int y = plot.Row(codes[i], fullScale);
        low = std::min(low, y);
        high = std::max(high, y);
        const int next = plot.ColumnEdge(i + 1, count);
        if (next > x) {
            if (low < high) {
                lines.emplaceBack(x, low, x, high);
            }
            lines.emplaceBack(x, y, next - 1, y);
            x = next;
            low = y;
            high = y;
        }
    }
    return lines;
}

} // namespace

CGraphicVolt::CGraphicVolt(QWidget* parent) : DocumentGraph(parent) {}

CGraphicVolt::~CGraphicVolt() = default;

void CGraphicVolt::Draw(QPainter& painter, const QRect& client) const {
    if (client.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(client, kBackgroundColour);

    if (m_document != nullptr) {
        const Plot plot{client.left(), client.top(), client.left() + client.width(),
                        client.top() + client.height()};

        // Three vertical grid lines at the quarters; no axis and no horizontal lines.
        const int width = plot.right - plot.left;
        const int last = plot.bottom - 1;
        painter.setPen(HairlinePen(kGridColour));
        for (const int quarter : {1, 2, 3}) {
            const int x = plot.left + quarter * width / 4;
            painter.drawLine(x, plot.top, x, last);
        }

        // An empty array has no curve; without a scale there is none either.
        const std::vector<std::uint16_t>& codes = m_document->ElementCodes();
        const int fullScale = FullScaleCode(m_document->DacDigits());
        if (!codes.empty() && fullScale > 0) {
            painter.setPen(HairlinePen(kCurveColour));
            painter.drawLines(StepCurve(plot, codes, fullScale));
        }
    }
    painter.restore();
}

void CGraphicVolt::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(HairlinePen(kBorderColour));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    Draw(painter, contentsRect());
}
