// tessaron-cli run as a real process on real files and against the controller simulator: what
// it prints, its exit status, and that a refused command writes nothing.
#include "ControllerSimulator.h"
#include "support/CliFixture.h"
#include "support/DiskFaults.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace {

const std::string kData = TESSARON_TEST_DATA;
using ::testing::HasSubstr;

class CliTest : public CliFixture {
protected:
    // A new profile with the given parameters, the starting point of most cases.
    std::string Profile(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"new", dir.File("lens.lcp")});
        EXPECT_EQ(Cli(args).exitCode, 0);
        return dir.File("lens.lcp");
    }
    std::string WriteText(const std::string& name, const std::string& text) {
        TempDir::Write(dir.File(name), text);
        return dir.File(name);
    }
    // A save that the file system refuses keeps the program's message, adds the file and the
    // system's reason on a second line, exits 1 and changes nothing; for every command that
    // writes.
    void ExpectRefusedSaves(const std::string& lens, const std::string& folder,
                            const std::string& reason) {
        const std::string lensBytes = TempDir::Read(lens);
        const std::string saveFailed = "Failed to save document.";
        const std::pair<std::vector<std::string>, std::string> cases[] = {
            {{"new", folder + "/new.lcp"}, saveFailed},
            {{"set", lens, "--high", "4", "-o", folder + "/set.lcp"}, saveFailed},
            {{"export", lens, "--codes", "-o", folder + "/codes.dat"}, "Can't open a file"},
            {{"volt", "new", folder + "/cal.vf"}, saveFailed},
        };
        for (const auto& [args, message] : cases) {
            const std::string& target = args.back();
            SCOPED_TRACE(args[0] + " " + target);
            const auto result = Cli(args);
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.err, message + "\n" + target + ": " + reason + "\n");
            EXPECT_TRUE(result.out.empty());
            EXPECT_FALSE(TempDir::Exists(target));
            EXPECT_EQ(TempDir::Read(lens), lensBytes);
        }
    }
    // The second line of a message about a file of the test's folder that is not there.
    std::string Missing(const std::string& name) const {
        return dir.File(name) + ": No such file or directory\n";
    }
};

// new takes the settings file's defaults, then the parameters given; set -o writes a copy.
TEST_F(CliTest, NewSetGenerateShow) {
    WriteText("tessaron.ini", "[Settings]\r\nNumber of elements=10\r\nMax faze Pi=6.000000\r\n");
    const std::string path = dir.File("p.lcp"), copy = dir.File("copy.lcp");
    ASSERT_EQ(Cli({"new", path, "--digits", "12", "--low", "0.5"}).exitCode, 0);
    EXPECT_THAT(Cli({"show", path}).out, HasSubstr("max-phase: 6\nlow-limit: 0.5\nhigh-limit: 6\n"
                                                   "dac-digits: 12\nelements: 10\n"));
    const std::string before = TempDir::Read(path);
    ASSERT_EQ(Cli({"set", path, "--elements", "300", "-o", copy}).exitCode, 0);
    EXPECT_EQ(TempDir::Read(path), before);
    EXPECT_THAT(Cli({"show", copy}).out, HasSubstr("values: 300\n000: 0.000000e+000\n"));
    // A generated lens is symmetric: the first and the last value print the same.
    ASSERT_EQ(Cli({"generate", copy, "--diopters", "2.5", "--wavelength", "6.33e-07"}).exitCode, 0);
    const auto shown = Cli({"show", copy});
    EXPECT_THAT(shown.out,
                HasSubstr("creation-mode: 0 (Diopters)\ndiopters: 2.5\nwave-length: 6.33e-07\n"));
    const auto first = shown.out.find("\n000: "), last = shown.out.find("\n299: ");
    ASSERT_NE(last, std::string::npos);
    EXPECT_EQ(shown.out.substr(first + 6, 14), shown.out.substr(last + 6, 14));
    EXPECT_NE(shown.out.substr(first + 6, 14), "0.000000e+000\n");
    EXPECT_TRUE(shown.err.empty());
}

// Each refusal prints the program's message exactly and exits 1, each usage error exits 2
// (message empty), and neither writes anything.
TEST_F(CliTest, RefusalsAndUsageErrorsWriteNothing) {
    const std::string lens = Profile(), lensBytes = TempDir::Read(lens);
    const std::string out = dir.File("out.lcp"), vf = dir.File("out.vf"), v2 = dir.File("v2.vf");
    TempDir::Write(v2, '\x02' + TempDir::Read(kData + "/volt-example.vf").substr(1));
    const std::string limits = "Low limit must be less then high limit.\nHigh limit must be "
                               "less or equal maximum phase.\n";
    const std::string cantGenerate = "Wizard can't generate data, with this parameters\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"new", out, "--elements", "600"}, "Please enter an integer between 1 and 512.\n"},
        {{"new", out, "--digits", "9"}, "Please enter an integer between 10 and 16.\n"},
        {{"new", out, "--aperture", "11"}, "Please enter a number between 0 and 10.\n"},
        {{"new", out, "--max-phase", "nan"}, "Please enter a number.\n"},
        {{"new", out, "--low", "2", "--high", "2"}, limits},
        {{"new", dir.File("no/such/folder/p.lcp")},
         "Failed to save document.\n" + Missing("no/such/folder/p.lcp")},
        {{"set", lens, "--high", "101", "-o", out}, "Please enter a number between 0 and 100.\n"},
        {{"generate", lens, "-o", out, "--poly", "100", "0", "0", "0"},
         "Please enter a number between -63 and 63.\n"},
        {{"generate", lens, "-o", out, "--poly", "0", "0", "0", "1e-4"},
         "Please enter a number between -5e-05 and 5e-05.\n"},
        {{"generate", lens, "-o", out, "--diopters", "3", "--wavelength", "0"}, cantGenerate},
        {{"generate", lens, "-o", out, "--poly", "0", "0", "0.1", "0", "--max-jumps", "1"},
         cantGenerate},
        {{"show", dir.File("absent.lcp")}, "Failed to open document.\n" + Missing("absent.lcp")},
        {{"set", kData + "/profile-v3.lcp", "-o", out},
         "Unexpected file format.\n" + kData + "/profile-v3.lcp\n"},
        {{"correction", lens, "--table", WriteText("big.txt", "70000\n")},
         "Some element(s) of correction table is too large\n"},
        {{"import", lens, "--phases", WriteText("short.txt", "1 2 3\n")},
         "Number of elements invalid (file must contain one or more\nempty lines after last "
         "number)\n"},
        {{"import", lens, "--codes", dir.File("absent.dat")},
         "Can't open a file\n" + Missing("absent.dat")},
        // The digits are read before the levels, whatever the order on the command line.
        {{"volt", "new", vf, "--level1", "1000", "--digits", "10"},
         "Please enter an integer between 0 and 511.\n"},
        {{"volt", "new", dir.File("no/such/folder/p.vf")},
         "Failed to save document.\n" + Missing("no/such/folder/p.vf")},
        {{"show", v2}, "Unexpected file format.\n" + v2 + "\n"},
        {{"codes", dir.File("absent.vf")}, "Failed to open document.\n" + Missing("absent.vf")},
        // clang-format off
        {{}, ""}, {{"frobnicate"}, ""}, {{"new"}, ""}, {{"new", out, "--colour", "red"}, ""},
        {{"new", out, "--elements"}, ""}, {{"generate", lens}, ""},
        {{"generate", lens, "--diopters", "1", "--poly", "0", "0", "0", "0"}, ""},
        {{"generate", lens, "--poly", "0", "0", "0"}, ""}, {{"show", lens, lens}, ""},
        {{"generate", lens, "--diopters", "1", "--use-aperture"}, ""},
        {{"export", lens, "--phases"}, ""}, {{"export", lens, "--phases", "--codes", "-o", out}, ""},
        {{"import", lens, "--phases"}, ""}, {{"correction", lens}, ""}, {{"volt"}, "volt"},
        {{"volt", "old", vf}, "volt"}, {{"volt", "new", vf, "--colour", "red"}, "volt"}};
    // clang-format on
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args.empty() ? "(nothing)" : args[0] + " " + args.back());
        const auto result = Cli(args);
        const bool usage = message.empty() || message == "volt";
        EXPECT_EQ(result.exitCode, usage ? 2 : 1);
        if (message == "volt") {
            EXPECT_THAT(result.err, HasSubstr("usage: tessaron-cli volt new OUT.vf"));
        } else if (usage) {
            EXPECT_FALSE(result.err.empty());
        } else {
            EXPECT_EQ(result.err, message);
        }
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(TempDir::Exists(out) || TempDir::Exists(vf));
        EXPECT_EQ(TempDir::Read(lens), lensBytes);
    }
    const auto help = RunProcess(TESSARON_CLI, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, HasSubstr("generate FILE.lcp"));
    const auto version = RunProcess(TESSARON_CLI, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tessaron-cli ", 0), 0u);
}

TEST_F(CliTest, SavesIntoAMissingFolderSayWhy) {
    ExpectRefusedSaves(Profile(), dir.File("gone"), "No such file or directory");
}

TEST_F(CliTest, SavesIntoAReadOnlyFolderSayWhy) {
    const std::string lens = Profile();
    const ReadOnlyFolder locked(dir.File("locked"));
    if (!locked.Usable()) {
        GTEST_SKIP() << "no folder that refuses writes can be made here (root without mount)";
    }
    ExpectRefusedSaves(lens, dir.File("locked"), ReadOnlyFolder::Reason());
}

// Every command's --help shows its usage line and names its options, on standard output.
TEST_F(CliTest, HelpOfEachCommandNamesItsOptions) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{}, {"--settings PATH", "--version", "new OUT.lcp", "volt new OUT.vf", "send FILE"}},
        {{"new"},
         {"OUT.lcp", "--elements N", "--digits D", "--aperture M", "--max-phase P", "--low L",
          "--high H"}},
        {{"set"}, {"FILE.lcp", "--elements N", "--high H", "-o OUT.lcp"}},
        {{"generate"},
         {"-o OUT.lcp", "--diopters D", "--wavelength M", "--poly A0 A1 A2 A3", "--use-aperture",
          "--max-jumps M", "--min-voltage"}},
        {{"show"}, {"FILE "}},
        {{"export"}, {"--phases", "--codes", "--corrected-codes", "-o OUT"}},
        {{"import"}, {"FILE.lcp", "IN ", "--phases", "--codes", "-o OUT.lcp"}},
        {{"correction"}, {"--table PATH", "--off", "-o OUT.lcp"}},
        {{"codes"}, {"FILE "}},
        {{"volt"}, {"volt new OUT.vf"}},
        {{"volt", "new"},
         {"OUT.vf", "--elements N", "--digits D", "--section S", "--level1 X", "--level0 Y",
          "--ref-voltage V", "--comment TEXT"}},
        {{"send"},
         {"--port PATH", "--speed BAUD", "--timeout MS", "--log PATH", "--line-div 1|2|4|8",
          "--frame-div 1|2|4|8"}},
    };
    for (const auto& [command, options] : cases) {
        std::string name;
        for (const auto& word : command) {
            name += " " + word;
        }
        SCOPED_TRACE(name);
        auto args = command;
        args.push_back("--help");
        const auto help = Cli(args);
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.err.empty());
        EXPECT_EQ(help.out.rfind("Usage: tessaron-cli" + name + " ", 0), 0u) << help.out;
        for (const auto& option : options) {
            EXPECT_THAT(help.out, HasSubstr(option));
        }
    }
}

// A usage error names the command and what is wrong, then shows the command's usage and where
// its help is.
TEST_F(CliTest, UsageErrorsNameTheCommandAndTheirCause) {
    const std::string lens = Profile(), out = dir.File("out.txt");
    // arguments, the command named, what its first line says
    const std::tuple<std::vector<std::string>, std::string, std::string> cases[] = {
        {{"frobnicate"}, "", "unknown command 'frobnicate'"},
        {{"--colour"}, "", "unknown option --colour"},
        {{"new", out, "--colour", "red"}, " new", "unknown option --colour"},
        {{"show", lens, lens}, " show", "unexpected argument '"},
        {{"new"}, " new", "OUT.lcp is required"},
        {{"import", lens, "--phases"}, " import", "IN is required"},
        {{"export", lens, "--codes"}, " export", "-o is required"},
        {{"new", out, "--elements"}, " new", "--elements"},
        {{"generate", lens, "--poly", "0", "0", "0"}, " generate", "--poly"},
        {{"generate", lens}, " generate", "--diopters,--poly"},
        {{"generate", lens, "--diopters", "1", "--poly", "0", "0", "0", "0"},
         " generate",
         "--diopters excludes --poly"},
        {{"generate", lens, "--poly", "0", "0", "0", "0", "--wavelength", "1e-6"},
         " generate",
         "--wavelength requires --diopters"},
        {{"export", lens, "--codes", "--corrected-codes", "-o", out},
         " export",
         "--codes excludes --corrected-codes"},
        {{"correction", lens, "--off", "--table", lens}, " correction", "excludes"},
        {{"send", lens, "--timeout", "0"}, " send", "--timeout: the time-out is a number"},
        {{"volt"}, " volt", "a command is required"},
        {{"volt", "old"}, " volt", "unknown command 'old'"},
    };
    for (const auto& [args, command, cause] : cases) {
        SCOPED_TRACE(args.back());
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.out.empty());
        const std::string name = "tessaron-cli" + command;
        EXPECT_EQ(result.err.rfind(name + ": ", 0), 0u) << result.err;
        const std::string firstLine = result.err.substr(0, result.err.find('\n'));
        EXPECT_THAT(firstLine, HasSubstr(cause));
        EXPECT_THAT(result.err, HasSubstr("\nusage: " + name + " "));
        EXPECT_THAT(result.err, HasSubstr("Run '" + name + " --help'"));
    }
    EXPECT_FALSE(TempDir::Exists(out));
}

// Values that begin with a minus sign are values, the tool's options may follow the command,
// and an option's value may be joined to it with "=".
TEST_F(CliTest, NegativeValuesAndOptionsAfterTheCommand) {
    const std::string lens = Profile(), ini = dir.File("other.ini");
    TempDir::Write(ini, "[Settings]\r\nNumber of elements=7\r\n");
    ASSERT_EQ(RunProcess(TESSARON_CLI, {"new", dir.File("p.lcp"), "--settings", ini}).exitCode, 0);
    EXPECT_THAT(Cli({"show", dir.File("p.lcp")}).out, HasSubstr("\nelements: 7\n"));

    const auto poly = Cli({"generate", lens, "--poly", "-1", "-.5", "-1e-3", "0", "--max-jumps=3"});
    ASSERT_EQ(poly.exitCode, 0) << poly.err;
    const std::string shown = Cli({"show", lens}).out;
    EXPECT_THAT(shown, HasSubstr("a0: -1\na1: -0.5\na2: -0.001\na3: 0\nuse-aperture: 0\n"));
    EXPECT_THAT(shown, HasSubstr("\nmax-jumps: 3\nlimit-jumps: 1\n"));
    ASSERT_EQ(Cli({"generate", lens, "--diopters", "-2.5"}).exitCode, 0);
    EXPECT_THAT(Cli({"show", lens}).out, HasSubstr("\ndiopters: -2.5\n"));
}

TEST_F(CliTest, CorrectionTableCodesExportAndImport) {
    const std::string lens = Profile({"--digits", "10", "--elements", "4"});
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

TEST_F(CliTest, VoltNewAppliesTheFieldsAndBuildsThePattern) {
    WriteText("tessaron.ini", "[Settings]\r\nDAC Digit=10\r\n");
    const std::string path = dir.File("p.vf");
    const auto made =
        Cli({"volt", "new", path, "--elements", "5", "--section", "2", "--level1", "511",
             "--level0", "3", "--ref-voltage", "2.5e0", "--comment", "first\nsecond"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_TRUE(made.out.empty());
    EXPECT_EQ(Cli({"show", path}).out,
              "dac-digits: 10\nelements: 5\nsection: 2\nlevel1: 511\nlevel0: 3\n"
              "ref-voltage: 2.5\nlevel1-voltage: 1.250000\nlevel0-voltage: 0.007339\n"
              "comment: first\\nsecond\nelement-codes: 5\n"
              "000: 511\n001: 511\n002: 3\n003: 3\n004: 511\n");
    const auto codes = Cli({"codes", path});
    ASSERT_EQ(codes.exitCode, 0) << codes.err;
    EXPECT_EQ(codes.out, "1023\n1023\n515\n515\n1023\n0\n0\n508\n508\n0\n");
}

TEST_F(CliTest, SendSendsTheCodesThatCodesLists) {
    const std::string lens = Profile({"--elements", "300"});
    ASSERT_EQ(Cli({"generate", lens, "--diopters", "2.5", "--wavelength", "6.33e-07"}).exitCode, 0);
    std::vector<std::uint16_t> expected;
    std::istringstream listed(Cli({"codes", lens}).out);
    for (unsigned code = 0; listed >> code;) {
        expected.push_back(static_cast<std::uint16_t>(code));
    }
    ControllerSimulator sim;
    sim.Start();
    const auto result = Cli({"send", lens, "--port", sim.SlavePath(), "--speed", "115200",
                             "--timeout", "200", "--line-div", "4", "--log", dir.File("p.log")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "sent 300 elements (600 codes)\n");
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(
        std::tie(commands[1].arg1, commands[2].letter, commands[2].elements, commands[3].letter),
        std::make_tuple(std::uint8_t{4}, 'S', std::uint16_t{300}, 'Z'));
    EXPECT_EQ(commands[2].codes, expected);
    EXPECT_TRUE(sim.Problems().empty());
    EXPECT_GT(TempDir::Read(dir.File("p.log")).size(), 1000u);
}

// A failure prints the controller's message and exits 1; a usage error exits 2.
TEST_F(CliTest, SendFailuresPrintTheControllerMessage) {
    const std::string lens = Profile();
    // arguments ("@": the simulator's line), faults, exit status, message (empty: not checked)
    const std::tuple<std::vector<std::string>, ControllerSimulator::Faults, int, std::string>
        cases[] = {
            {{"--port", dir.File("no-such-port")}, {}, 1, "Can't open COM-port\n"},
            {{"--port", "@", "--timeout", "20"},
             {.silent = true},
             1,
             "Can't connect to controller\n"},
            {{"--port", "@", "--timeout", "20"},
             {.silentAfterSteps = 6}, // connected, then nothing more answered
             1,
             "Error during send data to controller\n"
             "Error during send disconnect command to controller\n"},
            {{"--speed", "12345"}, {}, 2, ""},
            {{"--frame-div", "3"}, {}, 2, ""},
        };
    for (const auto& [extra, faults, exitCode, err] : cases) {
        ControllerSimulator sim;
        sim.SetFaults(faults);
        sim.Start();
        std::vector<std::string> args{"send", lens};
        for (const auto& arg : extra) {
            args.push_back(arg == "@" ? sim.SlavePath() : arg);
        }
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, exitCode) << extra.back();
        EXPECT_TRUE(result.out.empty() && (err.empty() || result.err == err)) << result.err;
    }
}

} // namespace
