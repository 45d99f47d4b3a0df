// The volt-phase document: defaults, the pattern, the sent codes, the form's "&Apply" and the
// .vf file, including what a damaged or hand-made file may hold.
#include "framework/NumberText.h"
#include "framework/SettingsStore.h"
#include "support/DocAccess.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "volt/LC_VoltDoc.h"

#include <climits>
#include <gtest/gtest.h>
#include <tuple>

namespace {

const std::string kExample = TESSARON_TEST_DATA "/volt-example.vf";
using Codes = std::vector<std::uint16_t>;

struct CountingView : VoltDocView {
    void OnUpdate(DocumentView*, int hint) override { hints.push_back(hint); }
    void SetCommentText(const std::string&) override {}
    std::vector<int> hints;
};

class VoltDocTest : public ::testing::Test {
protected:
    CLC_VoltDoc& New() {
        EXPECT_TRUE(doc.OnNewDocument());
        return doc;
    }
    // Runs `build` on a document of the given DAC digits, elements and element codes.
    template <typename Build> void Set(int digits, int elements, const Codes& codes, Build build) {
        std::tie(DocFields(doc).m_nDacDigits, DocFields(doc).m_nElements,
                 DocFields(doc).m_elementCodes) = std::tie(digits, elements, codes);
        (doc.*build)();
    }
    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings{dir.File("tessaron.ini")};
    AppContext context{settings, prompter};
    CLC_VoltDoc doc{context};
};

TEST_F(VoltDocTest, NewTakesUsableSettingsOrTheDefaults) {
    // clang-format off
    const std::tuple<const char*, int, int> cases[] = { // nullptr: no settings file yet
        {nullptr, 16, 256}, {"[Settings]\r\nDAC Digit=12\r\nNumber of elements = 64\r\n", 12, 64},
        {"[Settings]\nDAC Digit=9\nNumber of elements=513\n", 16, 256}};
    // clang-format on
    for (const auto& [ini, digits, elements] : cases) {
        if (ini != nullptr) {
            TempDir::Write(settings.Path(), ini);
        }
        New();
        EXPECT_EQ(std::tuple(doc.DacDigits(), doc.Elements(), doc.Section(), doc.Level1(),
                             doc.Level0(), doc.RefVoltage()),
                  std::make_tuple(digits, elements, 1, 0, 0, 0.0));
        EXPECT_EQ(doc.ElementCodes(), Codes(static_cast<std::size_t>(elements), 0));
        EXPECT_TRUE(doc.Comment().empty() && doc.Codes().empty() && !doc.IsModified());
    }
}

TEST_F(VoltDocTest, PatternAlternatesSectionsStartingWithLevelOne) {
    // Twice INT_MAX must not overflow; codes keep their low 16 bits.
    // clang-format off
    const std::tuple<int, int, int, int, Codes> cases[] = {
        {5, 2, 7, 3, {7, 7, 3, 3, 7}}, {4, 4, 9, 1, {9, 9, 9, 9}}, {3, 0, 1, 2, {2, 2, 2}},
        {3, -4, 1, 2, {2, 2, 2}}, {3, INT_MAX, 1, 2, {1, 1, 1}}, {2, 1, 65536 + 5, -1, {5, 65535}}};
    // clang-format on
    for (const auto& [elements, section, level1, level0, expected] : cases) {
        std::tie(DocFields(doc).m_nSection, DocFields(doc).m_nLevel1, DocFields(doc).m_nLevel0) =
            std::tie(section, level1, level0);
        Set(16, elements, {}, &CLC_VoltDoc::BuildPattern);
        EXPECT_EQ(doc.ElementCodes(), expected) << elements << " by " << section;
    }
}

TEST_F(VoltDocTest, OutputCodesMirrorOneCodePerElement) {
    // More codes than elements: the first N; missing ones: the middle; 0 digits: a damaged file.
    // clang-format off
    const std::tuple<int, int, Codes, Codes> cases[] = {
        {16, 2, {0, 32767}, {32768, 65535, 32767, 0}}, {10, 1, {511}, {1023, 0}},
        {16, 2, {1, 2, 3, 4}, {32769, 32770, 32766, 32765}},
        {16, 3, {7}, {32775, 32768, 32768, 32760, 32767, 32767}}, {0, 1, {5}, {5, 65530}},
        {16, -1, {1}, {}}};
    // clang-format on
    for (const auto& [digits, elements, element, sent] : cases) {
        Set(digits, elements, element, &CLC_VoltDoc::BuildOutputCodes);
        EXPECT_EQ(doc.Codes(), sent) << digits << " digits, " << elements << " elements";
    }
    // A count from a damaged file never allocates beyond the largest row.
    for (const int elements : {513, 70000, INT_MAX}) {
        Set(16, elements, {}, &CLC_VoltDoc::BuildPattern);
        doc.BuildOutputCodes();
        EXPECT_EQ(doc.ElementCodes().size() * 2, 1024u);
        EXPECT_EQ(doc.Codes().size(), 1024u);
    }
    // The voltage of a code: the reference over the DAC's steps; none for a DAC without steps.
    DocFields(doc).m_dRefVoltage = 5.0;
    DocFields(doc).m_nDacDigits = 16;
    EXPECT_EQ(numtext::FormatFixed(doc.CodeVoltage(32767)), "2.500000");
    DocFields(doc).m_nDacDigits = 1;
    EXPECT_EQ(numtext::FormatFixed(doc.CodeVoltage(1)), "nan");
}

VoltFormTexts
With(std::initializer_list<std::pair<std::string VoltFormTexts::*, const char*>> set) {
    VoltFormTexts texts{"10", "16", "2", "7", "3", "note", "5"};
    for (const auto& [field, text] : set) {
        texts.*field = text;
    }
    return texts;
}

TEST_F(VoltDocTest, ApplyWritesTheFieldsBuildsThePatternAndUpdatesEveryView) {
    CountingView form;
    New().AddView(&form);
    ASSERT_EQ(doc.ApplyParameters(With({})), CLC_VoltDoc::ApplyResult::Applied);
    EXPECT_EQ(
        std::tuple(doc.Elements(), doc.DacDigits(), doc.Section(), doc.RefVoltage(), doc.Comment()),
        std::make_tuple(10, 16, 2, 5.0, "note"));
    EXPECT_EQ(doc.ElementCodes(), (Codes{7, 7, 3, 3, 7, 7, 3, 3, 7, 7}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(form.hints, std::vector<int>{HINT_FULL});
}

// Fields before the failing one are already written; nothing else happens.
TEST_F(VoltDocTest, ApplyStopsAtTheFirstFailingFieldWithItsMessage) {
    using R = CLC_VoltDoc::ApplyResult;
    using T = VoltFormTexts;
    const std::string range = "Please enter an integer between ";
    const struct {
        VoltFormTexts texts;
        R result;
        std::string message;
        int elementsAfter, digitsAfter;
    } cases[] = {
        {With({{&T::elements, "600"}}), R::BadElements, range + "1 and 512.", 256, 16},
        {With({{&T::elements, "12.5"}}), R::BadElements, "Please enter an integer.", 256, 16},
        {With({{&T::dacDigits, "9"}}), R::BadDacDigits, range + "10 and 16.", 10, 16},
        {With({{&T::section, "11"}}), R::BadSection, range + "1 and 10.", 10, 16},
        {With({{&T::dacDigits, "10"}, {&T::level1, "1000"}}), R::BadLevel1, range + "0 and 511.",
         10, 10},
        {With({{&T::dacDigits, "10"}, {&T::level1, "511"}, {&T::level0, "512"}}), R::BadLevel0,
         range + "0 and 511.", 10, 10},
        {With({{&T::level0, "-1"}}), R::BadLevel0, range + "0 and 32767.", 10, 16},
        {With({{&T::refVoltage, "nan"}}), R::BadRefVoltage, "Please enter a number.", 10, 16},
    };
    prompter.ExpectMessages();
    CountingView form;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        New().AddView(&form);
        prompter.shown.clear();
        EXPECT_EQ(doc.ApplyParameters(c.texts), c.result);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text, c.message);
        EXPECT_EQ(std::tuple(doc.Elements(), doc.DacDigits()),
                  std::tie(c.elementsAfter, c.digitsAfter));
        EXPECT_EQ(doc.Comment(), c.result == R::BadRefVoltage ? "note" : "");
        EXPECT_EQ(doc.ElementCodes(), Codes(256, 0));
        EXPECT_FALSE(doc.IsModified());
        EXPECT_TRUE(form.hints.empty());
    }
}

// The example document of the file layout, against a file made by hand.
TEST_F(VoltDocTest, ExampleIsWrittenAndReadByteForByteAndBadFilesAreRefused) {
    New();
    std::tie(DocFields(doc).m_nLevel0, DocFields(doc).m_nLevel1, DocFields(doc).m_dRefVoltage,
             DocFields(doc).m_nElements, DocFields(doc).m_nSection) =
        std::make_tuple(100, 200, 5.0, 4, 2);
    doc.BuildPattern();
    doc.BuildOutputCodes(); // never stored
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("example.vf")));
    const std::string golden = TempDir::Read(kExample);
    EXPECT_EQ(TempDir::Read(dir.File("example.vf")), golden);
    // A stored element count that differs from the stored codes is kept as it is.
    std::string six = golden;
    six[24] = 6;
    TempDir::Write(dir.File("six.vf"), six);
    CLC_VoltDoc loaded(context);
    ASSERT_TRUE(loaded.OnOpenDocument(dir.File("six.vf")));
    EXPECT_EQ(std::tuple(loaded.DacDigits(), loaded.Level0(), loaded.Level1(), loaded.RefVoltage(),
                         loaded.Elements(), loaded.Section()),
              std::make_tuple(16, 100, 200, 5.0, 6, 2));
    EXPECT_EQ(loaded.ElementCodes(), (Codes{200, 200, 100, 100}));
    EXPECT_TRUE(loaded.Codes().empty() && loaded.Comment().empty() && !loaded.IsModified());
    // Damaged files are refused and change nothing.
    std::vector<std::string> cases = {'\x00' + golden.substr(1), '\x02' + golden.substr(1),
                                      golden.substr(0, 3) + '\x01' + golden.substr(4),
                                      golden.substr(0, 33) + "\xFF\xFF\xFF\xFF\xFF\x7F"};
    for (std::size_t cut = 0; cut < golden.size(); ++cut) {
        cases.push_back(golden.substr(0, cut));
    }
    prompter.ExpectMessages();
    for (const auto& bytes : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        TempDir::Write(dir.File("bad.vf"), bytes);
        DocFields(New()).m_strComment = "kept";
        prompter.shown.clear();
        EXPECT_FALSE(doc.OnOpenDocument(dir.File("bad.vf")));
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text, "Unexpected file format.");
        EXPECT_EQ(std::tuple(doc.Elements(), doc.DacDigits(), doc.Comment()),
                  std::make_tuple(256, 16, "kept"));
        EXPECT_EQ(doc.ElementCodes(), Codes(256, 0));
        EXPECT_TRUE(doc.GetPathName().empty());
    }
}

} // namespace
