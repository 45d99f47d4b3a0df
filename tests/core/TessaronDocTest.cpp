// The profile document: defaults from the settings, clearing, the phase check and "&Apply".
// (The built-in defaults of File New are pinned by the reference file in ProfileFileTest.)
#include "support/ProfileFixture.h"

#include <cmath>

namespace {

using DocTest = ProfileFixture;

const std::string kBadPhases = "Some numbers in array are greater then maximum phase (";

// What the editor's "&Apply" writes: DAC digits, elements, aperture, maximum phase, limits.
auto Params(const CTessaronDoc& d) {
    return std::tuple(d.DacDigits(), d.Elements(), d.Aperture(), d.MaxPhase(), d.LowLimit(),
                      d.HighLimit());
}

// File New reads the settings file; values a document cannot work with (an element array of
// -1 values, codes wider than 16 bits) fall back to the built-in defaults.
TEST_F(DocTest, NewTakesTheUsableSettings) {
    const std::pair<std::string, decltype(Params(*doc))> cases[] = {
        {"; written by the options page\r\n[Settings]\r\nCOM RxTimeout=250\r\nDAC Digit=12\r\n"
         "Number of elements = 64\r\nAperture=0.500000\r\nMax faze Pi=6.000000\r\n",
         {12, 64, 0.5, 6.0, 0.0, 6.0}},
        {"[Settings]\nDAC Digit=20\nNumber of elements=-1\nAperture=wide\nMax faze Pi=nan\n",
         {16, 256, 0.01, 8.0, 0.0, 8.0}}};
    for (const auto& [file, expected] : cases) {
        TempDir::Write(settings.Path(), file);
        EXPECT_EQ(Params(NewDoc()), expected);
        EXPECT_EQ(doc->Phase().size(), std::size_t(doc->Elements()));
    }
}

// Cleared data is a change like any other: closing asks to save it.
TEST_F(DocTest, ClearAsksAndZeroesOnlyOnOkMarkingTheDocumentModified) {
    CTessaronDoc& d = NewDoc();
    DocFields(d).m_phase = {1.0, 2.0, 3.0};
    for (const auto& [answer, phase, hints, modified] :
         {std::tuple(IDCANCEL, std::vector<double>{1, 2, 3}, std::vector<int>{}, false),
          std::tuple(IDOK, std::vector<double>{0, 0, 0}, std::vector<int>{HINT_FULL}, true)}) {
        prompter.QueueAnswer(answer);
        d.OnClearData();
        EXPECT_EQ(std::tuple(d.Phase(), view.hints), std::tie(phase, hints));
        EXPECT_EQ(d.IsModified(), modified);
    }
    EXPECT_EQ(prompter.shown.at(1).type, unsigned{MB_OKCANCEL | MB_ICONQUESTION});
    EXPECT_EQ(Messages(), (std::vector<std::string>(2, "Clear ? Are you sure ?")));
}

TEST_F(DocTest, CheckPhaseArrayListsBadValuesFourToALine) {
    CTessaronDoc& d = NewDoc();
    const std::vector<double> good = {0.0, 4.0, 8.0}; // the range is closed
    EXPECT_TRUE(d.CheckPhaseArray(good.data(), 3, 8.0) && d.CheckPhaseArray(nullptr, 0, 8.0));
    prompter.ExpectMessages();
    const std::vector<double> bad = {9.0, 1.0, -0.5, NAN, 8.5, 10.0, 2.0, 12.25};
    EXPECT_FALSE(d.CheckPhaseArray(bad.data(), 8, 8.0));
    // The list stops after 28 entries.
    const std::vector<double> many(30, 9.0);
    EXPECT_FALSE(d.CheckPhaseArray(many.data(), 30, 8.0));
    EXPECT_EQ(prompter.shown.at(0).type, unsigned{MB_OK | MB_ICONSTOP});
    const auto texts = Messages();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], kBadPhases +
                            "8.000000e+000), or smaller than 0. Indexes of this numbers:\n"
                            "000: 9.000000e+000, \t002: -5.000000e-001, \t003: nan, \t004: "
                            "8.500000e+000, \t\n005: 1.000000e+001, \t007: 1.225000e+001");
    EXPECT_NE(texts[1].find("\t\n024: 9.000000e+000, \t025: 9.000000e+000, \t026: "
                            "9.000000e+000, \t027: 9.000000e+000..."),
              std::string::npos);
    EXPECT_EQ(texts[1].find("028:"), std::string::npos);
}

// The view that edited the note does not get it back; every other view does.
TEST_F(DocTest, NoteReachesTheOtherViews) {
    CTessaronDoc& d = NewDoc();
    RecordingView editor;
    d.AddView(&editor);
    DocFields(d).m_strNote = "lens A";
    d.UpdateNoteInViews(&editor);
    EXPECT_TRUE(editor.notes.empty());
    EXPECT_EQ(view.notes, std::vector<std::string>{"lens A"});
}

TEST_F(DocTest, ApplyWritesParametersAndResizesKeepingTheValues) {
    CTessaronDoc& d = NewDoc();
    DocFields(d).m_phase[0] = 1.5;
    DocFields(d).m_phase[255] = 2.5;
    // The high limit may equal the maximum phase.
    ProfileParameters p{12, 300, 0.02, 4.0, 1.0, 4.0};
    ASSERT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::Applied);
    EXPECT_EQ(Params(d), std::tuple(12, 300, 0.02, 4.0, 1.0, 4.0));
    ASSERT_EQ(d.Phase().size(), 300u);
    EXPECT_EQ(std::tuple(d.Phase()[255], d.Phase()[299], d.IsModified(), view.readoutRefreshes),
              std::tuple(2.5, 0.0, true, 1));
    EXPECT_EQ(view.hints, std::vector<int>{HINT_PARAMS});
    p.elements = 100;
    ASSERT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::Applied);
    EXPECT_EQ(std::tuple(d.Phase().size(), d.Phase()[0]), std::tuple(100u, 1.5));
}

TEST_F(DocTest, ApplyRefusalsChangeNothing) {
    using R = CTessaronDoc::ApplyResult;
    const std::string limits =
        "Low limit must be less then high limit.\nHigh limit must be less or equal maximum phase.";
    const std::string number = "Please enter a number between ",
                      integer = "Please enter an integer between ";
    // parameters, result, message
    const std::tuple<ProfileParameters, R, std::string> cases[] = {
        {{12, 10, 0.5, 2.0, 0.0, 2.0},
         R::DataOutOfRange,
         kBadPhases + "2.000000e+000), or smaller than 0. Indexes of this numbers:\n"
                      "007: 3.000000e+000"},
        {{12, 10, 0.5, 8.0, 2.0, 2.0}, R::BadLimits, limits},
        {{12, 10, 0.5, 6.0, 0.0, 6.5}, R::BadLimits, limits},
        // Whoever applies them, the parameters are held to the form's ranges, in its order.
        {{12, 10, 11.0, 8.0, 0.0, 8.0}, R::BadAperture, number + "0 and 10."},
        {{12, 10, 0.5, NAN, 0.0, 8.0}, R::BadMaxPhase, number + "0 and 100."},
        {{20, 0, 0.5, 8.0, 0.0, 8.0}, R::BadDacDigits, integer + "10 and 16."},
        {{12, 513, 0.5, 8.0, 0.0, 8.0}, R::BadElements, integer + "1 and 512."},
        {{12, 10, 0.5, 8.0, -1.0, 8.0}, R::BadLowLimit, number + "0 and 100."},
        {{12, 10, 0.5, 8.0, 0.0, 8.0, true, 0, 70000}, R::BadHighLimit, integer + "0 and 65535."}};
    prompter.ExpectMessages();
    for (const auto& [params, result, message] : cases) {
        CTessaronDoc& d = NewDoc();
        DocFields(d).m_phase[7] = 3.0;
        const auto before = d.Phase();
        EXPECT_EQ(d.ApplyParameters(params), result);
        EXPECT_EQ(Messages(), std::vector<std::string>{message});
        EXPECT_EQ(std::tuple(d.Phase(), Params(d), d.IsModified()),
                  std::tuple(before, std::tuple(16, 256, 0.01, 8.0, 0.0, 8.0), false));
    }
}

TEST_F(DocTest, WizardSettingsOutsideTheirRangesAreRefused) {
    CTessaronDoc& d = NewDoc();
    prompter.ExpectMessages();
    EXPECT_FALSE(d.SetCreationMode(2));
    EXPECT_FALSE(d.SetPolynomialParameters({0.0, -5.5, 0.0, 0.0}, true));
    EXPECT_FALSE(d.SetPolynomialParameters({0.0, 0.0, 0.0, NAN}, true));
    EXPECT_EQ(Messages(), (std::vector<std::string>{"Please enter a number between -5 and 5.",
                                                    "Please enter a number between -5e-05 and "
                                                    "5e-05."}));
    EXPECT_EQ(std::tuple(d.CreationMode(), d.Coeff(), d.UseAperture()),
              std::tuple(0, std::array<double, 4>{}, 0));
}

} // namespace
