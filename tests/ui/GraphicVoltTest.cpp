// The volt-phase graph: where the step curve and the grid land in pixels, what damaged
// documents and tiny plots draw, and that every paint reads the document again.
#include "graphs/GraphicVolt.h"

#include "framework/SettingsStore.h"
#include "support/DocAccess.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "volt/LC_VoltDoc.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <sstream>

namespace {

constexpr QRgb kRed = 0xffff0000, kGreen = 0xff00c800, kOutside = 0xff808080;

// The runs of `colour` along a column ("c5") or a row ("r5") as "a-b,c", e.g. "5-45,60"; for
// "red" or "green" the number of such pixels in the image.
std::string Probe(const QImage& image, const std::string& at, QRgb colour) {
    if (at == "red" || at == "green") {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constBits());
        return std::to_string(std::count(pixels, pixels + image.sizeInBytes() / 4, colour));
    }
    const bool column = at[0] == 'c';
    const int line = std::stoi(at.substr(1)), n = column ? image.height() : image.width();
    std::string runs;
    for (int i = 0, start = -1; i <= n; ++i) {
        if (i < n && image.pixel(column ? line : i, column ? i : line) == colour) {
            start = start < 0 ? i : start;
        } else if (start >= 0) {
            runs += (runs.empty() ? "" : ",") + std::to_string(start) +
                    (i - 1 > start ? "-" + std::to_string(i - 1) : "");
            start = -1;
        }
    }
    return runs;
}

struct GraphicVoltTest : ::testing::Test {
    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings{dir.File("t.ini")};
    AppContext context{settings, prompter};
    CLC_VoltDoc doc{context};
    CGraphicVolt graph;
};

TEST_F(GraphicVoltTest, CurveAndGridLandOnTheRowsAndColumnEdgesOfTheCodesInsideThePlot) {
    const QRect plot(3, 2, 40, 30);
    const std::vector<std::uint16_t> five{511, 511, 0, 0, 511};
    // DAC digits, codes, the plot and what lands where: "r5=..." the red runs on row 5,
    // "c50=..." on column 50, a leading g: the green ones; "red=..." and "green=...": counts.
    const std::tuple<int, std::vector<std::uint16_t>, QRect, std::string> cases[] = {
        // F = 7 over 70 rows: 7 on row 0, 3 on row 40; five columns of 20, offset by (10, 5).
        // Green grid at x = 25, 50 and 75 under the curve, which crosses it 3 times.
        {4,
         {7, 7, 3, 3, 7},
         {10, 5, 100, 71},
         "r5=10-50,90-109 r45=50-90 c49=5 c50=5-45 c51=45 c90=5-45 gc35=6-75 gc60=5-44,46-75 "
         "gr30=35,60,85 red=180 green=210"},
        // 16 digits, 200 rows: 0 on row 199, 32767 on row 0, 16384 truncated to row 100.
        {16, {0, 32767, 16384}, {0, 0, 99, 200}, "r199=0-33 r0=33-66 r100=33,66-98"},
        // Codes above the full scale stay on the top row; above 16 digits the scale is 65535.
        {10, {1000}, {0, 0, 40, 100}, "c5=0"},
        {40, {32767}, {0, 0, 40, 100}, "c5=50"},
        // Damaged documents and tiny plots draw what they can.
        {10, five, plot, "c19=2-31 c35=2-31 red=98 green=87"},
        {10, {}, plot, "red=0 green=90"},
        {INT_MIN, five, plot, "red=0 green=90"},
        {10, five, {3, 2, 1, 30}, "red=30 green=0"},
        {10, five, {3, 2, 40, 1}, "red=40 green=0"},
        {10, five, {3, 2, -5, -5}, "red=0 green=0"},
    };
    graph.SetDocument(&doc);
    for (const auto& [digits, codes, client, expected] : cases) {
        SCOPED_TRACE(testing::Message() << digits << " digits, " << expected);
        DocFields(doc).m_nDacDigits = digits;
        DocFields(doc).m_nElements = INT_MAX; // only the array's own size counts
        DocFields(doc).m_elementCodes = codes;
        QImage image(client.right() + 11, client.bottom() + 6, QImage::Format_RGB32);
        image.fill(kOutside);
        QPainter painter(&image);
        graph.Draw(painter, client);
        std::string seen;
        std::istringstream probes(expected);
        for (std::string probe; probes >> probe;) {
            const std::string at = probe.substr(0, probe.find('='));
            const bool green = at[0] == 'g';
            seen += (seen.empty() ? "" : " ") + at + "=" +
                    Probe(image, at.substr(green && at != "green"), green ? kGreen : kRed);
        }
        EXPECT_EQ(seen, expected);
        // The whole plot is painted, and nothing outside it.
        const int area = client.isEmpty() ? 0 : client.width() * client.height();
        EXPECT_EQ(image.width() * image.height() - area, std::stoi(Probe(image, "red", kOutside)));
    }
}

TEST_F(GraphicVoltTest, WidgetDrawsItsBorderAndReadsTheDocumentAtEveryPaint) {
    graph.resize(102, 73);
    QImage image = graph.grab().toImage(); // no document: border and white background
    EXPECT_EQ(Probe(image, "red", 0xffffffff), std::to_string(100 * 71));
    DocFields(doc).m_nDacDigits = 4;
    DocFields(doc).m_elementCodes = {7, 7, 3, 3, 7};
    graph.SetDocument(&doc);
    EXPECT_EQ(Probe(graph.grab().toImage(), "c31", kRed), "1"); // inside the border: +1
    DocFields(doc).m_elementCodes[1] = 3;
    image = graph.grab().toImage();
    EXPECT_EQ(Probe(image, "c31", kRed), "41");
    for (const auto* line : {"r0", "r72"}) {
        EXPECT_EQ(Probe(image, line, 0xff000000), "0-101") << line;
    }
    EXPECT_EQ(Probe(image, "c0", 0xff000000) + Probe(image, "c101", 0xff000000), "0-720-72");
}

} // namespace
