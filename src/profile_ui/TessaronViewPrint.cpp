// The printed report of the profile form.
#include "framework/NumberText.h"
#include "graphs/GraphicWnd.h"
#include "optics_ui/ProfileCheck.h"
#include "profile_ui/TessaronView.h"
#include "ui/FontCell.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <cmath>
#include <cstdio>

namespace {

// Tenths of a millimetre with y growing upwards from the top left corner of the printable
// area, and the painter's device pixels.
class PaperUnits {
public:
    explicit PaperUnits(const QPaintDevice& device)
        : m_x(device.logicalDpiX() / 254.0), m_y(device.logicalDpiY() / 254.0) {}

    QPoint ToDevice(int x, int y) const {
        return {static_cast<int>(std::lround(x * m_x)), static_cast<int>(std::lround(-y * m_y))};
    }
    int WidthToDevice(int length) const { return static_cast<int>(std::lround(length * m_x)); }
    int HeightToDevice(int length) const { return static_cast<int>(std::lround(length * m_y)); }
    int HeightToPaper(int pixels) const { return static_cast<int>(std::lround(pixels / m_y)); }
    int WidthToPaper(int pixels) const { return static_cast<int>(std::lround(pixels / m_x)); }

private:
    double m_x;
    double m_y;
};

// The graph's place on page 1 and the report's positions, in tenths of a millimetre.
constexpr int kHeadingX = 200;
constexpr int kDataX = 100;
constexpr int kFirstDataY = -1520;
constexpr int kLaterDataY = -100;
constexpr int kLinePitch = 45;
constexpr int kValuesPerLine = 4;

// The fonts' cells: heading 4.5 mm high with 2 mm characters, data 4 mm with 2.2 mm.
constexpr int kTextHeight = 45;
constexpr int kTextWidth = 20;
constexpr int kDataHeight = 40;
constexpr int kDataWidth = 22;

// Draws `text` with its top left corner at a paper position, unless only laying out.
void TextAt(QPainter& painter, const PaperUnits& units, const PrintInfo& info, int x, int y,
            const QString& text) {
    if (info.draw) {
        const QPoint at = units.ToDevice(x, y);
        painter.drawText(at.x(), at.y() + painter.fontMetrics().ascent(), text);
    }
}

QString DataEntry(int index, double value) {
    return QString::fromStdString(numtext::FormatIndex(index) + ": " +
                                  numtext::FormatExp(value, 6, 3));
}

} // namespace

QFont CTessaronView::ReportTextFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setWeight(QFont::Normal);
    return font;
}

QFont CTessaronView::ReportDataFont() {
    QFont font = ReportTextFont();
    font.setWeight(QFont::Bold);
    return font;
}

std::string CTessaronView::ReportDateLine(const std::tm& local) {
    // The month's name in English whatever the user's locale, like the rest of the report.
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    const int month = local.tm_mon >= 0 && local.tm_mon < 12 ? local.tm_mon : 0;
    char text[96];
    std::snprintf(text, sizeof text, "today is: %02d:%02d, %02d %s, %d", local.tm_hour,
                  local.tm_min, local.tm_mday, kMonths[month], local.tm_year + 1900);
    return text;
}

void CTessaronView::OnBeginPrinting(QPainter&, PrintInfo&) {
    m_pageStarts.assign(1, 0);
    m_checkPage = checkui::ReportHasCheckPage(m_document.Settings());
}

void CTessaronView::OnEndPrinting(QPainter&, PrintInfo&) {
    m_pageStarts.clear();
    m_pageStarts.shrink_to_fit();
}

void CTessaronView::OnPrepareDC(QPainter&, PrintInfo& info) {
    // A page goes on while values are left for it. Page 1 always prints, so that a profile
    // without values still gives its heading. A page whose predecessor was not laid out in
    // this run has no known start and is not printed.
    if (m_checkPage && info.currentPage == 2) {
        info.continuePrinting = m_pageStarts.size() >= 2; // after page 1
        return;
    }
    const auto page = static_cast<std::size_t>(DataPage(info.currentPage));
    const auto values = static_cast<int>(m_document.Phase().size());
    info.continuePrinting =
        page >= 1 && page <= m_pageStarts.size() && (page == 1 || m_pageStarts[page - 1] < values);
}

void CTessaronView::OnPrint(QPainter& painter, PrintInfo& info) {
    if (m_checkPage && info.currentPage == 2) {
        if (info.draw) {
            checkui::DrawProfileCheckPage(
                painter, QRectF(0.0, 0.0, info.printableRect.width(), info.printableRect.height()),
                m_document, m_document.Settings());
        }
        return;
    }
    const PaperUnits units(*painter.device());
    const int page = DataPage(info.currentPage);
    painter.setPen(QPen(Qt::black, 0));
    painter.setFont(FitFontCell(m_fontText, painter.device(), units.HeightToDevice(kTextHeight),
                                units.WidthToDevice(kTextWidth)));
    const QFontMetrics textMetrics = painter.fontMetrics();
    // The height of a heading line, in tenths of a millimetre.
    const int h = units.HeightToPaper(textMetrics.height());

    int y = kLaterDataY;
    if (page == 1) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const QString date = QString::fromStdString(ReportDateLine(local));
        TextAt(painter, units, info, kHeadingX, -140, date);
        if (info.draw) {
            const int w = units.WidthToPaper(textMetrics.horizontalAdvance(date));
            painter.drawLine(units.ToDevice(kHeadingX, -150 - h),
                             units.ToDevice(kHeadingX + w, -150 - h));
        }
        TextAt(painter, units, info, kHeadingX, -210,
               "File title: " + QString::fromStdString(m_document.GetTitle()));
        TextAt(painter, units, info, kHeadingX, -270, "Profile graphic:");
        if (info.draw) {
            const QPoint topLeft = units.ToDevice(200, -350);
            const QPoint bottomRight = units.ToDevice(1200, -1250);
            m_graph->Draw(
                painter,
                QRect(topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y())),
                true);
        }
        if (m_document.UseCorrection()) {
            TextAt(painter, units, info, kHeadingX, -1290,
                   "Correction table: \"" + QString::fromStdString(m_document.CorrectionPath()) +
                       "\"");
        }
        TextAt(painter, units, info, kHeadingX, -1350,
               QString::fromStdString(
                   "Maximum phase: " + numtext::FormatExp(m_document.MaxPhase(), 3, 3) +
                   ";   Number of elements: " + std::to_string(m_document.Elements()) +
                   ";  Aperture: " + numtext::FormatExp(m_document.Aperture(), 3, 3)));
        TextAt(painter, units, info, kHeadingX, -1450, "Elements of data:");
        y = kFirstDataY;
    }

    // The values, four to a line, as many whole lines as fit above the bottom of the
    // printable area.
    painter.setFont(FitFontCell(m_fontData, painter.device(), units.HeightToDevice(kDataHeight),
                                units.WidthToDevice(kDataWidth)));
    const int bottom = -units.HeightToPaper(info.printableRect.height());
    const int values = static_cast<int>(m_document.Phase().size());
    const int start = m_pageStarts[static_cast<std::size_t>(page - 1)];
    QString line;
    int i = start;
    for (; i < values; ++i) {
        if (i % kValuesPerLine == 0) {
            // A page after the first always takes one line, so that paper too short for any
            // line cannot make the run go on for ever.
            if (y - h < bottom && !(page > 1 && i == start)) {
                break;
            }
        } else {
            line += ",  ";
        }
        line += DataEntry(i, m_document.Phase()[static_cast<std::size_t>(i)]);
        if (i % kValuesPerLine == kValuesPerLine - 1) {
            TextAt(painter, units, info, kDataX, y, line);
            y -= kLinePitch;
            line.clear();
        }
    }
    if (i >= values && !line.isEmpty()) {
        TextAt(painter, units, info, kDataX, y, line);
    }
    if (m_pageStarts.size() <= static_cast<std::size_t>(page)) {
        m_pageStarts.resize(static_cast<std::size_t>(page) + 1);
    }
    m_pageStarts[static_cast<std::size_t>(page)] = i;
}
