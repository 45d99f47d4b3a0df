// The profile graph: grid and labels of the worked examples, limit lines, the two curves, the
// marker, damaged documents, the printed variant and the mapping of clicks to elements.
#include "graphs/GraphicWnd.h"

#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace {

const std::map<std::string, QRgb> kColours = {{"red", 0xffff0000},   {"blue", 0xff0000ff},
                                              {"green", 0xff00c800}, {"orange", 0xffff8040},
                                              {"light", 0xff8080ff}, {"black", 0xff000000}};

// One probe "colour:where": the runs of the colour ("a-b,c") along row 5 for "r5", along
// column 5 for "c5", or of the rows that hold it anywhere for "rows".
std::string Probe(const QImage& image, const std::string& probe) {
    const QRgb colour = kColours.at(probe.substr(0, probe.find(':')));
    const std::string at = probe.substr(probe.find(':') + 1);
    const bool row = at[0] == 'r' && at != "rows", column = at[0] == 'c';
    const int line = row || column ? std::stoi(at.substr(1)) : 0;
    const auto hit = [&](int i) {
        for (int x = 0; x < (row || column ? 1 : image.width()); ++x) {
            if (image.pixel(row ? i : column ? line : x, row ? line : i) == colour) {
                return true;
            }
        }
        return false;
    };
    std::string runs;
    for (int i = 0, n = row ? image.width() : image.height(), start = -1; i <= n; ++i) {
        const bool on = i < n && hit(i);
        if (on && start < 0) {
            start = i;
        } else if (!on && start >= 0) {
            runs += (runs.empty() ? "" : ",") + std::to_string(start) +
                    (i - 1 > start ? "-" + std::to_string(i - 1) : "");
            start = -1;
        }
    }
    return runs;
}

// Every "probe=result" of `expected`, evaluated on the image, in the same form.
std::string Probes(const QImage& image, const std::string& expected) {
    std::string seen;
    std::istringstream probes(expected);
    for (std::string probe; probes >> probe;) {
        const std::string at = probe.substr(0, probe.find('='));
        seen += (seen.empty() ? "" : " ") + at + "=" + Probe(image, at);
    }
    return seen;
}

class GraphicWndTest : public ::testing::Test {
protected:
    GraphicWndTest() : settings(dir.File("t.ini")), context{settings, prompter}, doc(context) {
        graph.SetDocument(&doc);
        graph.SetCurrentElementSource([this] { return selected; });
        // Labels 16 pixels high, as in the worked examples.
        for (int size = 8; size < 40 && QFontMetrics(label).height() != 16; ++size) {
            label.setPixelSize(size);
        }
        graph.setFont(label);
    }

    // Draws with the plot area starting at x = 0 of a `width` by `height` image: the label
    // column lies left of it, outside the image.
    QImage Plot(int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        QPainter first(&image);
        graph.Draw(first, QRect(0, 0, width, height), false); // finds the label column
        first.end();
        image.fill(Qt::white);
        QPainter painter(&image);
        graph.Draw(painter, QRect(-graph.Margin(), 0, width + graph.Margin(), height), false);
        return image;
    }

    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings;
    AppContext context;
    CTessaronDoc doc;
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
        // Too low a plot for one interval (50 high), or no maximum phase: the zero label and
        // the bottom line only.
        {2.0, {{33, "0.000"}}, "49"},
        {0.0, {{243, "0.000"}}, "259"},
    };
    for (const auto& [maxPhase, labels, gridRows] : cases) {
        SCOPED_TRACE(testing::Message() << "maximum phase " << maxPhase << ", grid " << gridRows);
        doc.m_dMaxPhase = maxPhase;
        QImage image(300, gridRows == "49" ? 50 : 260, QImage::Format_RGB32), expected = image;
        image.fill(Qt::white);
        expected.fill(Qt::white);
        QPainter painter(&image);
        graph.Draw(painter, image.rect(), false);
        painter.end();

        // The labels should look like their texts drawn at their places in the same font.
        QPainter reference(&expected);
        reference.setFont(label);
        int widest = 0;
        for (const auto& [top, value] : labels) {
            const QString text = QString(value) + QChar(0x03C0);
            widest = std::max(widest, reference.fontMetrics().horizontalAdvance(text));
            reference.drawText(4, top + reference.fontMetrics().ascent(), text);
        }
        reference.end();
        const int margin = widest + 8;
        EXPECT_EQ(graph.Margin(), margin);
        EXPECT_EQ(image.copy(0, 0, margin, 260), expected.copy(0, 0, margin, 260));
        EXPECT_EQ(Probe(image, "green:c" + std::to_string(margin + 1)), gridRows);
        EXPECT_EQ(Probe(image, "green:c" + std::to_string(margin)),
                  "0-" + std::to_string(image.height() - 1));
    }
}

TEST_F(GraphicWndTest, CurvesLimitsAndMarkerLandOnTheirRows) {
    std::vector<std::uint16_t> halved(512);
    for (std::size_t k = 0; k < halved.size(); ++k) {
        halved[k] = static_cast<std::uint16_t>(k / 2);
    }
    const std::vector<double> four{0.5, 2.0, 1.0, 1.0}, zeros(4, 0.0);
    struct Case {
        bool correction;
        std::vector<std::uint16_t> table;
        std::vector<double> phases;
        double low, high;
        int selected;
        std::string expected;
        double maxPhase = 2.0;
        int elements = -1; // -1: as many as there are phases
        int digits = 10;
    };
    // A plot 400 by 101: 100 rows per full scale for the curves, 101 for the limits.
    const Case cases[] = {
        {false, halved, four, 0.4, 1.49, -1,
         "red:r75=0-100 red:r0=100-200 red:r50=100,200-399 red:c200=0-50 orange:rows=25,80 "
         "blue:rows= light:rows= black:rows="},
        {true, halved, four, 0.4, 1.49, -1,
         "red:r75=0-100 blue:r88=0-100 blue:r51=101-200 blue:r76=100,200-399 orange:rows=25,80 "
         "light:rows=63,90"},
        // Lines at 0 and at the maximum phase are not drawn.
        {true, halved, four, 0.0, 2.0, -1, "orange:rows= light:rows="},
        // One element spans the plot; the marker sits in the middle of its column.
        {false, halved, {1.0}, 0.0, 2.0, 0, "red:rows=50 red:r50=0-399 black:c200=0-49,51-100"},
        {false, halved, zeros, 0.0, 2.0, 3, "black:c350=0-99 black:rows=0-99"},
        {false, halved, zeros, 0.0, 2.0, 4, "black:rows="},
        // Damaged documents: a table too short for its digits, phases outside the range,
        // limits above the maximum, fewer phases than elements, no maximum phase, no digits,
        // no elements, more elements than pixels.
        {true,
         {7, 30000},
         {-1.0, 9.0, 2.0},
         3.0,
         2.5,
         -1,
         "red:r100=0-100 red:r0=100-299 blue:r9=101-299 red:c350= orange:rows= light:rows=",
         2.0,
         4,
         16},
        {true,
         {0, 511},
         {0.0, 1.0},
         1e300,
         0.0,
         -1,
         "red:r100=0-200 red:r0=200-399 blue:rows= green:c1= orange:rows=",
         0.0},
        {true,
         {0, 511},
         {0.0, 1.0},
         0.0,
         0.0,
         -1,
         "red:r100=0-200 red:r0=200-399 blue:rows=",
         std::nan(""),
         2,
         INT_MIN},
        {true, {0, 511}, {0.0, 1.0}, 0.0, 0.0, 0, "red:rows= blue:rows= black:rows=", -1.0, 0},
        {true,
         {0, 511},
         {0.0, 1.0},
         1e300,
         0.0,
         -1,
         "red:c0=51-100 red:rows=51-100 blue:c0=1-50 orange:rows= light:rows=",
         2.0,
         INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.expected);
        doc.m_bUseCorrection = c.correction;
        doc.m_correction = c.table;
        doc.m_phase = c.phases;
        doc.m_nElements = c.elements < 0 ? static_cast<int>(c.phases.size()) : c.elements;
        doc.m_nDacDigits = c.digits;
        doc.m_dMaxPhase = c.maxPhase;
        doc.m_dLowLimit = c.low;
        doc.m_dHighLimit = c.high;
        selected = c.selected;
        const QImage image = Plot(400, 101);
        EXPECT_EQ(Probes(image, c.expected), c.expected);
        const std::string dashes = Probe(image, "orange:r25");
        EXPECT_TRUE(dashes.empty() || std::count(dashes.begin(), dashes.end(), ',') > 20);
    }
    for (const QRect& tiny : {QRect(0, 0, 3, 101), QRect(0, 0, 400, 1), QRect(0, 0, 0, 0)}) {
        QImage image(400, 101, QImage::Format_RGB32);
        QPainter painter(&image);
        graph.Draw(painter, tiny, false); // must not fail
    }
}

TEST_F(GraphicWndTest, PrintingFramesTheGraphInLargerLabelsWithoutMarker) {
    doc.m_dMaxPhase = 2.0;
    doc.m_phase = {0.0, 0.0};
    doc.m_nElements = 2;
    selected = 0;
    for (const bool printing : {false, true}) {
        SCOPED_TRACE(printing ? "printing" : "screen");
        QImage image(1000, 700, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(3, 3); // the graph draws in device units whatever the transform
        graph.Draw(painter, QRect(10, 20, 900, 600), printing);
        painter.end();
        EXPECT_EQ(graph.GraphRect(), QRect(10, 20, 900, 600));
        const int m = graph.Margin();
        const std::string frame =
            printing ? "black:r20=10-910 black:r620=10-910 black:c10=20-620 black:c910=20-620"
                     : "black:r620= black:c10= black:c910=";
        EXPECT_EQ(Probes(image, frame), frame);
        // The marker shares its column with the first quarter line.
        const int marker = (900 - m) / 4 + m + 10;
        EXPECT_EQ(Probe(image, "black:c" + std::to_string(marker)), printing ? "20,620" : "20-618");
        // The label 0 starts 4 (15) units in; printed labels are some 50 by 23 units.
        int ink = INT_MAX;
        for (int y = 21; y < 619; ++y) {
            for (int x = 11; x < 10 + m; ++x) {
                ink = image.pixel(x, y) == 0xffffffff ? ink : std::min(ink, x);
            }
        }
        EXPECT_GE(ink, printing ? 25 : 14);
        EXPECT_LE(ink, printing ? 30 : 17);
        EXPECT_GE(m, printing ? 30 + 6 * 15 : 8);
        EXPECT_LE(m, printing ? 30 + 6 * 40 : 8 + 6 * 14);
    }
}

TEST_F(GraphicWndTest, ClickPicksTheElementUnderTheMouse) {
    doc.m_dMaxPhase = 2.0;
    doc.m_phase.assign(4, 0.0);
    doc.m_nElements = 4;
    graph.resize(402, 103);
    graph.grab();
    const int m = graph.Margin();
    graph.resize(m + 402, 103); // a border pixel, the labels, then 100 pixels per column
    graph.grab();
    ASSERT_EQ(graph.Margin(), m);
    // A printed report in between leaves the columns of the screen.
    QImage page(1200, 1000, QImage::Format_RGB32);
    QPainter printer(&page);
    graph.Draw(printer, QRect(0, 0, 1100, 900), true);
    printer.end();
    QSignalSpy clicked(&graph, &CGraphicWnd::elementClicked);
    // Widget x (the plot starts at m + 1), button, element count, the element picked or -1.
    const std::tuple<int, Qt::MouseButton, int, int> cases[] = {
        {1, Qt::LeftButton, 4, 0},       {m + 1, Qt::LeftButton, 4, 0},
        {m + 100, Qt::LeftButton, 4, 0}, {m + 101, Qt::LeftButton, 4, 1},
        {m + 400, Qt::LeftButton, 4, 3}, {m + 401, Qt::LeftButton, 4, 3},
        {m + 201, Qt::LeftButton, 1, 0}, {m + 201, Qt::RightButton, 4, -1},
        {m + 201, Qt::LeftButton, 0, -1}};
    for (const auto& [x, button, elements, element] : cases) {
        SCOPED_TRACE(testing::Message() << "x " << x << ", " << elements << " elements");
        doc.m_nElements = elements;
        clicked.clear();
        QTest::mouseClick(&graph, button, {}, QPoint(x, 50));
        ASSERT_EQ(clicked.count(), element < 0 ? 0 : 1);
        if (element >= 0) {
            EXPECT_EQ(clicked.at(0).at(0).toInt(), element);
        }
    }
}

} // namespace
