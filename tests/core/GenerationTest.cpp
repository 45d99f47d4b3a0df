// Generation of profile data, the folding into the phase window, and the spin steps.
#include "support/ProfileFixture.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
const std::string kCantGenerate = "Wizard can't generate data, with this parameters";

class GenerationTest : public ProfileFixture {
protected:
    CTessaronDoc& Lens(int elements, double aperture, double diopters, double waveLength,
                       double low, double high) {
        CTessaronDoc& d = NewDoc();
        d.m_nElements = elements;
        d.m_dAperture = aperture;
        d.m_dDiopters = diopters;
        d.m_dWaveLength = waveLength;
        d.m_dLowLimit = low;
        d.m_dHighLimit = high;
        return d;
    }
};

TEST_F(GenerationTest, ThinLensFoldsOuterElementsByOnePeriod) {
    CTessaronDoc& d = Lens(4, 0.003, 1.0, 1e-06, 0.0, 2.0);
    RecordingView view;
    d.AddView(&view);
    ASSERT_TRUE(d.GenerateData(true));
    ASSERT_EQ(d.m_phase.size(), 4u);
    for (double v : d.m_phase) {
        EXPECT_NEAR(v, 0.25, 1e-12);
    }
    EXPECT_TRUE(d.IsModified());
    EXPECT_EQ(view.hints, std::vector<int>{HINT_FULL});
}

TEST_F(GenerationTest, OddCountPutsTheCentreElementOnTheAxis) {
    struct Case {
        double diopters, low, high, centre;
    };
    for (const Case c :
         {Case{0.5, 0.0, 2.0, 0.0}, Case{0.0, 1.0, 2.0, 2.0}, Case{0.5, 1.0, 3.0, 2.0}}) {
        CTessaronDoc& d = Lens(5, 0.004, c.diopters, 1e-06, c.low, c.high);
        ASSERT_TRUE(d.GenerateData(true));
        EXPECT_EQ(d.m_phase[2], c.centre);
        EXPECT_EQ(d.m_phase[0], d.m_phase[4]); // mirror-symmetric
        EXPECT_EQ(d.m_phase[1], d.m_phase[3]);
    }
}

TEST_F(GenerationTest, DistanceToCentreInMetresAndElementSteps) {
    CTessaronDoc& d = Lens(5, 0.004, 0, 1e-06, 0, 8);
    EXPECT_EQ(d.DistanceToCentre(0), -0.002);
    EXPECT_EQ(d.DistanceToCentre(2), 0.0);
    EXPECT_EQ(d.DistanceToCentre(4), 0.002);
    d.m_nCreationMode = CTessaronDoc::MODE_POLYNOMIAL;
    EXPECT_EQ(d.DistanceToCentre(0), -2.0);
    d.m_bUseAperture = 1;
    EXPECT_EQ(d.DistanceToCentre(0), -0.002);
    d.m_nElements = 1; // a single element lies at the centre, not at "not a number"
    EXPECT_EQ(d.DistanceToCentre(0), 0.0);
}

TEST_F(GenerationTest, ConstantPolynomialFoldsOnlyTheFirstElement) {
    CTessaronDoc& d = Lens(16, 0.01, 0, 1e-06, 0.0, 2.0);
    d.m_nCreationMode = CTessaronDoc::MODE_POLYNOMIAL;
    d.m_dCoeff = {3.0 * kPi, 0.0, 0.0, 0.0};
    ASSERT_TRUE(d.GenerateData(true));
    for (double v : d.m_phase) {
        EXPECT_NEAR(v, 1.0, 1e-12);
    }
}

// WrapPhase on single values: (options, first element, raw value) -> folded value or refusal.
TEST_F(GenerationTest, WrapPhaseFoldsIntoTheWindow) {
    struct Case {
        const char* name;
        double low, high;
        bool minVoltage, limitJumps;
        int maxJumps;
        bool first;
        double raw;
        bool ok;
        double folded, offset;
    };
    const Case cases[] = {
        {"inside stays", 0, 8, false, false, 1, false, 2.5, true, 2.5, 0},
        {"min voltage folds above low+2", 0, 8, true, false, 1, false, 2.5, true, 0.5, 2},
        {"min voltage keeps lowest period", 0, 8, true, false, 1, false, 1.5, true, 1.5, 0},
        {"above high comes down", 0, 2, false, false, 1, false, 6.5, true, 0.5, 6},
        {"below low comes up under high", 0, 2, false, false, 1, false, -3.5, true, 0.5, -4},
        {"below low, min voltage: floor", 1, 8, true, false, 1, false, -2.5, true, 1.5, -4},
        {"jump limit clamps, value leaves window", 0, 2, false, true, 1, false, 5.0, false, 5.0, 0},
        {"jump limit is off for the first element", 0, 2, false, true, 1, true, 5.0, true, 1.0, 4},
        {"no folding at all with m = 0", 0, 2, false, true, 0, false, 2.5, false, 2.5, 0},
        {"m = 0 still lets the first element fold", 0, 2, false, true, 0, true, 2.5, true, 0.5, 2},
        {"window narrower than a period", 0, 1, false, false, 1, false, 1.5, false, 1.5, 0},
        {"huge values do not overflow", 0, 2, false, false, 1, false, 1e300, true, 0.0, 1e300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTessaronDoc& d = NewDoc();
        d.m_dLowLimit = c.low;
        d.m_dHighLimit = c.high;
        d.m_bMinVoltage = c.minVoltage;
        d.m_bLimitJumps = c.limitJumps;
        d.m_nMaxJumps = c.maxJumps;
        double value = c.raw;
        double offset = 0.0;
        EXPECT_EQ(d.WrapPhase(c.first, value, offset), c.ok);
        EXPECT_EQ(value, c.folded);
        EXPECT_EQ(offset, c.offset);
    }
}

// Every refused generation shows message 216 and leaves data, steps and the flag as they were.
TEST_F(GenerationTest, ImpossibleGenerationsChangeNothing) {
    struct Case {
        const char* name;
        int mode, elements;
        double waveLength, low, high;
        double a2;
        bool limitJumps;
    };
    const Case cases[] = {
        {"steep polynomial under a jump limit of 1", 1, 256, 1e-6, 0, 2, 0.1, true},
        {"window narrower than a period", 0, 256, 1e-06, 0.0, 1.0, 0, false},
        {"wave length 0", 0, 256, 0.0, 0.0, 2.0, 0, false},
        {"element count from a damaged file", 0, 1 << 30, 1e-6, 0, 2, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTessaronDoc& d = Lens(256, 0.01, 3.0, c.waveLength, c.low, c.high);
        d.m_phase.assign(256, 0.125);
        d.m_nCreationMode = c.mode;
        d.m_dCoeff[2] = c.a2;
        d.m_bLimitJumps = c.limitJumps;
        d.m_nElements = c.elements;
        RecordingView view;
        d.AddView(&view);
        prompter.shown.clear();
        prompter.QueueAnswer(IDOK);
        EXPECT_FALSE(d.GenerateData(true));
        EXPECT_EQ(Messages(), std::vector<std::string>{kCantGenerate});
        EXPECT_EQ(prompter.shown.at(0).type, unsigned{MB_OK});
        EXPECT_EQ(d.m_phase, std::vector<double>(256, 0.125));
        EXPECT_FALSE(d.m_bDioptersStepValid || d.m_bCoeffStepValid);
        EXPECT_FALSE(d.IsModified());
        EXPECT_EQ(view.hints, std::vector<int>{HINT_FULL});
        d.RemoveView(&view);
    }
}

TEST_F(GenerationTest, SteepPolynomialGeneratesWithoutJumpLimit) {
    CTessaronDoc& d = Lens(256, 0.01, 0, 1e-6, 0, 2);
    d.m_nCreationMode = CTessaronDoc::MODE_POLYNOMIAL;
    d.m_dCoeff = {0.0, 0.0, 0.1, 0.0};
    ASSERT_TRUE(d.GenerateData(true));
    for (double v : d.m_phase) {
        EXPECT_GE(v, 0.0);
        EXPECT_LE(v, 2.0);
    }
}

TEST_F(GenerationTest, SingleElementLensIsFlat) {
    CTessaronDoc& d = Lens(1, 0.01, 2.5, 6.33e-07, 0.0, 8.0);
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_EQ(d.m_phase, std::vector<double>{0.0});
}

TEST_F(GenerationTest, UnknownModeGeneratesNothingButRefreshesViews) {
    CTessaronDoc& d = NewDoc();
    d.m_nCreationMode = 7;
    RecordingView view;
    d.AddView(&view);
    EXPECT_FALSE(d.GenerateData(true));
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(view.hints, std::vector<int>{HINT_FULL});
}

TEST(DecimalStep, IsTheResolutionOfTheValue) {
    struct Case {
        double value, step;
    };
    const Case cases[] = {
        {0.0, 1.0},   {300.0, 100.0}, {7.0, 1.0},  {3.0, 1.0},     {2.5, 0.1}, {0.25, 0.01},
        {0.05, 0.01}, {0.3, 0.01},    {-2.5, 0.1}, {1e-06, 1e-22}, {NAN, 1.0}, {INFINITY, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(CTessaronDoc::DecimalStep(c.value), c.step);
    }
    // The extremes of the double range end too.
    EXPECT_TRUE(std::isfinite(CTessaronDoc::DecimalStep(1.7976931348623157e308)));
    EXPECT_TRUE(std::isfinite(CTessaronDoc::DecimalStep(1e300)));
    EXPECT_GE(CTessaronDoc::DecimalStep(5e-324), 0.0);
}

TEST_F(GenerationTest, SpinStepsFollowTheLastSuccessfulGeneration) {
    CTessaronDoc& d = Lens(256, 0.01, 2.5, 6.33e-07, 0.0, 8.0);
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_TRUE(d.m_bDioptersStepValid);
    EXPECT_EQ(d.m_dDioptersStep, 0.1);

    // A spin click: the value moves by its step and the data follow, the step stays.
    d.m_dDiopters += d.m_dDioptersStep;
    ASSERT_TRUE(d.GenerateData(false));
    EXPECT_EQ(d.m_dDiopters, 2.6);
    EXPECT_EQ(d.m_dDioptersStep, 0.1);

    d.m_dDiopters = 300.0;
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_EQ(d.m_dDioptersStep, 100.0);
    EXPECT_FALSE(d.m_bCoeffStepValid);

    d.m_nCreationMode = CTessaronDoc::MODE_POLYNOMIAL;
    d.m_dCoeff = {0.0, 0.25, 0.0, 0.0};
    ASSERT_TRUE(d.GenerateData(true));
    EXPECT_TRUE(d.m_bCoeffStepValid);
    EXPECT_EQ(d.m_dCoeffStep, (std::array<double, 4>{1.0, 0.01, 1.0, 1.0}));
}

} // namespace
