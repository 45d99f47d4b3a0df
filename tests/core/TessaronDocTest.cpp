// The profile document: defaults from the settings, clearing, the phase check and "&Apply".
#include "framework/StringTable.h"
#include "support/ProfileFixture.h"

#include <cmath>
#include <limits>

namespace {

using DocTest = ProfileFixture;

TEST_F(DocTest, NewWithoutSettingsFileHasTheBuiltInDefaults) {
    CTessaronDoc& d = NewDoc();
    EXPECT_EQ(d.m_nCreationMode, 0);
    EXPECT_EQ(d.m_nDacDigits, 16);
    EXPECT_EQ(d.m_nElements, 256);
    EXPECT_EQ(d.m_dAperture, 0.01);
    EXPECT_EQ(d.m_dMaxPhase, 8.0);
    EXPECT_EQ(d.m_dLowLimit, 0.0);
    EXPECT_EQ(d.m_dHighLimit, 8.0);
    EXPECT_EQ(d.m_dWaveLength, 7.8e-07);
    EXPECT_EQ(d.m_dDiopters, 0.0);
    EXPECT_EQ(d.m_dCoeff, (std::array<double, 4>{0, 0, 0, 0}));
    EXPECT_EQ(d.m_nMaxJumps, 1);
    EXPECT_EQ(d.m_bLimitJumps + d.m_bMinVoltage + d.m_bUseAperture + d.m_bUseCorrection, 0);
    EXPECT_EQ(d.m_phase, std::vector<double>(256, 0.0));
    EXPECT_TRUE(d.m_strNote.empty());
    EXPECT_TRUE(d.m_strCorrectionPath.empty());
    EXPECT_FALSE(d.IsModified());
}

TEST_F(DocTest, NewReadsAPrivateProfileSettingsFile) {
    TempDir::Write(settings.Path(), "; written by the options page\r\n"
                                    "[Settings]\r\n"
                                    "COM RxTimeout=250\r\n"
                                    "DAC Digit=12\r\n"
                                    "Number of elements = 64\r\n"
                                    "Aperture=0.500000\r\n"
                                    "Max faze Pi=6.000000\r\n");
    CTessaronDoc& d = NewDoc();
    EXPECT_EQ(d.m_nDacDigits, 12);
    EXPECT_EQ(d.m_nElements, 64);
    EXPECT_EQ(d.m_dAperture, 0.5);
    EXPECT_EQ(d.m_dMaxPhase, 6.0);
    EXPECT_EQ(d.m_dHighLimit, 6.0);
    EXPECT_EQ(d.m_phase.size(), 64u);
}

// Settings a document cannot work with fall back to the defaults instead of making an
// element array of -1 values or codes wider than 16 bits.
TEST_F(DocTest, UnusableSettingsFallBackToDefaults) {
    TempDir::Write(settings.Path(), "[Settings]\n"
                                    "DAC Digit=20\n"
                                    "Number of elements=-1\n"
                                    "Aperture=wide\n"
                                    "Max faze Pi=nan\n");
    CTessaronDoc& d = NewDoc();
    EXPECT_EQ(d.m_nDacDigits, 16);
    EXPECT_EQ(d.m_nElements, 256);
    EXPECT_EQ(d.m_dAperture, 0.01);
    EXPECT_EQ(d.m_dMaxPhase, 8.0);
    EXPECT_EQ(d.m_phase.size(), 256u);
}

TEST_F(DocTest, ClearAsksAndZeroesOnlyOnOk) {
    CTessaronDoc& d = NewDoc();
    RecordingView view;
    d.AddView(&view);
    d.m_phase = {1.0, 2.0, 3.0};

    prompter.QueueAnswer(IDCANCEL);
    d.OnClearData();
    EXPECT_EQ(d.m_phase, (std::vector<double>{1.0, 2.0, 3.0}));
    EXPECT_TRUE(view.hints.empty());

    prompter.QueueAnswer(IDOK);
    d.OnClearData();
    EXPECT_EQ(d.m_phase, (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(view.hints, (std::vector<int>{HINT_FULL}));
    EXPECT_FALSE(d.IsModified());
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, "Clear ? Are you sure ?");
    EXPECT_EQ(prompter.shown[0].type, unsigned{MB_OKCANCEL | MB_ICONQUESTION});
}

TEST_F(DocTest, CheckPhaseArrayAcceptsTheClosedRange) {
    CTessaronDoc& d = NewDoc();
    const std::vector<double> good = {0.0, 4.0, 8.0};
    EXPECT_TRUE(d.CheckPhaseArray(good.data(), 3, 8.0));
    EXPECT_TRUE(d.CheckPhaseArray(nullptr, 0, 8.0));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(DocTest, CheckPhaseArrayListsBadValuesFourToALine) {
    prompter.ExpectMessages();
    CTessaronDoc& d = NewDoc();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> values = {9.0, 1.0, -0.5, nan, 8.5, 10.0, 2.0, 12.25};
    EXPECT_FALSE(d.CheckPhaseArray(values.data(), static_cast<int>(values.size()), 8.0));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].type, unsigned{MB_OK | MB_ICONSTOP});
    EXPECT_EQ(prompter.shown[0].text,
              "Some numbers in array are greater then maximum phase (8.000000e+000), or smaller "
              "than 0. Indexes of this numbers:\n"
              "000: 9.000000e+000, \t002: -5.000000e-001, \t003: nan, \t004: 8.500000e+000, \t\n"
              "005: 1.000000e+001, \t007: 1.225000e+001");
}

TEST_F(DocTest, CheckPhaseArrayStopsAfterTwentyEightEntries) {
    prompter.ExpectMessages();
    CTessaronDoc& d = NewDoc();
    const std::vector<double> values(30, 9.0);
    EXPECT_FALSE(d.CheckPhaseArray(values.data(), 30, 8.0));
    const std::string& text = prompter.shown.at(0).text;
    EXPECT_NE(text.find("027: 9.000000e+000..."), std::string::npos);
    EXPECT_EQ(text.find("028:"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 6); // heading + 7 lines of 4
}

TEST_F(DocTest, NoteAndReadoutUpdatesReachTheOtherViews) {
    CTessaronDoc& d = NewDoc();
    RecordingView editor;
    RecordingView other;
    d.AddView(&editor);
    d.AddView(&other);
    d.m_strNote = "lens A";
    d.UpdateNoteInViews(&editor);
    EXPECT_TRUE(editor.notes.empty());
    EXPECT_EQ(other.notes, std::vector<std::string>{"lens A"});
    d.UpdateElementReadouts();
    d.UpdateWizardControls();
    EXPECT_EQ(editor.readoutRefreshes + other.readoutRefreshes, 2);
    EXPECT_EQ(editor.wizardRefreshes + other.wizardRefreshes, 2);
}

ProfileParameters ParamsOf(const CTessaronDoc& d) {
    return {d.m_nDacDigits, d.m_nElements, d.m_dAperture,
            d.m_dMaxPhase,  d.m_dLowLimit, d.m_dHighLimit};
}

TEST_F(DocTest, ApplyResizesDataKeepingTheValuesItHas) {
    CTessaronDoc& d = NewDoc();
    RecordingView view;
    d.AddView(&view);
    d.m_phase[0] = 1.5;
    d.m_phase[255] = 2.5;

    ProfileParameters p = ParamsOf(d);
    p.elements = 300;
    ASSERT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::Applied);
    ASSERT_EQ(d.m_phase.size(), 300u);
    EXPECT_EQ(d.m_phase[255], 2.5);
    EXPECT_EQ(d.m_phase[299], 0.0);
    EXPECT_TRUE(d.IsModified());
    EXPECT_EQ(view.hints, std::vector<int>{HINT_PARAMS});
    EXPECT_EQ(view.readoutRefreshes, 1);

    p.elements = 100;
    ASSERT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::Applied);
    EXPECT_EQ(d.m_phase.size(), 100u);
    EXPECT_EQ(d.m_phase[0], 1.5);
}

TEST_F(DocTest, ApplyRefusalsChangeNothing) {
    struct Case {
        const char* name;
        double maxPhase, low, high;
        CTessaronDoc::ApplyResult result;
        const char* message;
    };
    const Case cases[] = {
        {"max below data", 2.0, 0.0, 2.0, CTessaronDoc::ApplyResult::DataOutOfRange,
         "Some numbers in array are greater then maximum phase (2.000000e+000), or smaller than "
         "0. Indexes of this numbers:\n007: 3.000000e+000"},
        {"low equals high", 8.0, 2.0, 2.0, CTessaronDoc::ApplyResult::BadLimits,
         "Low limit must be less then high limit.\nHigh limit must be less or equal maximum "
         "phase."},
        {"high above max", 6.0, 0.0, 6.5, CTessaronDoc::ApplyResult::BadLimits,
         "Low limit must be less then high limit.\nHigh limit must be less or equal maximum "
         "phase."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePrompter fresh;
        fresh.ExpectMessages();
        AppContext ctx{settings, fresh};
        CTessaronDoc d(ctx);
        d.OnNewDocument();
        d.m_phase[7] = 3.0;
        const auto before = d.m_phase;
        ProfileParameters p = ParamsOf(d);
        p.maxPhase = c.maxPhase;
        p.lowLimit = c.low;
        p.highLimit = c.high;
        p.elements = 10;
        EXPECT_EQ(d.ApplyParameters(p), c.result);
        ASSERT_EQ(fresh.shown.size(), 1u);
        EXPECT_EQ(fresh.shown[0].text, c.message);
        EXPECT_EQ(d.m_phase, before);
        EXPECT_EQ(d.m_dMaxPhase, 8.0);
        EXPECT_EQ(d.m_dHighLimit, 8.0);
        EXPECT_EQ(d.m_nElements, 256);
        EXPECT_FALSE(d.IsModified());
    }
}

TEST_F(DocTest, ApplyAcceptsHighLimitEqualToMaximumPhase) {
    CTessaronDoc& d = NewDoc();
    ProfileParameters p = ParamsOf(d);
    p.maxPhase = 4.0;
    p.lowLimit = 1.0;
    p.highLimit = 4.0;
    EXPECT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::Applied);
    EXPECT_EQ(d.m_dLowLimit, 1.0);
    EXPECT_EQ(d.m_dHighLimit, 4.0);
}

} // namespace
