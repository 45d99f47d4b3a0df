// tessaron-cli run as a real process on real files: what it prints, its exit status, and
// that a refused command writes nothing.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace {

const std::string kData = TESSARON_TEST_DATA;

class CliTest : public CliFixture {
protected:
    // A new default profile, the starting point of most cases.
    std::string Profile() {
        EXPECT_EQ(Cli({"new", dir.File("lens.lcp")}).exitCode, 0);
        return dir.File("lens.lcp");
    }

    std::string WriteText(const std::string& name, const std::string& text) {
        TempDir::Write(dir.File(name), text);
        return dir.File(name);
    }

    // Whether `text` contains `part`, printing the text when it does not.
    static ::testing::AssertionResult Has(const std::string& text, const std::string& part) {
        if (text.find(part) != std::string::npos) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
    }
};

// new takes the settings file's defaults, then the parameters given; set -o writes a copy.
TEST_F(CliTest, NewSetGenerateShow) {
    WriteText("tessaron.ini", "[Settings]\r\nNumber of elements=10\r\nMax faze Pi=6.000000\r\n");
    const std::string path = dir.File("p.lcp"), copy = dir.File("copy.lcp");
    ASSERT_EQ(Cli({"new", path, "--digits", "12", "--low", "0.5"}).exitCode, 0);
    EXPECT_TRUE(Has(Cli({"show", path}).out, "max-phase: 6\nlow-limit: 0.5\nhigh-limit: 6\n"
                                             "dac-digits: 12\nelements: 10\n"));
    const std::string before = TempDir::Read(path);
    ASSERT_EQ(Cli({"set", path, "--elements", "300", "-o", copy}).exitCode, 0);
    EXPECT_EQ(TempDir::Read(path), before);
    EXPECT_TRUE(Has(Cli({"show", copy}).out, "values: 300\n000: 0.000000e+000\n"));

    // A generated lens is symmetric: the first and the last value print the same.
    ASSERT_EQ(Cli({"generate", copy, "--diopters", "2.5", "--wavelength", "6.33e-07"}).exitCode, 0);
    const auto shown = Cli({"show", copy});
    EXPECT_TRUE(
        Has(shown.out, "creation-mode: 0 (Diopters)\ndiopters: 2.5\nwave-length: 6.33e-07\n"));
    const auto first = shown.out.find("\n000: "), last = shown.out.find("\n299: ");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(shown.out.substr(first + 6, 14), shown.out.substr(last + 6, 14));
    EXPECT_NE(shown.out.substr(first + 6, 14), "0.000000e+000\n");
    EXPECT_TRUE(shown.err.empty());
}

// Each refusal prints the program's message exactly, exits 1 and writes nothing.
TEST_F(CliTest, RefusalsPrintTheMessageAndWriteNothing) {
    const std::string lens = Profile();
    const std::string lensBytes = TempDir::Read(lens);
    const std::string out = dir.File("out.lcp");
    const std::string limits = "Low limit must be less then high limit.\nHigh limit must be "
                               "less or equal maximum phase.\n";
    const std::string cantGenerate = "Wizard can't generate data, with this parameters\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"new", out, "--elements", "600"}, "Please enter an integer between 1 and 512.\n"},
        {{"new", out, "--digits", "9"}, "Please enter an integer between 10 and 16.\n"},
        {{"new", out, "--aperture", "11"}, "Please enter a number between 0 and 10.\n"},
        {{"new", out, "--max-phase", "nan"}, "Please enter a number.\n"},
        {{"new", out, "--low", "2", "--high", "2"}, limits},
        {{"new", dir.File("no/such/folder/p.lcp")}, "Failed to save document.\n"},
        {{"set", lens, "--high", "101", "-o", out}, "Please enter a number between 0 and 100.\n"},
        {{"generate", lens, "-o", out, "--poly", "100", "0", "0", "0"},
         "Please enter a number between -63 and 63.\n"},
        {{"generate", lens, "-o", out, "--poly", "0", "0", "0", "1e-4"},
         "Please enter a number between -5e-05 and 5e-05.\n"},
        {{"generate", lens, "-o", out, "--diopters", "3", "--wavelength", "0"}, cantGenerate},
        {{"generate", lens, "-o", out, "--poly", "0", "0", "0.1", "0", "--max-jumps", "1"},
         cantGenerate},
        {{"show", dir.File("absent.lcp")}, "Failed to open document.\n"},
        {{"set", kData + "/profile-v3.lcp", "-o", out}, "Unexpected file format.\n"},
        {{"correction", lens, "--table", WriteText("big.txt", "70000\n")},
         "Some element(s) of correction table is too large\n"},
        {{"import", lens, "--phases", WriteText("short.txt", "1 2 3\n")},
         "Number of elements invalid (file must contain one or more\nempty lines after last "
         "number)\n"},
        {{"import", lens, "--codes", dir.File("absent.dat")}, "Can't open a file\n"}};
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[0] + " " + args.back());
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, message);
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(TempDir::Exists(out));
        EXPECT_EQ(TempDir::Read(lens), lensBytes);
    }
}

TEST_F(CliTest, CorrectionTableCodesExportAndImport) {
    const std::string lens = dir.File("t.lcp");
    ASSERT_EQ(Cli({"new", lens, "--digits", "10", "--elements", "4"}).exitCode, 0);
    ASSERT_EQ(Cli({"import", lens, "--phases", WriteText("in.txt", "0 2 4 8\n")}).exitCode, 0);
    EXPECT_EQ(Cli({"codes", lens}).out, "512\n639\n767\n1023\n511\n384\n256\n0\n");

    // A table that maps every level k to 511 - k.
    std::string table;
    for (int k = 0; k < 512; ++k) {
        table += std::to_string(511 - k) + "\n";
    }
    const auto on = Cli({"correction", lens, "--table", WriteText("table.txt", table)});
    ASSERT_EQ(on.exitCode, 0) << on.err;
    const std::string corrected = "1023\n896\n768\n512\n0\n127\n255\n511\n";
    EXPECT_EQ(Cli({"codes", lens}).out, corrected);
    const std::string out = dir.File("corrected.dat");
    ASSERT_EQ(Cli({"export", lens, "--corrected-codes", "-o", out}).exitCode, 0);
    EXPECT_EQ(TempDir::Read(out), corrected);

    ASSERT_EQ(Cli({"correction", lens, "--off"}).exitCode, 0);
    const auto refused = Cli({"export", lens, "--corrected-codes", "-o", dir.File("x.dat")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              "The profile does not use a correction table, so there are no corrected codes.\n");
    EXPECT_FALSE(TempDir::Exists(dir.File("x.dat")));
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    const std::string lens = Profile();
    const std::string a = dir.File("a.lcp");
    // clang-format off
    const std::vector<std::vector<std::string>> cases = {
        {}, {"frobnicate"}, {"new"}, {"new", a, "--colour", "red"}, {"new", a, "--elements"},
        {"generate", lens}, {"generate", lens, "--diopters", "1", "--poly", "0", "0", "0", "0"},
        {"generate", lens, "--poly", "0", "0", "0"}, {"show", lens, lens},
        {"generate", lens, "--diopters", "1", "--use-aperture"}, {"export", lens, "--phases"},
        {"export", lens, "--phases", "--codes", "-o", a}, {"import", lens, "--phases"},
        {"correction", lens}};
    // clang-format on
    for (const auto& args : cases) {
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "(nothing)" : args[0]);
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_FALSE(TempDir::Exists(a));
    const auto help = RunProcess(TESSARON_CLI, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Has(help.out, "generate FILE.lcp"));
    const auto version = RunProcess(TESSARON_CLI, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tessaron-cli ", 0), 0u);
}

} // namespace
