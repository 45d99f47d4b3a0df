// Generation of profile data, the folding into the phase window, and the spin steps.
#include "support/ProfileFixture.h"

#include <cmath>
#include <gmock/gmock.h>

namespace {

using ::testing::AllOf, ::testing::DoubleNear, ::testing::Each, ::testing::Ge, ::testing::Le,
    ::testing::Pointwise;
constexpr int kDiopters = CTessaronDoc::MODE_DIOPTERS, kPolynomial = CTessaronDoc::MODE_POLYNOMIAL;

class GenerationTest : public ProfileFixture {
protected:
    // A new document for a lens of `diopters` (or a constant polynomial of that value).
    CTessaronDoc& Lens(int mode, int elements, double aperture, double diopters, double high) {
        CTessaronDoc& d = NewDoc();
        DocFields(d).m_nCreationMode = mode;
        DocFields(d).m_nElements = elements;
        DocFields(d).m_dAperture = aperture;
        DocFields(d).m_dDiopters = DocFields(d).m_dCoeff[0] = diopters;
        DocFields(d).m_dWaveLength = 1e-06;
        DocFields(d).m_dHighLimit = high;
        return d;
    }
};

// Values beyond the window come down (or up) by whole periods; the lens is mirror-symmetric
// with an odd count's centre element on the axis.
TEST_F(GenerationTest, GeneratedValuesFoldIntoTheWindow) {
    // mode, elements, aperture, diopters or a0, window, values
    const std::tuple<int, int, double, double, double, double, std::vector<double>> cases[] = {
        {kDiopters, 4, 0.003, 1.0, 0, 2, {0.25, 0.25, 0.25, 0.25}},
        {kDiopters, 5, 0.004, 0.5, 0, 2, {2, 0.5, 0, 0.5, 2}},
        {kDiopters, 5, 0.004, 0.0, 1, 2, {2, 2, 2, 2, 2}},
        {kDiopters, 5, 0.004, 0.5, 1, 3, {2, 2.5, 2, 2.5, 2}},
        {kPolynomial, 16, 0.01, 3.0 * M_PI, 0, 2, std::vector<double>(16, 1.0)}};
    for (const auto& [mode, elements, aperture, value, low, high, expected] : cases) {
        CTessaronDoc& d = Lens(mode, elements, aperture, value, high);
        DocFields(d).m_dLowLimit = low;
        ASSERT_TRUE(d.GenerateData(true));
        EXPECT_THAT(d.Phase(), Pointwise(DoubleNear(1e-12), expected)) << elements;
        EXPECT_EQ(std::tuple(d.IsModified(), view.hints),
                  std::tuple(true, std::vector<int>{HINT_FULL}));
    }
}

TEST_F(GenerationTest, DistanceToCentreInMetresOrElementSteps) {
    CTessaronDoc& d = Lens(kDiopters, 5, 0.004, 0, 8);
    EXPECT_EQ(d.DistanceToCentre(4), 0.002);
    DocFields(d).m_nCreationMode = kPolynomial;
    EXPECT_EQ(d.DistanceToCentre(0), -2.0);
    DocFields(d).m_bUseAperture = 1;
    EXPECT_EQ(d.DistanceToCentre(0), -0.002);
    DocFields(d).m_nElements = 1; // a single element lies at the centre, not at "not a number"
    EXPECT_EQ(d.DistanceToCentre(0), 0.0);
}

TEST_F(GenerationTest, WrapPhaseFoldsIntoTheWindow) {
    // name, low, high, min voltage, jump limit (-1: none), first element, raw value,
    // accepted, folded value, offset
    using Case =
        std::tuple<const char*, double, double, bool, int, bool, double, bool, double, double>;
    const Case cases[] = {
        {"inside stays", 0, 8, false, -1, false, 2.5, true, 2.5, 0},
        {"min voltage folds above low+2", 0, 8, true, -1, false, 2.5, true, 0.5, 2},
        {"min voltage keeps lowest period", 0, 8, true, -1, false, 1.5, true, 1.5, 0},
        {"above high comes down", 0, 2, false, -1, false, 6.5, true, 0.5, 6},
        {"below low comes up under high", 0, 2, false, -1, false, -3.5, true, 0.5, -4},
        {"below low, min voltage: floor", 1, 8, true, -1, false, -2.5, true, 1.5, -4},
        {"jump limit clamps, value leaves window", 0, 2, false, 1, false, 5.0, false, 5.0, 0},
        {"jump limit is off for the first element", 0, 2, false, 1, true, 5.0, true, 1.0, 4},
        {"no folding at all with m = 0", 0, 2, false, 0, false, 2.5, false, 2.5, 0},
        {"m = 0 still lets the first element fold", 0, 2, false, 0, true, 2.5, true, 0.5, 2},
        {"window narrower than a period", 0, 1, false, -1, false, 1.5, false, 1.5, 0},
        {"huge values do not overflow", 0, 2, false, -1, false, 1e300, true, 0.0, 1e300}};
    CTessaronDoc& d = NewDoc();
    for (const auto& [name, low, high, minVoltage, jumps, first, raw, ok, folded, offset] : cases) {
        std::tie(DocFields(d).m_dLowLimit, DocFields(d).m_dHighLimit, DocFields(d).m_bMinVoltage,
                 DocFields(d).m_bLimitJumps, DocFields(d).m_nMaxJumps) =
            std::tuple(low, high, minVoltage, jumps >= 0, jumps);
        double value = raw, total = 0.0;
        const bool accepted = d.WrapPhase(first, value, total);
        EXPECT_EQ(std::tie(accepted, value, total), std::tie(ok, folded, offset)) << name;
    }
}

// Every refused generation shows message 216 and leaves data, steps and the flag as they were.
TEST_F(GenerationTest, ImpossibleGenerationsChangeNothing) {
    // mode, elements, wave length, a2, jump limit
    const std::tuple<int, int, double, double, bool> cases[] = {
        {kPolynomial, 256, 1e-6, 0.1, true},  // steep, under a jump limit of 1
        {kDiopters, 256, 0.0, 0, false},      // no number to fold
        {kDiopters, 1 << 30, 1e-6, 0, false}, // element count from a damaged file
        {kPolynomial, -1, 1e-6, 0, false}};
    prompter.ExpectMessages();
    for (const auto& [mode, elements, waveLength, a2, limitJumps] : cases) {
        CTessaronDoc& d = Lens(mode, elements, 0.01, 3.0, 2.0);
        DocFields(d).m_phase.assign(256, 0.125);
        std::tie(DocFields(d).m_dWaveLength, DocFields(d).m_dCoeff, DocFields(d).m_bLimitJumps) =
            std::tuple(waveLength, std::array<double, 4>{0, 0, a2, 0}, limitJumps);
        EXPECT_FALSE(d.GenerateData(true)) << elements;
        EXPECT_EQ(prompter.shown.at(0).type, unsigned{MB_OK});
        EXPECT_EQ(Messages(),
                  std::vector<std::string>{"Wizard can't generate data, with this parameters"});
        EXPECT_EQ(d.Phase(), std::vector<double>(256, 0.125));
        EXPECT_FALSE(d.DioptersStepValid() || d.CoeffStepValid() || d.IsModified());
    }
    // Without the jump limit the steep polynomial folds into the window.
    CTessaronDoc& d = Lens(kPolynomial, 256, 0.01, 0.0, 2.0);
    DocFields(d).m_dCoeff[2] = 0.1;
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_THAT(d.Phase(), Each(AllOf(Ge(0.0), Le(2.0))));
}

TEST(DecimalStep, IsTheResolutionOfTheValue) {
    const std::pair<double, double> cases[] = {
        {0.0, 1.0},   {300.0, 100.0}, {7.0, 1.0},  {3.0, 1.0},     {2.5, 0.1}, {0.25, 0.01},
        {0.05, 0.01}, {0.3, 0.01},    {-2.5, 0.1}, {1e-06, 1e-22}, {NAN, 1.0}, {INFINITY, 1.0},
    };
    for (const auto& [value, step] : cases) {
        EXPECT_EQ(CTessaronDoc::DecimalStep(value), step) << value;
    }
    // The extremes of the double range end too.
    EXPECT_TRUE(std::isfinite(CTessaronDoc::DecimalStep(1.7976931348623157e308)) &&
                std::isfinite(CTessaronDoc::DecimalStep(1e300)));
    EXPECT_GE(CTessaronDoc::DecimalStep(5e-324), 0.0);
}

// The spin buttons step by the resolution of the value of the last generation that set it.
TEST_F(GenerationTest, SpinStepsFollowTheLastSuccessfulGeneration) {
    CTessaronDoc& d = Lens(kDiopters, 256, 0.01, 2.5, 8.0);
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_TRUE(d.DioptersStepValid() && !d.CoeffStepValid() && d.DioptersStep() == 0.1);
    DocFields(d).m_dDiopters = 300.0; // a spin click regenerates without taking a new step
    ASSERT_TRUE(d.GenerateData(false));
    EXPECT_EQ(d.DioptersStep(), 0.1);
    DocFields(d).m_nCreationMode = kPolynomial;
    DocFields(d).m_dCoeff = {0.0, 0.25, 0.0, 0.0};
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_TRUE(d.CoeffStepValid());
    EXPECT_EQ(d.CoeffStep(), (std::array<double, 4>{1.0, 0.01, 1.0, 1.0}));
}

} // namespace
