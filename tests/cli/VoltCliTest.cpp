// tessaron-cli on volt-phase tables, run as a real process: the form's checks and messages,
// the listing, the sent codes, and that a refused command writes nothing.
#include "support/CliFixture.h"

#include <gtest/gtest.h>

namespace {

const std::string kData = TESSARON_TEST_DATA;

using VoltCliTest = CliFixture;

TEST_F(VoltCliTest, NewAppliesTheFieldsAndBuildsThePattern) {
    TempDir::Write(dir.File("tessaron.ini"), "[Settings]\r\nDAC Digit=10\r\n");
    const std::string path = dir.File("p.vf");
    const auto made =
        Cli({"volt", "new", path, "--elements", "5", "--section", "2", "--level1", "511",
             "--level0", "3", "--ref-voltage", "2.5e0", "--comment", "first\nsecond"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_TRUE(made.out.empty());
    const auto shown = Cli({"show", path});
    EXPECT_EQ(shown.out, "dac-digits: 10\nelements: 5\nsection: 2\nlevel1: 511\nlevel0: 3\n"
                         "ref-voltage: 2.5\nlevel1-voltage: 1.250000\nlevel0-voltage: 0.007339\n"
                         "comment: first\\nsecond\nelement-codes: 5\n"
                         "000: 511\n001: 511\n002: 3\n003: 3\n004: 511\n");
    const auto codes = Cli({"codes", path});
    ASSERT_EQ(codes.exitCode, 0) << codes.err;
    EXPECT_EQ(codes.out, "1023\n1023\n515\n515\n1023\n0\n0\n508\n508\n0\n");
}

// A refusal prints the message exactly and exits 1, a usage error exits 2; neither writes.
TEST_F(VoltCliTest, RefusalsAndUsageErrorsWriteNothing) {
    const std::string out = dir.File("out.vf"), v2 = dir.File("v2.vf");
    TempDir::Write(v2, '\x02' + TempDir::Read(kData + "/volt-example.vf").substr(1));
    const struct {
        std::vector<std::string> args;
        std::string message; // empty: a usage error, exit status 2
    } cases[] = {
        // The digits are read before the levels, whatever the order on the command line.
        {{"volt", "new", out, "--level1", "1000", "--digits", "10"},
         "Please enter an integer between 0 and 511.\n"},
        {{"volt", "new", dir.File("no/such/folder/p.vf")}, "Failed to save document.\n"},
        {{"show", v2}, "Unexpected file format.\n"},
        {{"codes", dir.File("absent.vf")}, "Failed to open document.\n"},
        {{"volt"}, ""},
        {{"volt", "old", out}, ""},
        {{"volt", "new", out, "--colour", "red"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const auto result = Cli(c.args);
        EXPECT_EQ(result.exitCode, c.message.empty() ? 2 : 1);
        if (c.message.empty()) {
            EXPECT_NE(result.err.find("usage: tessaron-cli volt new OUT.vf"), std::string::npos);
        } else {
            EXPECT_EQ(result.err, c.message);
        }
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(TempDir::Exists(out));
    }
}

} // namespace
