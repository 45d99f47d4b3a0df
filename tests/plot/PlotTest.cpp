// The plot drawer: ticks, labels and ranges by table, the drawing read back from the pixels of
// an image, and pictures written as PNG and PDF files.
#include "plot/Plot.h"

#include "plot/PictureFile.h"
#include "support/DiskFaults.h"
#include "support/TempDir.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using plot::Scale;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(PlotTicksTest, LinearTicksAreRoundStepsWithinTheRange) {
    // lo, hi, count, expected ticks
    const std::tuple<double, double, int, std::vector<double>> cases[] = {
        {0.0, 1.0, 5, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0}},
        {-0.37, 0.52, 5, {-0.2, 0.0, 0.2, 0.4}},
        {-0.37, 0.52, 4, {0.0, 0.5}},
        {3.0, 1003.0, 4, {500.0, 1000.0}},
        {-1e-6, 1e-6, 2, {-1e-6, 0.0, 1e-6}},
        {2.0, 2.0, 5, {}},
        {0.0, kInf, 5, {}},
        {kNan, 1.0, 5, {}},
    };
    for (const auto& [lo, hi, count, expected] : cases) {
        const std::vector<double> ticks = plot::LinearTicks(lo, hi, count);
        ASSERT_EQ(ticks.size(), expected.size()) << lo << " " << hi;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i], expected[i], 1e-12 * std::max(1.0, std::fabs(hi))) << lo;
        }
    }
}

TEST(PlotTicksTest, LogTicksArePowersOfTenThinnedToTheCount) {
    const std::tuple<double, double, int, std::vector<double>> cases[] = {
        {1e-3, 1.0, 5, {1e-3, 1e-2, 1e-1, 1.0}},
        {1e-6, 1.0, 4, {1e-6, 1e-4, 1e-2, 1.0}},
        {3e-7, 2.0, 10, {1e-6, 1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1.0}},
        {0.15, 0.9, 5, {0.2, 0.5}}, // within a decade: 1, 2 and 5 multiples
        {0.0, 1.0, 5, {}},          // no logarithm of 0
    };
    for (const auto& [lo, hi, count, expected] : cases) {
        const std::vector<double> ticks = plot::LogTicks(lo, hi, count);
        ASSERT_EQ(ticks.size(), expected.size()) << lo << " " << hi;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i], expected[i], 1e-12 * expected[i]) << lo;
        }
    }
}

TEST(PlotTicksTest, LabelsCarryTheDigitsTheStepNeeds) {
    const std::tuple<double, double, const char*> linear[] = {
        {0.2, 0.2, "0.2"},        {-1.5, 0.5, "-1.5"}, {0.25, 0.25, "0.25"},
        {1500.0, 500.0, "1500"},  {-1e-17, 0.1, "0"},  {2.5e-6, 5e-7, "2.5e-06"},
        {300000.0, 1e5, "3e+05"}, {4.0, 2.0, "4"},
    };
    for (const auto& [value, step, text] : linear) {
        EXPECT_EQ(plot::TickLabel(value, step).toStdString(), text) << value;
    }
    const std::tuple<double, const char*> powers[] = {
        {1e-3, "10\u207B\u00B3"}, {1.0, "1"}, {10.0, "10"}, {1e12, "10\u00B9\u00B2"}, {0.5, "0.5"},
    };
    for (const auto& [value, text] : powers) {
        EXPECT_EQ(plot::LogTickLabel(value).toStdString(), text) << value;
    }
}

plot::Series Line(std::vector<double> x, std::vector<double> y, QColor color = Qt::red,
                  plot::Mark mark = plot::Mark::Line) {
    plot::Series s;
    s.x = std::move(x);
    s.y = std::move(y);
    s.color = color;
    s.mark = mark;
    return s;
}

TEST(PlotRangeTest, FreeEndsFollowTheDataFixedEndsStay) {
    struct Case {
        const char* name;
        plot::Chart chart;
        plot::Range x;
        plot::Range y;
    };
    plot::Chart linear;
    linear.series = {Line({0.1, 0.3, 0.93}, {-0.37, -0.1, 0.52})};
    plot::Chart fixed = linear;
    fixed.x.min = 0.0;
    fixed.x.max = 0.5; // the y range takes the first two points only
    plot::Chart log = linear;
    log.y.scale = Scale::Logarithmic;
    log.series = {Line({0, 1, 2, 3}, {-1.0, 0.0, 3e-5, 0.2})};
    plot::Chart single;
    single.series = {Line({2.0}, {4.0})};
    plot::Chart none;
    plot::Chart steps;
    steps.series = {Line({0.0, 1.0, 2.0}, {1.0, 2.0, 3.0}, Qt::red, plot::Mark::Steps)};
    const Case cases[] = {
        {"linear", linear, {0.0, 1.0}, {-0.4, 0.6}},
        {"fixed x", fixed, {0.0, 0.5}, {-0.4, -0.1}},
        {"log y: points without a logarithm do not count", log, {2.0, 3.0}, {1e-5, 1.0}},
        {"one point", single, {1.0, 3.0}, {2.0, 6.0}},
        {"no data", none, {0.0, 1.0}, {0.0, 1.0}},
        {"steps span their cells", steps, {-1.0, 3.0}, {1.0, 3.0}},
    };
    for (const Case& c : cases) {
        const plot::Range x = plot::AxisRange(c.chart, false);
        const plot::Range y = plot::AxisRange(c.chart, true);
        EXPECT_NEAR(x.lo, c.x.lo, 1e-12) << c.name;
        EXPECT_NEAR(x.hi, c.x.hi, 1e-12) << c.name;
        EXPECT_NEAR(y.lo, c.y.lo, 1e-12 * std::max(1.0, std::fabs(c.y.lo))) << c.name;
        EXPECT_NEAR(y.hi, c.y.hi, 1e-12 * std::max(1.0, std::fabs(c.y.hi))) << c.name;
    }
}

// The pixels of `color` (nearly) in an image, as a bounding box and a count.
struct Found {
    QRect box;
    int count = 0;
};

Found FindColor(const QImage& image, QColor color) {
    Found found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) < 40 &&
                std::abs(pixel.green() - color.green()) < 40 &&
                std::abs(pixel.blue() - color.blue()) < 40) {
                found.box = found.box.united(QRect(x, y, 1, 1));
                ++found.count;
            }
        }
    }
    return found;
}

struct Drawn {
    QImage image;
    QRectF plot;
};

Drawn DrawChart(const plot::Chart& chart) {
    Drawn drawn{QImage(400, 300, QImage::Format_ARGB32_Premultiplied), {}};
    drawn.image.fill(Qt::white);
    QPainter painter(&drawn.image);
    const QRectF area(0, 0, 400, 300);
    drawn.plot = plot::PlotRect(painter, area, chart);
    plot::Draw(painter, area, chart);
    return drawn;
}

TEST(PlotDrawTest, SeriesLandWhereTheirValuesSayAndStayInsideThePlot) {
    plot::Chart chart;
    chart.title = "Title";
    chart.x = {"x", Scale::Linear, 0.0, 10.0};
    chart.y = {"y", Scale::Logarithmic, 1e-4, 1.0};
    chart.legend = false;
    // A red line at 1e-2 (half way up in decades) running past both ends of the x range, a
    // blue dot at x = 7.5, y = 1e-3 and values that no logarithm takes in between.
    chart.series = {Line({-5.0, 15.0}, {1e-2, 1e-2}),
                    Line({7.5, 8.0, 9.0}, {1e-3, -1.0, kNan}, Qt::blue, plot::Mark::Points)};
    // Wide enough that antialiasing leaves pixels of the full colour.
    chart.series[0].width = 3.0;
    chart.series[1].width = 4.0;
    const Drawn drawn = DrawChart(chart);
    const QRectF plot = drawn.plot;
    ASSERT_GT(plot.width(), 200);
    ASSERT_GT(plot.height(), 150);

    const Found red = FindColor(drawn.image, Qt::red);
    ASSERT_GT(red.count, 0);
    EXPECT_GE(red.box.left(), std::floor(plot.left()) - 1);
    EXPECT_LE(red.box.right(), std::ceil(plot.right()) + 1);
    EXPECT_NEAR(red.box.center().y(), plot.top() + 0.5 * plot.height(), 2.0);

    const Found blue = FindColor(drawn.image, Qt::blue);
    ASSERT_GT(blue.count, 0);
    EXPECT_NEAR(blue.box.center().x(), plot.left() + 0.75 * plot.width(), 2.0);
    EXPECT_NEAR(blue.box.center().y(), plot.top() + 0.75 * plot.height(), 2.0);
}

TEST(PlotDrawTest, StepsHoldEachValueAcrossItsCellAndTheLegendListsNamedSeries) {
    plot::Chart chart;
    chart.x = {"", Scale::Linear, -0.5, 3.5};
    chart.y = {"", Scale::Linear, 0.0, 2.0};
    plot::Series steps =
        Line({0.0, 1.0, 2.0, 3.0}, {0.5, 0.5, 1.5, 1.5}, Qt::red, plot::Mark::Steps);
    steps.width = 2.0;
    steps.name = "steps";
    chart.series = {steps};
    chart.legend = false;
    const Drawn bare = DrawChart(chart);
    // The first two cells at 0.5 fill the left half of the plot, the others at 1.5 the right.
    const QRectF plot = bare.plot;
    const QImage left = bare.image.copy(plot.toRect().adjusted(2, 2, -plot.width() / 2 - 2, -2));
    const QImage right = bare.image.copy(plot.toRect().adjusted(plot.width() / 2 + 2, 2, -2, -2));
    const Found low = FindColor(left, Qt::red);
    const Found high = FindColor(right, Qt::red);
    ASSERT_GT(low.count, 0);
    ASSERT_GT(high.count, 0);
    EXPECT_NEAR(low.box.center().y() + 2, 0.75 * plot.height(), 2.0);
    EXPECT_NEAR(high.box.center().y() + 2, 0.25 * plot.height(), 2.0);
    EXPECT_LT(low.box.left(), 2);                   // from the plot's left edge
    EXPECT_GT(high.box.right(), right.width() - 3); // to its right edge

    // With the legend, red also appears in the sample line near the top right corner.
    chart.legend = true;
    const Drawn legend = DrawChart(chart);
    EXPECT_GT(FindColor(legend.image, Qt::red).count, high.count + low.count);
}

TEST(PlotDrawTest, NothingToDrawShowsTheNoteAndNeverFails) {
    // name, series
    const std::tuple<const char*, std::vector<plot::Series>> cases[] = {
        {"no series", {}},
        {"empty series", {Line({}, {})}},
        {"only values no axis can show", {Line({kNan, 1.0, kInf}, {1.0, kNan, 2.0})}},
        {"x and y of different lengths", {Line({1.0, 2.0, 3.0}, {1.0})}},
    };
    for (const auto& [name, series] : cases) {
        plot::Chart chart;
        chart.series = series;
        chart.emptyNote = "nothing here";
        const Drawn drawn = DrawChart(chart);
        // Text in the middle of the plot: dark pixels around its centre.
        const QRect middle =
            QRectF(drawn.plot.center() - QPointF(60, 10), QSizeF(120, 20)).toRect();
        const Found text = FindColor(drawn.image.copy(middle), Qt::black);
        const bool drawsPoint = std::string(name) == "x and y of different lengths";
        EXPECT_EQ(text.count > 0, !drawsPoint) << name;
    }
}

class PictureFileTest : public ::testing::Test {
protected:
    static void Diagonal(QPainter& painter, const QRectF& area) {
        plot::Chart chart;
        chart.series = {Line({0.0, 1.0}, {0.0, 1.0})};
        plot::Draw(painter, area, chart);
    }
    TempDir dir;
};

TEST_F(PictureFileTest, PngAndPdfAreWrittenWholeAtTheirSize) {
    const plot::PictureSize size{100.0, 50.0, 127}; // 500 x 250 pixels
    const std::string png = dir.File("plot.PNG");
    ASSERT_FALSE(plot::WritePicture(png, size, Diagonal));
    const QImage image(QString::fromStdString(png), "PNG");
    EXPECT_EQ(image.size(), QSize(500, 250));
    EXPECT_GT(FindColor(image, Qt::red).count, 100);

    const std::string pdf = dir.File("plot.pdf");
    ASSERT_FALSE(plot::WritePicture(pdf, size, Diagonal));
    const std::string bytes = TempDir::Read(pdf);
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    EXPECT_NE(bytes.find("%%EOF", bytes.size() - 8), std::string::npos);
    // 100 x 50 mm is 283.46 x 141.73 points.
    EXPECT_NE(bytes.find("/MediaBox [0 0 283"), std::string::npos);
}

TEST_F(PictureFileTest, RefusalsAndFailedWritesLeaveTheOldFile) {
    const std::string old = dir.File("old.png");
    TempDir::Write(old, "an earlier picture");
    TempDir::Write(dir.File("old.jpg"), "an earlier picture");
    struct Case {
        const char* name;
        std::string path;
        plot::PictureSize size;
        std::size_t budget; // bytes the disk takes
        const char* message;
        const char* detail;
    };
    const Case cases[] = {
        {"other format", dir.File("old.jpg"), {}, 1 << 30, "ends in neither .png nor .pdf", ""},
        {"no size", old, {0.0, 50.0, 100}, 1 << 30, "positive size", ""},
        {"too large", old, {5000.0, 50.0, 300}, 1 << 30, "at most 20000 pixels", ""},
        {"full disk", old, {}, 100, "Cannot write the picture", "No space left on device"},
        {"missing folder",
         dir.File("none/plot.png"),
         {},
         1 << 30,
         "Cannot write the picture",
         "No such file or directory"},
    };
    for (const Case& c : cases) {
        FailingWrites disk(c.budget, ENOSPC);
        const auto error = plot::WritePicture(c.path, c.size, Diagonal);
        ASSERT_TRUE(error) << c.name;
        EXPECT_NE(error->message.find(c.message), std::string::npos) << c.name << error->message;
        EXPECT_NE(error->detail.find(c.detail), std::string::npos) << c.name << error->detail;
        EXPECT_EQ(TempDir::Read(old), "an earlier picture") << c.name;
        EXPECT_EQ(TempDir::Read(dir.File("old.jpg")), "an earlier picture") << c.name;
    }
}

} // namespace
