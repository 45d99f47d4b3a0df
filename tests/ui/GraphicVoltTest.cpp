// The volt-phase graph: where the step curve and the grid land in pixels, what damaged
// documents draw, and that every paint reads the document again.
#include "graphs/GraphicVolt.h"

#include "framework/SettingsStore.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "volt/LC_VoltDoc.h"

#include <QImage>
#include <QPainter>
#include <climits>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

constexpr QRgb kRed = 0xffff0000, kGreen = 0xff00c800, kWhite = 0xffffffff, kBlack = 0xff000000;
constexpr QRgb kOutside = 0xff808080; // what the image holds before drawing

// The runs of `colour` along column x (or row y) as "a-b,c", e.g. "5-45" or "45".
std::string Runs(const QImage& image, bool column, int at, QRgb colour) {
    std::string runs;
    const int length = column ? image.height() : image.width();
    auto is = [&](int j) {
        return j >= 0 && j < length && image.pixel(column ? at : j, column ? j : at) == colour;
    };
    for (int i = 0; i < length; ++i) {
        if (is(i) && !is(i - 1)) {
            int end = i;
            while (is(end + 1)) {
                ++end;
            }
            runs += (runs.empty() ? "" : ",") + std::to_string(i) +
                    (end > i ? "-" + std::to_string(end) : "");
        }
    }
    return runs;
}

// Pixels of `colour` inside `client`; fails on any pixel painted outside it.
int CountInside(const QImage& image, const QRect& client, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = !client.isEmpty() && client.contains(x, y);
            EXPECT_TRUE(inside || image.pixel(x, y) == kOutside) << "outside at " << x << "," << y;
            count += inside && image.pixel(x, y) == colour;
        }
    }
    return count;
}

class GraphicVoltTest : public ::testing::Test {
protected:
    GraphicVoltTest() : settings(dir.File("t.ini")), context{settings, prompter}, doc(context) {
        graph.SetDocument(&doc);
    }
    void Set(int digits, std::vector<std::uint16_t> codes) {
        doc.m_nDacDigits = digits;
        doc.m_nElements = static_cast<int>(codes.size());
        doc.m_elementCodes = std::move(codes);
    }
    QImage Render(const QRect& client, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(kOutside);
        QPainter painter(&image);
        graph.Draw(painter, client);
        return image;
    }

    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings;
    AppContext context;
    CLC_VoltDoc doc;
    CGraphicVolt graph;
};

TEST_F(GraphicVoltTest, StepCurveAndGridLandOnTheRowsAndColumnEdgesOfTheCodes) {
    const struct {
        int digits;
        std::vector<std::uint16_t> codes;
        QRect client;
        const char* probes; // "r5=..." row 5, "c50=..." column 50; a leading g: the grid
        int white;          // -1: not counted
    } cases[] = {
        // F = 7 over 70 rows: 7 on row 0, 3 on row 40; five columns of 20, offset by (10, 5).
        // Green grid at x = 25, 50 and 75 under the curve. 180 red pixels (verticals of 41,
        // 59 + 39 horizontal), 3 of them on grid columns.
        {4,
         {7, 7, 3, 3, 7},
         {10, 5, 100, 71},
         "r5=10-50,90-109 r45=50-90 c49=5 c50=5-45 c51=45 c90=5-45 gc35=6-75 gc60=5-44,46-75 "
         "gr30=35,60,85",
         100 * 71 - 3 * 71 - (180 - 3)},
        // Columns 0-100 ... 300-400, one step down at x = 200 (F = 511, rows 311 and 411).
        {10, {200, 200, 100, 100}, {0, 0, 400, 512}, "r311=0-200 c200=311-411", -1},
        // 16 digits, 200 rows: 0 on row 199, 32767 on row 0.
        {16, {0, 32767}, {0, 0, 100, 200}, "r199=0-50 r0=50-99", -1},
        // One element spans the whole plot.
        {4, {3}, {0, 0, 100, 71}, "r40=0-99 c99=40", -1},
        // The row of a code follows the digits and stays inside the plot.
        {16, {16384}, {0, 0, 40, 200}, "c5=100", -1},
        {10, {256}, {0, 0, 40, 100}, "c5=50", -1},
        {12, {2047}, {0, 0, 40, 100}, "c5=0", -1},
        {10, {1000}, {0, 0, 40, 100}, "c5=0", -1},
        {17, {32767}, {0, 0, 40, 100}, "c5=50", -1},
        {40, {65535}, {0, 0, 40, 100}, "c5=0", -1},
        {10, {511}, {0, 0, 40, 1}, "c5=0", -1},
    };
    for (const auto& c : cases) {
        Set(c.digits, c.codes);
        const QImage image = Render(c.client, {c.client.right() + 11, c.client.bottom() + 6});
        std::string seen;
        std::istringstream probes(c.probes);
        for (std::string probe; probes >> probe;) {
            const bool grid = probe[0] == 'g';
            const std::string at = probe.substr(grid, probe.find('=') + 1 - grid);
            seen += (seen.empty() ? "" : " ") + at +
                    Runs(image, at[0] == 'c', std::stoi(at.substr(1)), grid ? kGreen : kRed);
        }
        std::string expected = c.probes;
        std::erase(expected, 'g');
        EXPECT_EQ(seen, expected) << c.digits << " digits";
        const int white = CountInside(image, c.client, kWhite);
        EXPECT_TRUE(c.white == -1 || white == c.white) << white;
    }
}

TEST_F(GraphicVoltTest, DamagedDocumentsAndTinyPlotsDrawSafely) {
    struct Case {
        const char* name;
        std::function<void(CLC_VoltDoc&)> damage;
        QRect client;
        int red, green; // -1: some; red -2: the whole plot
    };
    auto digits = [](int d) { return [d](CLC_VoltDoc& v) { v.m_nDacDigits = d; }; };
    auto elements = [](int n) { return [n](CLC_VoltDoc& v) { v.m_nElements = n; }; };
    const QRect plot(3, 2, 40, 30);
    const Case cases[] = {
        {"empty array", [](CLC_VoltDoc& v) { v.m_elementCodes.clear(); }, plot, 0, 90},
        {"0 digits", digits(0), plot, 0, 90},
        {"INT_MIN digits", digits(INT_MIN), plot, 0, 90},
        {"INT_MAX digits", digits(INT_MAX), plot, -1, -1},
        {"INT_MAX elements", elements(INT_MAX), plot, -1, -1},
        {"codes above range", [](CLC_VoltDoc& v) { v.m_elementCodes.assign(9, 65535); }, plot, 40,
         87},
        {"a million alternating codes",
         [](CLC_VoltDoc& v) {
             for (int i = 0; i < 1000000; ++i) {
                 v.m_elementCodes.push_back(i % 2 ? 0 : 65535);
             }
         },
         plot, -2, 0},
        {"one column", nullptr, {3, 2, 1, 30}, 30, 0},
        {"one row", nullptr, {3, 2, 40, 1}, 40, 0},
        {"negative rect", nullptr, {3, 2, -5, -5}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Set(10, {511, 511, 0, 0, 511});
        if (c.damage) {
            c.damage(doc);
        }
        const QImage image = Render(c.client, {50, 40});
        const int red = CountInside(image, c.client, kRed);
        const int green = CountInside(image, c.client, kGreen);
        EXPECT_TRUE(c.red == -1 ? red > 0 : red == (c.red == -2 ? 40 * 30 : c.red)) << red;
        EXPECT_TRUE(c.green == -1 ? green > 0 : green == c.green) << green;
    }
    // The array's own count sets the columns, whatever m_nElements says.
    Set(10, {511, 511, 0, 0, 511});
    doc.m_nElements = 512;
    EXPECT_EQ(Runs(Render(plot, {50, 40}), true, 3 + 16, kRed), "2-31");
}

TEST_F(GraphicVoltTest, WidgetDrawsItsBorderAndReadsTheDocumentAtEveryPaint) {
    graph.resize(102, 73);
    auto border = [](const QImage& image) {
        return Runs(image, false, 0, kBlack) + " " + Runs(image, false, 72, kBlack) + " " +
               Runs(image, true, 0, kBlack) + " " + Runs(image, true, 101, kBlack);
    };
    graph.SetDocument(nullptr);
    QImage image = graph.grab().toImage();
    EXPECT_EQ(border(image), "0-101 0-101 0-72 0-72");
    EXPECT_EQ(CountInside(image, image.rect(), kWhite), 100 * 71);

    graph.SetDocument(&doc);
    Set(4, {7, 7, 3, 3, 7});
    EXPECT_EQ(Runs(graph.grab().toImage(), true, 31, kRed), "1"); // inside the border: +1
    doc.m_elementCodes[1] = 3;
    image = graph.grab().toImage();
    EXPECT_EQ(border(image), "0-101 0-101 0-72 0-72");
    EXPECT_EQ(Runs(image, true, 31, kRed), "41");
}

} // namespace
