// The profile graph: grid and labels of the worked examples, limit lines, the two curves, the
// marker, damaged documents, the printed variant and the mapping of clicks to elements.
#include "graphs/GraphicWnd.h"

#include "support/ProfileFixture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <climits>
#include <cmath>
#include <map>
#include <sstream>

namespace {

const std::map<std::string, QRgb> kColours = {{"red", 0xffff0000},   {"blue", 0xff0000ff},
                                              {"green", 0xff00c800}, {"orange", 0xffff8040},
                                              {"light", 0xff8080ff}, {"black", 0xff000000}};

// Each probe "colour:where=runs" of `probes` as the image has it: the runs ("a-b,c") of the colour
// along row 5 for "r5", along column 5 for "c5", or of the rows that hold it anywhere for "rows".
std::string Probes(const QImage& image, const std::string& probes) {
    std::string seen;
    std::istringstream in(probes);
    for (std::string probe; in >> probe;) {
        const std::string at =
            probe.substr(probe.find(':') + 1, probe.find('=') - probe.find(':') - 1);
        const bool rows = at == "rows", row = at[0] == 'r' && !rows;
        const int line = rows ? 0 : std::stoi(at.substr(1)),
                  n = row ? image.width() : image.height();
        const auto on = [&, colour = kColours.at(probe.substr(0, probe.find(':')))](int i) {
            bool hit = false;
            for (int x = 0; i >= 0 && i < n && x < (rows ? image.width() : 1); ++x) {
                hit = hit || image.pixel(row ? i : rows ? x : line, row ? line : i) == colour;
            }
            return hit;
        };
        seen += (seen.empty() ? "" : " ") + probe.substr(0, probe.find('=') + 1);
        for (int i = 0, start = 0, first = 1; i < n; ++i) {
            start = on(i) && !on(i - 1) ? i : start;
            if (on(i) && !on(i + 1)) {
                seen += (first-- > 0 ? "" : ",") + std::to_string(start) +
                        (i > start ? "-" + std::to_string(i) : "");
            }
        }
    }
    return seen;
}

class GraphicWndTest : public ProfileFixture {
protected:
    GraphicWndTest() {
        graph.SetDocument(doc.get());
        graph.SetCurrentElementSource([this] { return selected; });
        // Labels 16 pixels high, as in the worked examples.
        for (int size = 8; size < 40 && QFontMetrics(label).height() != 16; ++size) {
            label.setPixelSize(size);
        }
        graph.setFont(label);
    }
    void Draw(QImage& image, const QRect& area, bool printing = false, double scale = 1) {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(scale, scale); // the graph draws in device units whatever the transform
        graph.Draw(painter, area, printing);
    }

    CGraphicWnd graph;
    QFont label{"DejaVu Sans", 1};
    int selected = -1;
};

TEST_F(GraphicWndTest, LabelsAndGridLinesOfAPlot260High) {
    ASSERT_EQ(QFontMetrics(label).height(), 16);
    // Maximum phase, the label tops with their texts, the rows of the horizontal grid lines.
    const std::tuple<double, std::vector<std::pair<int, const char*>>, std::string> cases[] = {
        {2.0, {{243, "0.000"}, {165, "0.667"}, {78, "1.333"}}, "86,173,259"},
        {1.9, {{243, "0.000"}, {115, "1.000"}}, "123,259"},
        {0.75, {{243, "0.000"}, {171, "0.233"}, {90, "0.467"}, {9, "0.700"}}, "17,98,179,259"},
        // Too low for one interval (50 high), or no maximum phase: zero label and bottom line.
        {2.0, {{33, "0.000"}}, "49"},
        {0.0, {{243, "0.000"}}, "259"}};
    for (const auto& [maxPhase, labels, gridRows] : cases) {
        SCOPED_TRACE(testing::Message() << "maximum phase " << maxPhase << ", grid " << gridRows);
        DocFields(*doc).m_dMaxPhase = maxPhase;
        const int h = gridRows == "49" ? 50 : 260;
        QImage image(300, h, QImage::Format_RGB32), expected = image;
        Draw(image, image.rect());
        // The labels should look like their texts drawn at their places in the same font.
        expected.fill(Qt::white);
        QPainter reference(&expected);
        reference.setFont(label);
        int widest = 0;
        for (const auto& [top, value] : labels) {
            const QString text = QString(value) + QChar(0x03C0);
            widest = std::max(widest, reference.fontMetrics().horizontalAdvance(text));
            reference.drawText(4, top + reference.fontMetrics().ascent(), text);
        }
        const int margin = widest + 8;
        EXPECT_EQ(graph.Margin(), margin);
        EXPECT_EQ(image.copy(0, 0, margin, 260), expected.copy(0, 0, margin, 260));
        const std::string grid = "green:c1=" + gridRows + " green:c0=0-" + std::to_string(h - 1);
        EXPECT_EQ(Probes(image.copy(margin, 0, 2, h), grid), grid);
    }
}

TEST_F(GraphicWndTest, CurvesLimitsAndMarkerLandOnTheirRows) {
    std::vector<std::uint16_t> halved(512);
    std::generate(halved.begin(), halved.end(), [k = 0]() mutable { return k++ / 2; });
    const std::vector<std::uint16_t> shortTable{7, 30000}, coarse{0, 511};
    // Correction, table, phases, low and high limit, maximum phase, elements, digits, marker.
    using Doc = std::tuple<bool, std::vector<std::uint16_t>, std::vector<double>, double, double,
                           double, int, int, int>;
    // A plot 400 by 101: 100 rows per full scale for the curves, 101 for the limits.
    const std::pair<Doc, std::string> cases[] = {
        {{0, halved, {0.5, 2, 1, 1}, 0.4, 1.49, 2, 4, 10, -1},
         "red:r75=0-100 red:r0=100-200 red:r50=100,200-399 red:c200=0-50 orange:rows=25,80 "
         "blue:rows= light:rows= black:rows="},
        {{1, halved, {0.5, 2, 1, 1}, 0.4, 1.49, 2, 4, 10, -1},
         "red:r75=0-100 blue:r88=0-100 blue:r51=101-200 blue:r76=100,200-399 orange:rows=25,80 "
         "light:rows=63,90"},
        // Lines at 0 and at the maximum phase are not drawn.
        {{1, halved, {0.5, 2, 1, 1}, 0, 2, 2, 4, 10, -1}, "orange:rows= light:rows="},
        // One element spans the plot; the marker sits in the middle of its column.
        {{0, halved, {1}, 0, 2, 2, 1, 10, 0}, "red:rows=50 red:r50=0-399 black:c200=0-49,51-100"},
        {{0, halved, {0, 0, 0, 0}, 0, 2, 2, 4, 10, 3}, "black:c350=0-99 black:rows=0-99"},
        {{0, halved, {0, 0, 0, 0}, 0, 2, 2, 4, 10, 4}, "black:rows="},
        // Damaged: table too short for its digits, phases out of range, limits above the maximum,
        // fewer phases than elements, no maximum phase, no digits, no elements, too many elements.
        {{1, shortTable, {-1, 9, 2}, 3, 2.5, 2, 4, 16, -1},
         "red:r100=0-100 red:r0=100-299 blue:r9=101-299 red:c350= orange:rows= light:rows="},
        {{1, coarse, {0, 1}, 1e300, 0, 0, 2, 10, -1},
         "red:r100=0-200 red:r0=200-399 blue:rows= green:c1= orange:rows="},
        {{1, coarse, {0, 1}, 0, 0, std::nan(""), 2, INT_MIN, -1},
         "red:r100=0-200 red:r0=200-399 blue:rows="},
        {{1, coarse, {0, 1}, 0, 0, -1, 0, 10, 0}, "red:rows= blue:rows= black:rows="},
        {{1, coarse, {0, 1}, 1e300, 0, 2, INT_MAX, 10, -1},
         "red:c0=51-100 red:rows=51-100 blue:c0=1-50 orange:rows= light:rows="}};
    QImage image(400, 101, QImage::Format_RGB32);
    for (const auto& [fields, expected] : cases) {
        SCOPED_TRACE(expected);
        std::tie(DocFields(*doc).m_bUseCorrection, DocFields(*doc).m_correction,
                 DocFields(*doc).m_phase, DocFields(*doc).m_dLowLimit, DocFields(*doc).m_dHighLimit,
                 DocFields(*doc).m_dMaxPhase, DocFields(*doc).m_nElements,
                 DocFields(*doc).m_nDacDigits, selected) = fields;
        Draw(image, image.rect()); // finds the label column, then puts it left of the image
        Draw(image, QRect(-graph.Margin(), 0, 400 + graph.Margin(), 101));
        EXPECT_EQ(Probes(image, expected), expected);
        const std::string dashes = Probes(image, "orange:r25=");
        EXPECT_TRUE(dashes.size() == 11 || std::count(dashes.begin(), dashes.end(), ',') > 20);
    }
    for (const QRect& tiny : {QRect(0, 0, 3, 101), QRect(0, 0, 400, 1), QRect(0, 0, 0, 0)}) {
        Draw(image, tiny); // must not fail
    }
}

TEST_F(GraphicWndTest, PrintingFramesTheGraphInLargerLabelsWithoutMarker) {
    DocFields(*doc).m_dMaxPhase = 2.0;
    DocFields(*doc).m_phase = {0.0, 0.0};
    DocFields(*doc).m_nElements = 2;
    selected = 0;
    for (const bool printing : {false, true}) {
        SCOPED_TRACE(printing ? "printing" : "screen");
        QImage image(1000, 700, QImage::Format_RGB32);
        Draw(image, QRect(10, 20, 900, 600), printing, 3);
        EXPECT_EQ(graph.GraphRect(), QRect(10, 20, 900, 600));
        const int m = graph.Margin();
        const std::string frame = printing ? "black:r20=10-910 black:r620=10-910 "
                                             "black:c10=20-620 black:c910=20-620"
                                           : "black:r620= black:c10= black:c910=";
        EXPECT_EQ(Probes(image, frame), frame);
        // The marker shares its column with the first quarter line.
        const int marker = (900 - m) / 4 + m + 10;
        const std::string column = "black:c" + std::to_string(marker) + "=";
        EXPECT_EQ(Probes(image, column), column + (printing ? "20,620" : "20-618"));
        // The label 0 starts 4 (15) units in; printed labels are some 50 by 23 units.
        int ink = INT_MAX;
        for (int p = 0, x = 11; p < 598 * (m - 1); ++p, x = 11 + p % (m - 1)) {
            ink = image.pixel(x, 21 + p / (m - 1)) == 0xffffffff ? ink : std::min(ink, x);
        }
        EXPECT_TRUE(printing ? ink >= 25 && ink <= 30 : ink >= 14 && ink <= 17) << ink;
        EXPECT_TRUE(printing ? m >= 30 + 6 * 15 && m <= 30 + 6 * 40 : m >= 8 && m <= 8 + 6 * 14);
    }
}

TEST_F(GraphicWndTest, ClickPicksTheElementUnderTheMouse) {
    DocFields(*doc).m_dMaxPhase = 2.0;
    DocFields(*doc).m_phase.assign(4, 0.0);
    DocFields(*doc).m_nElements = 4;
    graph.resize(402, 103);
    graph.grab();
    const int m = graph.Margin();
    graph.resize(m + 402, 103); // a border pixel, the labels, then 100 pixels per column
    graph.grab();
    ASSERT_EQ(graph.Margin(), m);
    QImage page(1200, 1000, QImage::Format_RGB32);
    Draw(page, QRect(0, 0, 1100, 900), true); // a printed report leaves the screen's columns
    QSignalSpy clicked(&graph, &CGraphicWnd::elementClicked);
    // Widget x (the plot starts at m + 1), button, element count, the element picked or -1.
    const auto left = Qt::LeftButton;
    const std::tuple<int, Qt::MouseButton, int, int> cases[] = {
        {1, left, 4, 0},       {m + 1, left, 4, 0},
        {m + 100, left, 4, 0}, {m + 101, left, 4, 1},
        {m + 400, left, 4, 3}, {m + 401, left, 4, 3},
        {m + 201, left, 1, 0}, {m + 201, Qt::RightButton, 4, -1},
        {m + 201, left, 0, -1}};
    for (const auto& [x, button, elements, element] : cases) {
        SCOPED_TRACE(testing::Message() << "x " << x << ", " << elements << " elements");
        DocFields(*doc).m_nElements = elements;
        clicked.clear();
        QTest::mouseClick(&graph, button, {}, QPoint(x, 50));
        ASSERT_EQ(clicked.count(), element < 0 ? 0 : 1);
        EXPECT_TRUE(element < 0 || clicked.at(0).at(0).toInt() == element);
    }
}

} // namespace
