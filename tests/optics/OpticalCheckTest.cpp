// The optical check against what diffraction theory says of gratings and lenses made of
// stripes, and its answers to input it cannot check. The codes are made by the profile and
// volt-phase documents themselves, as a Send makes them.
#include "ProfileCodes.h"
#include "optics/DocumentInput.h"
#include "volt/LC_VoltDoc.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using optics::CheckInput, optics::CheckResult, optics::RunCheck;
using testcodes::Row, testcodes::Window;
constexpr double kPi = std::numbers::pi;
constexpr double kHeNe = 633e-9;

CheckResult Checked(const CheckInput& in) {
    optics::CheckOutcome outcome = RunCheck(in);
    if (!outcome.result) {
        ADD_FAILURE() << outcome.error;
        return {};
    }
    return *outcome.result;
}

double Sinc(double x) {
    return x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
}

double Near(double expected, double relative) {
    return std::fabs(expected) * relative;
}

class OpticalCheckTest : public ::testing::Test {
protected:
    testcodes::ProfileMaker maker;
};

// A staircase of p elements per period puts sinc^2(1/p) of the light into the first order,
// which leaves at -lambda / (p x pitch) (the phase rises with the element index).
TEST_F(OpticalCheckTest, BlazedGratingEfficiencyAndAngle) {
    // elements per period, maximum phase (parts of PI)
    const std::tuple<double, double> cases[] = {{4, 2}, {8, 2}, {8, 8}, {3, 2}};
    for (const auto& [period, maxPhase] : cases) {
        const CheckInput in = maker.Grating({256, 5e-3, maxPhase}, period, kHeNe);
        const CheckResult r = Checked(in);
        ASSERT_TRUE(r.figures) << period;
        const double efficiency = Sinc(1.0 / period) * Sinc(1.0 / period);
        const double angle = -std::asin(kHeNe / (period * r.pitch));
        EXPECT_NEAR(r.figures->efficiency, efficiency, Near(efficiency, 0.005)) << period;
        EXPECT_NEAR(r.figures->strehl, efficiency, Near(efficiency, 0.005)) << period;
        ASSERT_TRUE(r.figures->orderAngleRad);
        EXPECT_NEAR(*r.figures->orderAngleRad, angle, Near(angle, 0.01)) << period;
        // The order's width is that of the aperture: 0.886 lambda / width.
        ASSERT_TRUE(r.figures->spotWidth);
        EXPECT_NEAR(*r.figures->spotWidth, 0.886 * kHeNe / (256 * r.pitch),
                    0.01 * 0.886 * kHeNe / (256 * r.pitch));
        // The steps are the design, sampled: the error is within one step and not folded.
        EXPECT_LT(r.figures->rmsErrorWaves, 1e-3) << period;
        EXPECT_TRUE(r.warnings.empty()) << period;
        // The far-field curve peaks at the order with the Strehl ratio as its height.
        const auto top = std::max_element(r.pattern.intensity.begin(), r.pattern.intensity.end()) -
                         r.pattern.intensity.begin();
        EXPECT_EQ(r.pattern.axis, optics::PatternAxis::AngleRadians);
        EXPECT_NEAR(r.pattern.coordinate[top], angle, 0.1 * kHeNe / (256 * r.pitch));
        EXPECT_NEAR(r.pattern.intensity[top], r.figures->strehl, 0.02);
    }
}

// A stepped lens loses light in proportion to how much of a zone one element spans: each
// element passes sinc(D x pitch / lambda) of its field into the focus. The focus lies at 1/D,
// pulled towards the row by 0.57/N_F^2 of it at a small Fresnel number N_F (cylindrical lens).
TEST_F(OpticalCheckTest, LensFocusStrehlAndSampling) {
    // elements, aperture, diopters, Strehl at least; sampling: fine (focus and spot of a
    // continuous lens), coarse, or beyond what the row can follow
    enum Sampling { kFine, kCoarse, kAliased };
    const std::tuple<int, double, double, double, Sampling> cases[] = {
        {512, 4e-3, 4.0, 0.98, kFine},   // 10 elements in the outer zone
        {256, 4e-3, 4.0, 0.94, kFine},   // 5
        {128, 4e-3, 4.0, 0.75, kCoarse}, // 2.5
        {64, 4e-3, 4.0, 0.0, kAliased},  // 1.25
        {256, 1e-3, 15.0, 0.99, kFine},  // 21, Fresnel number 6
        {256, 4e-3, -4.0, 0.94, kFine},  // diverging: a virtual focus
    };
    for (const auto& [elements, aperture, diopters, minStrehl, sampling] : cases) {
        const CheckInput in = maker.Lens({elements, aperture}, diopters, kHeNe, Window{0, 8});
        const CheckResult r = Checked(in);
        ASSERT_TRUE(r.figures) << elements;
        double amplitude = 0.0;
        for (double x : r.elements.position) {
            amplitude += Sinc(diopters * x * r.pitch / kHeNe) / elements;
        }
        EXPECT_NEAR(r.figures->efficiency, amplitude * amplitude, 0.005) << elements;
        EXPECT_GE(r.figures->strehl, minStrehl) << elements;
        EXPECT_EQ(r.warnings.size(), sampling == kAliased ? 1u : 0u) << elements;
        EXPECT_EQ(r.pattern.axis, optics::PatternAxis::FocalPlaneMetres);
        EXPECT_TRUE(std::is_sorted(r.pattern.coordinate.begin(), r.pattern.coordinate.end()));
        if (sampling == kAliased) {
            continue;
        }
        EXPECT_NEAR(r.figures->strehl, amplitude * amplitude, 0.005) << elements;
        ASSERT_TRUE(r.figures->focusM);
        EXPECT_NEAR(*r.figures->focusM, 1.0 / diopters, Near(1.0 / diopters, 0.02)) << elements;
        if (sampling == kCoarse) {
            continue;
        }
        const double halfWidth = 0.5 * elements * r.pitch;
        const double fresnel = halfWidth * halfWidth * std::fabs(diopters) / kHeNe;
        if (fresnel >= 10.0) { // the focal shift is below 0.6 %
            EXPECT_NEAR(*r.figures->focusM, 1.0 / diopters, Near(1.0 / diopters, 0.01));
        }
        const double focus = 1.0 / (diopters * (1.0 + 0.57 / (fresnel * fresnel)));
        EXPECT_NEAR(*r.figures->focusM, focus, Near(focus, 0.001)) << elements;
        EXPECT_NEAR(*r.figures->focusM, focus, Near(1.0 / diopters - focus, 0.2)) << elements;
        ASSERT_TRUE(r.figures->spotWidth);
        const double width = 0.886 * kHeNe / (std::fabs(diopters) * 2.0 * halfWidth);
        EXPECT_NEAR(*r.figures->spotWidth, width, Near(width, 0.03)) << elements;
        EXPECT_NEAR(*r.figures->spotOffsetM, 0.0, 0.01 * width);
    }
}

// A response that is not the linear one the codes were made for shows as phase error:
// a constant offset is irrelevant, a wrong slope gives its RMS. On a staircase of 8 levels
// (0.125 .. 1.875 parts of PI) a slope off by eps leaves eps x 2.2913 PI / 4 radians RMS.
TEST_F(OpticalCheckTest, ResponseErrorsShowAsPhaseError) {
    const CheckInput plain = maker.Grating({256, 5e-3, 2.0}, 8, kHeNe);
    const std::uint32_t levels = 1u << 15;
    auto linear = [&](std::uint32_t level) { return level * 2.0 * kPi / (levels - 1.0); };
    auto table = [&](auto response) {
        std::vector<double> values(levels);
        for (std::uint32_t level = 0; level < levels; ++level) {
            values[level] = response(level);
        }
        return values;
    };
    const double spread = 0.25 * kPi * std::sqrt(63.0 / 12.0) / (2.0 * kPi); // waves per eps
    // name, response, expected RMS and peak error in waves, offset in radians
    const std::tuple<const char*, optics::LevelResponse, double, double, double> cases[] = {
        {"linear table", {table(linear), {}}, 0.0, 0.0, 0.0},
        {"offset table",
         {table([&](std::uint32_t level) { return linear(level) + 0.3; }), {}},
         0.0,
         0.0,
         0.3},
        {"slope 5 % high",
         {table([&](std::uint32_t level) { return 1.05 * linear(level); }), {}},
         0.05 * spread,
         0.05 * 3.5 / 8.0,
         0.05 * kPi},
        {"slope 10 % low, as a function",
         {{}, [&](std::uint32_t level) { return 0.9 * linear(level); }},
         0.1 * spread,
         0.1 * 3.5 / 8.0,
         -0.1 * kPi},
    };
    const double efficiency = Checked(plain).figures->efficiency;
    for (const auto& [name, response, rms, peak, offset] : cases) {
        CheckInput in = plain;
        in.response = response;
        const CheckResult r = Checked(in);
        ASSERT_TRUE(r.figures) << name;
        EXPECT_NEAR(r.figures->rmsErrorWaves, rms, std::max(0.05 * rms, 2e-5)) << name;
        EXPECT_NEAR(r.figures->peakErrorWaves, peak, std::max(0.05 * peak, 4e-5)) << name;
        EXPECT_NEAR(r.figures->offsetRad, offset, 1e-3) << name;
        // The Marechal estimate: a small RMS error sigma keeps exp(-sigma^2) of the light.
        const double sigma = 2.0 * kPi * r.figures->rmsErrorWaves;
        EXPECT_NEAR(r.figures->efficiency, efficiency * std::exp(-sigma * sigma), 0.01) << name;
    }
}

// Folding removes whole periods; where the jump limit or the lowest voltage only chose other
// periods, the light is the same.
TEST_F(OpticalCheckTest, FoldingByWholePeriodsChangesNothingOptical) {
    const std::array<double, 4> prism{0.0, 2.0 * kPi / 6.0, 4e-4, 0.0};
    // name, plain input, the same design folded otherwise
    const Row lens{256, 4e-3};
    const Row row{200, 5e-3};
    const std::tuple<const char*, CheckInput, CheckInput> cases[] = {
        {"lens, lowest voltage", maker.Lens(lens, 4.0, kHeNe, Window{0, 8}),
         maker.Lens(lens, 4.0, kHeNe, Window{0, 8, true})},
        {"lens, jumps of one period", maker.Lens(lens, 4.0, kHeNe, Window{0, 8}),
         maker.Lens(lens, 4.0, kHeNe, Window{0, 8, false, 1})},
        {"lens, window from 1.5", maker.Lens(lens, 4.0, kHeNe, Window{0, 8}),
         maker.Lens(lens, 4.0, kHeNe, Window{1.5, 7.5})},
        {"chirped prism, lowest voltage", maker.Polynomial(row, prism, false, kHeNe, Window{0, 8}),
         maker.Polynomial(row, prism, false, kHeNe, Window{0, 8, true})},
    };
    for (const auto& [name, plain, folded] : cases) {
        ASSERT_NE(plain.codes, folded.codes) << name;
        const CheckResult a = Checked(plain);
        const CheckResult b = Checked(folded);
        ASSERT_TRUE(a.figures && b.figures) << name;
        EXPECT_NEAR(a.figures->efficiency, b.figures->efficiency, 1e-4) << name;
        EXPECT_NEAR(a.figures->strehl, b.figures->strehl, 1e-4) << name;
        EXPECT_NEAR(a.figures->rmsErrorWaves, b.figures->rmsErrorWaves, 1e-4) << name;
        EXPECT_NEAR(a.figures->peakErrorWaves, b.figures->peakErrorWaves, 1e-4) << name;
        EXPECT_NEAR(a.figures->spotWidth.value_or(-1), b.figures->spotWidth.value_or(-1),
                    1e-4 * a.figures->spotWidth.value_or(1))
            << name;
        EXPECT_NEAR(a.figures->focusM.value_or(0), b.figures->focusM.value_or(0), 1e-6) << name;
        EXPECT_NEAR(a.figures->orderAngleRad.value_or(0), b.figures->orderAngleRad.value_or(0),
                    1e-7)
            << name;
    }
}

// Codes without a design (a volt-phase pattern): a square wave of 0 and PI puts (2/PI)^2 into
// each first order at +-lambda / (2 x section x pitch) and nothing straight through.
TEST_F(OpticalCheckTest, PatternWithoutDesignGivesFarFieldOnly) {
    CLC_VoltDoc table(maker.Context());
    ASSERT_TRUE(table.OnNewDocument());
    ASSERT_EQ(table.ApplyParameters({"256", "10", "4", "300", "20", "", "10"}),
              CLC_VoltDoc::ApplyResult::Applied);
    optics::InputOutcome outcome = optics::VoltTableInput(table, {5e-3, 2.0, kHeNe});
    ASSERT_TRUE(outcome.input) << outcome.error;
    CheckInput in = *outcome.input;
    EXPECT_EQ(in.design, optics::Design::None);
    in.response.function = [](std::uint32_t level) { return level > 100 ? kPi : 0.0; };
    const CheckResult r = Checked(in);
    EXPECT_FALSE(r.figures);
    EXPECT_TRUE(r.elements.design.empty() && r.elements.errorWaves.empty());
    EXPECT_DOUBLE_EQ(r.elements.phase[0], kPi);
    EXPECT_DOUBLE_EQ(r.elements.phase[4], 0.0);
    EXPECT_TRUE(r.pattern.ideal.empty());
    const double order = std::asin(kHeNe / (8 * r.pitch));
    auto peakNear = [&](double angle) {
        double peak = 0.0;
        for (std::size_t k = 0; k < r.pattern.coordinate.size(); ++k) {
            if (std::fabs(r.pattern.coordinate[k] - angle) < 0.05 * order) {
                peak = std::max(peak, r.pattern.intensity[k]);
            }
        }
        return peak;
    };
    const double firstOrder = 4.0 / (kPi * kPi);
    EXPECT_NEAR(peakNear(order), firstOrder, 0.02 * firstOrder);
    EXPECT_NEAR(peakNear(-order), firstOrder, 0.02 * firstOrder);
    EXPECT_LT(peakNear(0.0), 1e-3);
}

TEST_F(OpticalCheckTest, InputItCannotCheckIsRefusedWithTheReason) {
    const CheckInput lens = maker.Lens({64, 4e-3}, 1.0, kHeNe, Window{0, 8});
    const CheckInput grating = maker.Grating({64, 5e-3, 2.0}, 4, kHeNe);
    auto changed = [](CheckInput in, auto change) {
        change(in);
        return in;
    };
    const double nan = std::nan("");
    const std::tuple<const char*, CheckInput, std::string> cases[] = {
        {"no elements", changed(lens, [](CheckInput& in) { in.elements = 0; }),
         "at least two elements"},
        {"one element",
         changed(lens,
                 [](CheckInput& in) {
                     in.elements = 1;
                     in.codes = {32768, 32767};
                 }),
         "at least two elements"},
        {"too many elements", changed(lens, [](CheckInput& in) { in.elements = 5000; }),
         "at most 4096"},
        {"no aperture", changed(grating, [](CheckInput& in) { in.aperture = 0.0; }),
         "aperture must be a positive"},
        {"aperture not a number", changed(lens, [&](CheckInput& in) { in.aperture = nan; }),
         "aperture must be a positive"},
        {"zero wave length", changed(lens, [](CheckInput& in) { in.waveLength = 0.0; }),
         "wave length must be a positive"},
        {"wave length not a number", changed(grating, [&](CheckInput& in) { in.waveLength = nan; }),
         "wave length must be a positive"},
        {"lens without power", changed(lens, [](CheckInput& in) { in.diopters = 0.0; }),
         "optical power other than 0"},
        {"power not a number", changed(lens, [&](CheckInput& in) { in.diopters = nan; }),
         "optical power other than 0"},
        {"coefficient not a number",
         changed(grating, [&](CheckInput& in) { in.coefficients[2] = nan; }), "coefficient a2"},
        {"unknown design",
         changed(lens, [](CheckInput& in) { in.design = static_cast<optics::Design>(7); }),
         "Unknown kind of design"},
        {"too few DAC digits", changed(lens, [](CheckInput& in) { in.dacDigits = 1; }),
         "between 2 and 16"},
        {"too many DAC digits", changed(lens, [](CheckInput& in) { in.dacDigits = 17; }),
         "between 2 and 16"},
        {"no codes", changed(lens, [](CheckInput& in) { in.codes.clear(); }),
         "carries 128 codes; there are 0"},
        {"codes of another count", changed(lens, [](CheckInput& in) { in.codes.pop_back(); }),
         "carries 128 codes; there are 127"},
        {"code below the midpoint", changed(lens, [](CheckInput& in) { in.codes[3] = 100; }),
         "Code 100 of element 3 is not in the upper half"},
        {"code beyond the DAC", changed(lens, [](CheckInput& in) { in.dacDigits = 12; }),
         "is not in the upper half of the DAC (2048 to 4095)"},
        {"halves that do not mirror", changed(lens, [](CheckInput& in) { ++in.codes[70]; }),
         "does not mirror the code of element 6"},
        {"no maximum phase", changed(lens, [](CheckInput& in) { in.maxPhase = 0.0; }),
         "maximum phase must be a positive"},
        {"short response table",
         changed(lens, [](CheckInput& in) { in.response.table.assign(100, 0.0); }),
         "each of the 32768 DAC levels; it holds 100"},
        {"response table with a hole",
         changed(lens,
                 [&](CheckInput& in) {
                     in.response.table.assign(32768, 1.0);
                     in.response.table[in.codes[0] - 32768] = nan;
                 }),
         "no phase for level"},
        {"response function without an answer",
         changed(lens, [&](CheckInput& in) { in.response.function = [&](auto) { return nan; }; }),
         "no phase for level"},
        {"table and function",
         changed(lens,
                 [](CheckInput& in) {
                     in.response.table.assign(32768, 1.0);
                     in.response.function = [](auto) { return 1.0; };
                 }),
         "either as a table or as a function"},
        {"design beyond numbers", changed(lens, [](CheckInput& in) { in.diopters = 1e308; }),
         "is inf radians: too large"},
        {"design beyond resolution", changed(lens, [](CheckInput& in) { in.diopters = 1e12; }),
         "too large to be resolved within one period"},
        {"order beyond 90 degrees", changed(grating, [](CheckInput& in) { in.aperture = 1e-6; }),
         "more than 90 degrees"},
    };
    for (const auto& [name, in, message] : cases) {
        const optics::CheckOutcome outcome = RunCheck(in);
        EXPECT_FALSE(outcome.result) << name;
        EXPECT_NE(outcome.error.find(message), std::string::npos) << name << ": " << outcome.error;
    }
}

// Checks run on worker threads plan their transforms concurrently and give what a check on
// one thread gives.
TEST_F(OpticalCheckTest, ConcurrentChecksAgreeWithSerialOnes) {
    std::vector<CheckInput> inputs;
    for (int elements : {48, 96, 160, 320}) {
        inputs.push_back(maker.Lens({elements, 4e-3}, 2.0, kHeNe, Window{0, 8}));
    }
    std::vector<double> parallel(inputs.size());
    std::vector<std::thread> threads;
    for (std::size_t j = 0; j < inputs.size(); ++j) {
        threads.emplace_back([&, j] { parallel[j] = Checked(inputs[j]).figures->strehl; });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (std::size_t j = 0; j < inputs.size(); ++j) {
        EXPECT_EQ(parallel[j], Checked(inputs[j]).figures->strehl) << inputs[j].elements;
    }
}

} // namespace
