// The fitted response curve and the correction table made from it, on readings of the
// liquid-crystal model.
#include "calibration/ResponseCurve.h"

#include "calibration/LiquidCrystalModel.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace calibration;

namespace {

constexpr double kRed = 633e-9;
constexpr double kPi = std::numbers::pi;

struct TableError {
    double rms = 0.0; // true phase above the zero level's versus the entry's phase
    double max = 0.0;
    double pistonRms = 0.0; // the same without the common offset, which no lens shows
    double pistonMax = 0.0;
    bool monotone = true;
};

TableError CheckTable(const LiquidCrystalModel& model, const ResponseCurve& curve,
                      const std::vector<std::uint16_t>& table, double maxRadians) {
    TableError e;
    const double zero = model.Phase(curve.ZeroLevel(), kRed);
    const double last = static_cast<double>(table.size() - 1);
    std::vector<double> errors;
    double mean = 0.0;
    for (std::size_t k = 0; k < table.size(); ++k) {
        errors.push_back(std::fabs(model.Phase(table[k], kRed) - zero) - maxRadians * k / last);
        mean += errors.back() / static_cast<double>(table.size());
        if (k > 0) {
            e.monotone = e.monotone &&
                         (curve.Rising() ? table[k] >= table[k - 1] : table[k] <= table[k - 1]);
        }
    }
    for (const double error : errors) {
        e.rms += error * error / static_cast<double>(errors.size());
        e.max = std::max(e.max, std::fabs(error));
        e.pistonRms += (error - mean) * (error - mean) / static_cast<double>(errors.size());
        e.pistonMax = std::max(e.pistonMax, std::fabs(error - mean));
    }
    e.rms = std::sqrt(e.rms);
    e.pistonRms = std::sqrt(e.pistonRms);
    return e;
}

// 64 readings with 0.02 rad of noise, over eight noise draws per case. The table's level
// for every entry is judged by the model's true phase. Each draw must keep the optically
// relevant error (without the common offset) within 0.01 rad RMS and 0.03 rad at most;
// the error against the zero level itself carries the fitted phase's own uncertainty there
// and is held to 0.01 rad RMS on average over the draws.
TEST(ResponseCurveTest, TableReproducesTheTruePhaseOfEveryLevel) {
    struct Case {
        int digits;
        bool falling;
        bool wrapped;
        double maxPhase;  // parts of PI
        double thickness; // m
    };
    // A 10-digit DAC steps the phase coarsely: half a step of the 5 um cell's steepest part is
    // already 0.015 rad, so the thinner cell keeps the table's rounding to whole levels from
    // hiding the fit's own error.
    // clang-format off
    const Case cases[] = {
        {16, false, false, 2.0, 5e-6}, {16, true, false, 2.0, 5e-6}, {16, false, true, 2.0, 5e-6},
        {16, true, true, 2.5, 5e-6},   {12, false, true, 2.6, 5e-6}, {10, false, false, 2.0, 4e-6},
        {10, true, true, 2.2, 4e-6},
    };
    // clang-format on
    for (const Case& c : cases) {
        LiquidCrystalModel model;
        model.digits = c.digits;
        model.falling = c.falling;
        model.width = 0.16;
        model.thickness = c.thickness;
        double meanRms = 0.0;
        constexpr int kDraws = 8;
        for (int seed = 1; seed <= kDraws; ++seed) {
            SCOPED_TRACE(testing::Message() << c.digits << " digits, falling " << c.falling
                                            << ", wrapped " << c.wrapped << ", seed " << seed);
            const Measurement m = model.Sweep(LiquidCrystalModel::EvenLevels(64, c.digits), kRed,
                                              0.02, seed, c.wrapped);
            const auto curve = ResponseCurve::Fit(m);
            ASSERT_TRUE(curve.Ok()) << curve.Message();
            EXPECT_EQ(curve->Rising(), !c.falling);
            const auto table = curve->BuildTable(c.digits, c.maxPhase);
            ASSERT_TRUE(table.Ok()) << table.Message();
            ASSERT_EQ(table->size(), std::size_t{1} << (c.digits - 1));
            EXPECT_EQ(table->front(), curve->ZeroLevel());
            const TableError e = CheckTable(model, *curve, *table, c.maxPhase * kPi);
            EXPECT_LT(e.pistonRms, 0.01);
            EXPECT_LT(e.pistonMax, 0.03);
            EXPECT_TRUE(e.monotone);
            meanRms += e.rms / kDraws;
        }
        EXPECT_LT(meanRms, 0.01) << c.digits << " digits, falling " << c.falling;
    }
}

// A few readings far off the curve lose their weight instead of bending it; readings that
// follow no monotone curve at all (wrapped phases not marked so) are refused.
TEST(ResponseCurveTest, OutliersAreIgnoredButAnUnmarkedWrapIsRefused) {
    LiquidCrystalModel model;
    Measurement m = model.Sweep(LiquidCrystalModel::EvenLevels(64, 16), kRed, 0.02, 7);
    for (const int i : {5, 30, 50}) {
        m.points[i].phase += 1.5;
    }
    const auto curve = ResponseCurve::Fit(m);
    ASSERT_TRUE(curve.Ok()) << curve.Message();
    EXPECT_EQ(curve->Report()->outlierCount, 3);
    EXPECT_TRUE(curve->Report()->outliers[30]);
    EXPECT_GT(curve->Report()->maxResidual, 1.4);
    for (const int level : {0, 10000, 20000, 32767}) {
        EXPECT_NEAR(*curve->PhaseAt(level) - model.Phase(level, kRed), 0.0, 0.03) << level;
    }

    // Folded readings not marked as such: many past the fold (the 5 um cell), or a few (the
    // thinner cells, whose phase passes 2 PI only near the top).
    // clang-format off
    const std::pair<double, std::string> folds[] = {
        {5e-6, "does not follow one monotone curve"},
        {3.8e-6, "does not follow one monotone curve"},
        {3.55e-6, "wrapped"},
    };
    // clang-format on
    for (const auto& [thickness, message] : folds) {
        LiquidCrystalModel cell = model;
        cell.thickness = thickness;
        const Measurement wrapped =
            cell.Sweep(LiquidCrystalModel::EvenLevels(64, 16), kRed, 0.02, 7, true);
        Measurement unmarked = wrapped;
        unmarked.wrapped = false;
        const auto refused = ResponseCurve::Fit(unmarked);
        ASSERT_FALSE(refused.Ok()) << thickness;
        EXPECT_NE(refused.Message().find(message), std::string::npos) << refused.Message();
        EXPECT_TRUE(ResponseCurve::Fit(wrapped).Ok()) << thickness;
    }
    // Two readings folded back by a period, the rest of the curve intact.
    Measurement folded = model.Sweep(LiquidCrystalModel::EvenLevels(64, 16), kRed, 0.02, 7);
    folded.points[62].phase -= 2 * kPi;
    folded.points[63].phase -= 2 * kPi;
    const auto refused = ResponseCurve::Fit(folded);
    ASSERT_FALSE(refused.Ok());
    EXPECT_EQ(refused.Message(), "2 readings lie a whole period (2 PI) off the fitted curve (at "
                                 "levels 32247, 32767): the phases look folded into one period. "
                                 "Mark them as wrapped.");
}

TEST(ResponseCurveTest, RefusalsNameTheFigures) {
    LiquidCrystalModel model; // stroke at 633 nm: 2 PI 0.18 5 um / 633 nm = 8.93 rad
    const auto curve =
        ResponseCurve::Fit(model.Sweep(LiquidCrystalModel::EvenLevels(32, 16), kRed, 0.0, 1));
    ASSERT_TRUE(curve.Ok()) << curve.Message();
    EXPECT_NEAR(curve->Stroke(), model.Retardation(kRed), 0.01);
    // clang-format off
    const std::tuple<int, double, PhaseUnit, std::string> cases[] = {
        {16, 3.0, PhaseUnit::PartsOfPi,
         "The maximum phase of 3 parts of PI is beyond the measured stroke of 2.8"},
        {16, 1.5, PhaseUnit::Waves, "The maximum phase of 1.5 waves is beyond the measured "
                                    "stroke of 1.42"},
        {16, 0.0, PhaseUnit::PartsOfPi, "must be a number above 0"},
        {15, 2.0, PhaseUnit::PartsOfPi, "reaches level 32767, beyond the DAC range 0 to 16383"},
        {9, 2.0, PhaseUnit::PartsOfPi, "10 to 16 DAC digits; 9 were asked"},
    };
    // clang-format on
    for (const auto& [digits, maxPhase, unit, message] : cases) {
        const auto table = curve->BuildTable(digits, maxPhase, unit);
        ASSERT_FALSE(table.Ok());
        EXPECT_NE(table.Message().find(message), std::string::npos) << table.Message();
    }
    EXPECT_TRUE(curve->BuildTable(16, curve->Stroke(), PhaseUnit::Radians).Ok());

    // Never extrapolated: a curve measured from level 100 to 900 has no phase outside.
    const auto part = ResponseCurve::Fit(model.Sweep({100, 300, 500, 700, 900}, kRed, 0.0, 1));
    ASSERT_TRUE(part.Ok()) << part.Message();
    EXPECT_FALSE(part->PhaseAt(99.5).has_value());
    EXPECT_FALSE(part->PhaseAt(900.5).has_value());
    // Between whole levels the curve stays between their phases, first and last interval too.
    for (const double level : {100.25, 500.5, 899.75}) {
        const double low = *part->PhaseAt(std::floor(level)),
                     high = *part->PhaseAt(std::ceil(level));
        const double at = *part->PhaseAt(level);
        EXPECT_TRUE(low < at && at < high) << level;
        EXPECT_NEAR(at, model.Phase(level, kRed), 1e-3) << level;
    }
    const auto table = part->BuildTable(16, 0.01);
    ASSERT_TRUE(table.Ok()) << table.Message();
    EXPECT_TRUE(table->front() == 100 && table->back() > 100 && table->back() <= 900);

    const auto unsorted = ResponseCurve::Fit(PreparedPoints{{0, 5, 5, 9}, {0.0, 1.0, 2.0, 3.0}});
    ASSERT_FALSE(unsorted.Ok());
    EXPECT_NE(unsorted.Message().find("level 5 follows level 5"), std::string::npos);

    // Readings that do not change beyond their scatter show no response.
    LiquidCrystalModel dead = model;
    dead.thickness = 0.0;
    const auto none =
        ResponseCurve::Fit(dead.Sweep(LiquidCrystalModel::EvenLevels(64, 16), kRed, 0.02, 3));
    ASSERT_FALSE(none.Ok());
    EXPECT_NE(none.Message().find("shows no response"), std::string::npos) << none.Message();
}

} // namespace
