// Import and export of profile data through the file dialogs.
#include "support/ProfileFixture.h"

namespace {

const std::string kInvalid =
    "Number of elements invalid (file must contain one or more\nempty lines after last number)";
enum Filter { kPhases = 1, kCodes = 2 };
const std::vector<int> kParams{HINT_PARAMS};

class TransferTest : public ProfileFixture {
protected:
    // A document of four elements.
    CTessaronDoc& Small() {
        TempDir::Write(settings.Path(), "[Settings]\nNumber of elements=4\n");
        return NewDoc();
    }
    // Chooses `path` with filter number `filter` in the next dialog.
    void Transfer(CTessaronDoc& d, bool import, const std::string& path, int filter) {
        prompter.QueueFile(FileChoice{path, filter});
        import ? d.ImportData() : d.ExportData();
    }
};

// Phases are written to seven digits, codes as the DAC's mirrored pairs; both read back.
TEST_F(TransferTest, ExportedDataReadBack) {
    const auto level = [](double k) { return k * 8.0 / 32767; };
    // filter, data, file, data read back
    // clang-format off
    const std::tuple<int, std::vector<double>, std::string, std::vector<double>> cases[] = {
        {kPhases, {0.0, 1.0 / 3.0, 7.123456789, 8.0},
         "0.000000e+00\n3.333333e-01\n7.123457e+00\n8.000000e+00\n", {0, 0.3333333, 7.123457, 8}},
        {kCodes, {0.0, 1.0, 4.0, 8.0}, "32768\n36863\n49151\n65535\n32767\n28672\n16384\n0\n",
         {0.0, level(4095), level(16383), 8.0}}};
    // clang-format on
    for (const auto& [filter, data, text, readBack] : cases) {
        CTessaronDoc& d = Small();
        DocFields(d).m_phase = data;
        Transfer(d, false, dir.File("out"), filter);
        EXPECT_EQ(std::tuple(TempDir::Read(dir.File("out")), d.IsModified(), view.hints.size()),
                  std::tuple(text, false, 0u));
        Transfer(d, true, dir.File("out"), filter);
        EXPECT_EQ(std::tuple(d.Phase(), view.hints), std::tie(readBack, kParams));
        EXPECT_TRUE(d.IsModified());
    }
}

// An import takes the first numbers of the file; one that fails shows its message and leaves
// the data. The views refresh either way.
TEST_F(TransferTest, ImportsTakeTheFirstNumbersOrChangeNothing) {
    const std::vector<double> unchanged(4, 0.5);
    const std::string badPhases = "Some numbers in array are greater then maximum phase "
                                  "(8.000000e+000), or smaller than 0. Indexes of this numbers:\n"
                                  "001: 9.500000e+000, \t003: -1.000000e+000";
    // filter, file, data afterwards, message
    const std::tuple<int, std::string, std::vector<double>, std::string> cases[] = {
        {kPhases, "1\n2\r\n3 4 5 6 junk", {1, 2, 3, 4}, ""},
        {kCodes, "32767 28672 16384 0\n", {0, 4095 * 8.0 / 32767, 16383 * 8.0 / 32767, 8}, ""},
        {kPhases, "", unchanged, kInvalid},
        {kPhases, "1 2 3\n", unchanged, kInvalid},
        {kPhases, "1 2 x 3\n", unchanged, kInvalid},
        {kPhases, "1 2 nan 3\n", unchanged, kInvalid},
        {kCodes, "40000 70000 40000 40000\n", unchanged, kInvalid}, // no code wider than 16 bits
        {kCodes, "+32767 -0 +16384 -00\n", {0, 8, 16383 * 8.0 / 32767, 8}, ""},
        {kCodes, "40000 -7 40000 40000\n", unchanged, kInvalid}, // no negative code
        {kPhases, "1 9.5 2 -1\n", unchanged, badPhases}};
    prompter.ExpectMessages();
    for (const auto& [filter, text, after, message] : cases) {
        CTessaronDoc& d = Small();
        DocFields(d).m_phase = unchanged;
        TempDir::Write(dir.File("in.txt"), text);
        Transfer(d, true, dir.File("in.txt"), filter);
        EXPECT_EQ(d.Phase(), after) << text;
        EXPECT_EQ(Messages(),
                  message.empty() ? std::vector<std::string>{} : std::vector<std::string>{message});
        EXPECT_EQ(std::tuple(d.IsModified(), view.hints), std::tuple(message.empty(), kParams));
    }
}

TEST_F(TransferTest, DialogsOfferTheCorrectedCodesOnlyWithTheTableAndReportBadFiles) {
    CTessaronDoc& d = Small();
    for (int i = 0; i < 3; ++i) {
        DocFields(d).m_bUseCorrection = i == 2;
        prompter.QueueFile(std::nullopt);
        i == 1 ? d.ImportData() : d.ExportData();
    }
    const auto& requests = prompter.fileRequests;
    ASSERT_EQ(requests.size(), 3u);
    const std::string plain = "Text Files (*.txt)|*.txt|Data files (*.dat)|*.dat";
    EXPECT_EQ(
        std::tie(requests[0].filter, requests[1].filter, requests[2].filter),
        std::tuple(plain + "||", plain + "||", plain + "|Corrected data files(*.dat)|*.dat||"));
    EXPECT_TRUE(requests[0].overwritePrompt);
    EXPECT_TRUE(view.hints.empty()); // cancelled dialogs change nothing
    // Files that cannot be read or written say so.
    prompter.ExpectMessages();
    Transfer(d, true, dir.File("absent.txt"), kPhases);
    EXPECT_TRUE(view.hints.empty());
    TempDir::Write(dir.File("file"), "x");
    Transfer(d, false, dir.File("file/out.txt"), kPhases);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].type, unsigned{MB_OK});
    EXPECT_EQ(prompter.shown[1].type, unsigned{MB_OK | MB_ICONSTOP});
    EXPECT_EQ(Messages(), std::vector<std::string>(2, "Can't open a file"));
}

} // namespace
