// tessaron-cli send, run as a real process against the controller simulator.
#include "ControllerSimulator.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace {

using SendCliTest = CliFixture;

TEST_F(SendCliTest, SendsTheCodesThatCodesLists) {
    const std::string lens = dir.File("lens.lcp");
    ASSERT_EQ(Cli({"new", lens, "--elements", "300"}).exitCode, 0);
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
TEST_F(SendCliTest, FailuresPrintTheControllerMessage) {
    const std::string lens = dir.File("lens.lcp");
    ASSERT_EQ(Cli({"new", lens}).exitCode, 0);
    const struct {
        std::vector<std::string> args; // "@": the simulator's line
        ControllerSimulator::Faults faults;
        int exitCode;
        std::string err; // empty: not checked
    } cases[] = {
        {{"--port", dir.File("no-such-port")}, {}, 1, "Can't open COM-port\n"},
        {{"--port", "@", "--timeout", "20"}, {.silent = true}, 1, "Can't connect to controller\n"},
        {{"--port", "@", "--timeout", "20"},
         {.silentAfterSteps = 6}, // connected, then nothing more answered
         1,
         "Error during send data to controller\n"
         "Error during send disconnect command to controller\n"},
        {{"--speed", "12345"}, {}, 2, ""},
        {{"--frame-div", "3"}, {}, 2, ""},
    };
    for (const auto& c : cases) {
        ControllerSimulator sim;
        sim.SetFaults(c.faults);
        sim.Start();
        std::vector<std::string> args{"send", lens};
        for (const auto& arg : c.args) {
            args.push_back(arg == "@" ? sim.SlavePath() : arg);
        }
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back();
        EXPECT_TRUE(result.out.empty());
        if (!c.err.empty()) {
            EXPECT_EQ(result.err, c.err);
        }
    }
}

} // namespace
