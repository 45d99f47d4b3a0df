// tessaron-cli run as a real process on real files: what it prints, its exit status, and
// that a refused command writes nothing.
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

const std::string kCli = TESSARON_CLI;
const std::string kData = TESSARON_TEST_DATA;
const std::string kLimits =
    "Low limit must be less then high limit.\nHigh limit must be less or equal maximum phase.\n";

class CliTest : public ::testing::Test {
protected:
    ProcessResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", dir.File("tessaron.ini")});
        return RunProcess(kCli, args);
    }

    // A profile with a generated lens, the starting point of most cases.
    std::string Lens() {
        const std::string path = dir.File("lens.lcp");
        EXPECT_EQ(Cli({"new", path}).exitCode, 0);
        EXPECT_EQ(Cli({"generate", path, "--diopters", "2.5", "--wavelength", "6.33e-07"}).exitCode,
                  0);
        return path;
    }

    TempDir dir;
};

TEST_F(CliTest, NewGenerateShowMakesAFoldedLens) {
    const std::string path = Lens();
    const auto shown = Cli({"show", path});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("creation-mode: 0 (Diopters)\ndiopters: 2.5\nwave-length: 6.33e-07\n"),
              std::string::npos);
    EXPECT_NE(shown.out.find("elements: 256\n"), std::string::npos);
    EXPECT_NE(shown.out.find("values: 256\n000: "), std::string::npos);
    // The lens is symmetric: the first and the last value print the same.
    const auto first = shown.out.find("\n000: ");
    const auto last = shown.out.find("\n255: ");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(shown.out.substr(first + 6, 14), shown.out.substr(last + 6, 14));
    EXPECT_TRUE(shown.err.empty());
}

TEST_F(CliTest, NewTakesTheSettingsDefaultsThenTheGivenParameters) {
    TempDir::Write(dir.File("tessaron.ini"),
                   "[Settings]\r\nNumber of elements=10\r\nMax faze Pi=6.000000\r\n");
    const std::string path = dir.File("p.lcp");
    ASSERT_EQ(Cli({"new", path, "--digits", "12", "--low", "0.5"}).exitCode, 0);
    const auto shown = Cli({"show", path});
    EXPECT_NE(shown.out.find("max-phase: 6\nlow-limit: 0.5\nhigh-limit: 6\ndac-digits: 12\n"
                             "elements: 10\n"),
              std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("values: 10\n000: 0.000000e+000\n"), std::string::npos);
}

TEST_F(CliTest, SetResizesTheDataAndWritesTheCopyOnly) {
    const std::string path = Lens();
    const std::string before = TempDir::Read(path);
    const std::string copy = dir.File("copy.lcp");
    ASSERT_EQ(Cli({"set", path, "--elements", "300", "-o", copy}).exitCode, 0);
    EXPECT_EQ(TempDir::Read(path), before);
    const auto shown = Cli({"show", copy});
    EXPECT_NE(shown.out.find("values: 300\n"), std::string::npos);
    EXPECT_NE(shown.out.find("299: 0.000000e+000\n"), std::string::npos);
}

// Each refusal prints the program's message exactly, exits 1 and writes nothing.
TEST_F(CliTest, RefusalsPrintTheMessageAndWriteNothing) {
    const std::string lens = Lens();
    const std::string lensBytes = TempDir::Read(lens);
    const std::string out = dir.File("out.lcp");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"new", out, "--elements", "600"}, "Please enter an integer between 1 and 512.\n"},
        {{"new", out, "--elements", "12.5"}, "Please enter an integer.\n"},
        {{"new", out, "--digits", "9"}, "Please enter an integer between 10 and 16.\n"},
        {{"new", out, "--aperture", "11"}, "Please enter a number between 0 and 10.\n"},
        {{"new", out, "--max-phase", "nan"}, "Please enter a number.\n"},
        {{"new", out, "--max-phase", "4"}, kLimits},
        {{"new", out, "--low", "2", "--high", "2"}, kLimits},
        {{"new", dir.File("no/such/folder/p.lcp")}, "Failed to save document.\n"},
        {{"set", lens, "--high", "101", "-o", out}, "Please enter a number between 0 and 100.\n"},
        {{"generate", lens, "-o", out, "--poly", "100", "0", "0", "0"},
         "Please enter a number between -63 and 63.\n"},
        {{"generate", lens, "-o", out, "--poly", "0", "0", "0", "1e-4"},
         "Please enter a number between -5e-05 and 5e-05.\n"},
        {{"generate", lens, "-o", out, "--diopters", "three"}, "Please enter a number.\n"},
        {{"generate", lens, "-o", out, "--diopters", "3", "--wavelength", "0"},
         "Wizard can't generate data, with this parameters\n"},
        {{"generate", lens, "-o", out, "--poly", "0", "0", "0.1", "0", "--max-jumps", "1"},
         "Wizard can't generate data, with this parameters\n"},
        {{"show", dir.File("absent.lcp")}, "Failed to open document.\n"},
        {{"show", kData + "/profile-v3.lcp"}, "Unexpected file format.\n"},
        {{"set", kData + "/profile-v3.lcp", "-o", out}, "Unexpected file format.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args.back());
        const auto result = Cli(c.args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, c.message);
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(TempDir::Exists(out));
        EXPECT_EQ(TempDir::Read(lens), lensBytes);
    }
}

TEST_F(CliTest, ApplyChecksDataAgainstTheNewMaximumPhase) {
    const std::string lens = Lens();
    const std::string before = TempDir::Read(lens);
    const auto result = Cli({"set", lens, "--max-phase", "1", "--high", "1"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("Some numbers in array are greater then maximum phase "
                               "(1.000000e+000), or smaller than 0. Indexes of this numbers:\n",
                               0),
              0u);
    EXPECT_NE(result.err.find("..."), std::string::npos);
    EXPECT_EQ(TempDir::Read(lens), before);
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    const std::string lens = Lens();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"new"},
        {"new", dir.File("a.lcp"), "--colour", "red"},
        {"new", dir.File("a.lcp"), "--elements"},
        {"generate", lens},
        {"generate", lens, "--diopters", "1", "--poly", "0", "0", "0", "0"},
        {"generate", lens, "--poly", "0", "0", "0"},
        {"generate", lens, "--diopters", "1", "--use-aperture"},
        {"show", lens, lens},
    };
    for (const auto& args : cases) {
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "(nothing)" : args[0]);
        EXPECT_FALSE(result.err.empty());
    }
    EXPECT_FALSE(TempDir::Exists(dir.File("a.lcp")));
}

TEST_F(CliTest, HelpAndVersion) {
    const auto help = RunProcess(kCli, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("generate FILE.lcp"), std::string::npos);
    const auto version = RunProcess(kCli, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tessaron-cli ", 0), 0u);
}

} // namespace
