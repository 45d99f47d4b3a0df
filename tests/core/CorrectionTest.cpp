// The correction table, DAC codes and the limits in digits.
#include "support/ProfileFixture.h"

#include <cmath>

namespace {

const std::string kInvalid =
    "Number of elements invalid (file must contain one or more\nempty lines after last number)";
const std::string kTooLarge = "Some element(s) of correction table is too large";
using Codes = std::vector<std::uint16_t>;

class CorrectionTest : public ProfileFixture {
protected:
    // A new document for `digits` DAC digits whose table file has 2^(digits-1) entries f(k).
    template <typename F> CTessaronDoc& WithTable(int digits, F f) {
        std::string text;
        for (int k = 0; k < 1 << (digits - 1); ++k) {
            text += std::to_string(f(k)) + "\n";
        }
        return WithText(digits, text);
    }
    CTessaronDoc& WithText(int digits, const std::string& text) {
        TempDir::Write(dir.File("table.txt"), text);
        CTessaronDoc& d = NewDoc();
        DocFields(d).m_strCorrectionPath = dir.File("table.txt");
        DocFields(d).m_nDacDigits = digits;
        return d;
    }
};

TEST_F(CorrectionTest, CodesMirrorAroundTheMidpoint) {
    CTessaronDoc& d = WithTable(16, [](int k) { return k == 16383 ? 1000 : k; });
    DocFields(d).m_phase = {0.0, 8.0, 4.0};
    ASSERT_TRUE(d.ComputeDacCodes(false));
    EXPECT_EQ(d.Codes(), (Codes{32768, 65535, 49151, 32767, 0, 16384}));
    ASSERT_TRUE(d.UseCorrectionTable(dir.File("table.txt")));
    EXPECT_TRUE(prompter.waitCursorShown > 0 && prompter.waitCursorDepth == 0);
    ASSERT_TRUE(d.ComputeDacCodes(true));
    EXPECT_EQ(d.Codes(), (Codes{32768, 65535, 33768, 32767, 0, 31767}));
    // Phases a damaged file may hold land on the nearest level, never on a wrapped code.
    DocFields(d).m_nDacDigits = 10;
    DocFields(d).m_phase = {-3.0, 12.0, NAN};
    ASSERT_TRUE(d.ComputeDacCodes(false));
    EXPECT_EQ(d.Codes(), (Codes{512, 1023, 512, 511, 0, 511}));
}

// A table needs one entry below S = 2^(digits-1) per level; extra numbers are ignored.
TEST_F(CorrectionTest, TableFilesAreCheckedEntryByEntry) {
    std::string full;
    for (int k = 0; k < 512; ++k) {
        full += std::to_string(k) + (k % 8 == 7 ? "\n" : " ");
    }
    const std::string exact = full.substr(0, full.size() - 1); // no line break after the last
    const std::string tooFew = full.substr(0, full.rfind(' ', full.size() - 2)) + "\n";
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {exact, ""}, {full + "7 7 7\n", ""}, {tooFew, kInvalid}, {"", kInvalid},
        {"1 2 three\n", kInvalid}, {"0 512 " + full, kTooLarge},
        {"-1 " + full, kTooLarge}, {"70000 " + full, kTooLarge}, // neither 65535 nor 4464
        // Signs as scanf reads "%hu": "+511" is 511 and "-0" is 0; a negative stays refused.
        {"-0" + exact.substr(1, exact.size() - 4) + "+511", ""}, {"+512 " + full, kTooLarge},
        {"-00 -3 " + full, kTooLarge}};
    // clang-format on
    prompter.ExpectMessages();
    for (const auto& [text, message] : cases) {
        CTessaronDoc& d = WithText(10, text);
        EXPECT_EQ(d.UseCorrectionTable(dir.File("table.txt")), message.empty())
            << text.substr(0, 10);
        if (message.empty()) {
            EXPECT_TRUE(d.Correction().size() == 512 && d.Correction()[511] == 511);
            EXPECT_TRUE(prompter.shown.empty());
        } else {
            EXPECT_EQ(prompter.shown.at(0).type, unsigned{MB_OK | MB_ICONSTOP});
            EXPECT_EQ(Messages(), std::vector<std::string>{message});
        }
    }
}

TEST_F(CorrectionTest, MissingTableFileIsReportedAtOpenAndSwitchedOff) {
    CTessaronDoc& d = NewDoc();
    std::tie(DocFields(d).m_strCorrectionPath, DocFields(d).m_bUseCorrection) =
        std::tuple(dir.File("gone.txt"), 1);
    ASSERT_TRUE(d.OnSaveDocument(dir.File("p.lcp")));
    CTessaronDoc opened(context);
    prompter.ExpectMessages();
    ASSERT_TRUE(opened.OnOpenDocument(dir.File("p.lcp")));
    EXPECT_EQ(prompter.shown.at(0).type, unsigned{MB_OK});
    EXPECT_EQ(Messages(), std::vector<std::string>{"Can't open a file with correction table"});
    EXPECT_TRUE(opened.UseCorrection() == 0 && opened.IsModified());
}

TEST_F(CorrectionTest, ChangedDigitsReloadTheTableBeforeIndexingIt) {
    // A table that fits both 10 and 12 digits: its first 512 entries are valid for 10 bits.
    CTessaronDoc& d = WithTable(12, [](int k) { return k % 512; });
    DocFields(d).m_nDacDigits = 10;
    DocFields(d).m_bUseCorrection = 1;
    DocFields(d).m_phase.assign(4, 8.0);
    ASSERT_TRUE(d.UseCorrectionTable(dir.File("table.txt")));
    ASSERT_EQ(d.Correction().size(), 512u);
    DocFields(d).m_nDacDigits = 12; // as if changed after loading
    ASSERT_TRUE(d.ComputeDacCodes(true));
    EXPECT_TRUE(d.Correction().size() == 2048 && d.Codes()[0] == 2048 + 2047 % 512);
    // For 16 digits the same file is too short: the correction goes off, nothing is computed.
    DocFields(d).m_nDacDigits = 16;
    DocFields(d).m_codes.clear();
    prompter.QueueAnswer(IDOK);
    EXPECT_FALSE(d.ComputeDacCodes(true));
    EXPECT_TRUE(d.UseCorrection() == 0 && d.Codes().empty());
}

// A limit in digits becomes the phase of the nearer entry of the first pair that brackets it
// (ties to the lower index); no bracketing pair, no phase. A limit in parts of PI shows as
// the digits of an entry inside the table, whatever the values.
TEST_F(CorrectionTest, LimitsConvertThroughTheTable) {
    const std::vector<std::uint16_t> up = {0, 10, 20, 30, 40, 30, 20}, down = {50, 40, 30};
    // clang-format off
    const std::tuple<std::vector<std::uint16_t>, int, bool, double> cases[] = {
        {up, 14, true, 8.0 / 6}, {up, 15, true, 8.0 / 6}, {up, 16, true, 16.0 / 6},
        {up, 0, true, 0.0}, {up, 40, true, 32.0 / 6}, {up, 41, false, -1.0}, {up, -1, false, -1.0},
        {down, 44, true, 4.0}, {down, 45, true, 0.0}, {{7}, 7, false, -1.0}};
    // clang-format on
    CTessaronDoc& d = NewDoc();
    for (const auto& [table, digits, ok, expected] : cases) {
        DocFields(d).m_correction = table;
        double phase = -1.0;
        EXPECT_EQ(d.DigitsToPhase(digits, phase), ok) << digits;
        EXPECT_DOUBLE_EQ(phase, expected) << digits;
    }
    DocFields(d).m_correction.clear();
    EXPECT_EQ(d.PhaseToDigits(4.0), -1);
    DocFields(d).m_correction = {5, 6, 7};
    for (double maxPhase : {8.0, 0.0, -1.0}) {
        DocFields(d).m_dMaxPhase = maxPhase;
        for (double limit : {-1.0, 0.0, 4.0, 9.0, 1e300, double(NAN)}) {
            const int digits = d.PhaseToDigits(limit);
            EXPECT_TRUE(digits >= 5 && digits <= 7) << maxPhase << " " << limit;
        }
    }
}

TEST_F(CorrectionTest, ApplyTakesLimitsInDigitsWhileTheTableIsUsed) {
    CTessaronDoc& d = WithTable(10, [](int k) { return k; });
    DocFields(d).m_bUseCorrection = 1;
    ASSERT_TRUE(d.UseCorrectionTable(dir.File("table.txt")));
    ProfileParameters p{10, 256, 0.01, 8.0, 0.0, 8.0, true, 0, 511};
    ASSERT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::Applied);
    EXPECT_EQ(d.HighLimit(), 8.0);
    prompter.ExpectMessages();
    p.highCode = 600; // no pair of entries brackets it
    EXPECT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::BadLimits);
    p.highCode = 0; // low == high
    EXPECT_EQ(d.ApplyParameters(p), CTessaronDoc::ApplyResult::BadLimits);
    EXPECT_EQ(Messages(),
              (std::vector<std::string>{
                  "Program can't calculate low or high limit in parts of PI\nusing current "
                  "correcting table.",
                  "Low limit must be less then high limit.\nHigh limit must be less or equal "
                  "maximum code of DAC."}));
}

} // namespace
