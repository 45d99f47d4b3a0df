// tessaron-cli send, run as a real process against the controller simulator.
#include "ControllerSimulator.h"
#include "support/CliFixture.h"

#include <gtest/gtest.h>
#include <sstream>

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
    EXPECT_EQ(commands[1].arg1, 4); // line divisor 4
    EXPECT_EQ(commands[2].letter, 'S');
    EXPECT_EQ(commands[2].arg1, 0x2C); // 300 elements, low byte first
    EXPECT_EQ(commands[2].arg2, 0x01);
    EXPECT_EQ(commands[2].codes, expected);
    EXPECT_EQ(commands[3].letter, 'Z');
    EXPECT_TRUE(sim.Problems().empty());
    EXPECT_GT(TempDir::Read(dir.File("p.log")).size(), 1000u);
    sim.Stop();
}

TEST_F(SendCliTest, FailuresPrintTheControllerMessage) {
    const std::string lens = dir.File("lens.lcp");
    ASSERT_EQ(Cli({"new", lens}).exitCode, 0);
    ControllerSimulator silent;
    ControllerSimulator::Faults faults;
    faults.silent = true;
    silent.SetFaults(faults);
    silent.Start();
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
    };
    const Case cases[] = {
        {{"send", lens, "--port", dir.File("no-such-port")}, 1, "Can't open COM-port\n"},
        {{"send", lens, "--port", silent.SlavePath(), "--timeout", "20"},
         1,
         "Can't connect to controller\n"},
        {{"send", lens, "--speed", "12345"}, 2, ""},
        {{"send", lens, "--frame-div", "3"}, 2, ""},
    };
    for (const auto& c : cases) {
        const auto result = Cli(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back();
        if (!c.err.empty()) {
            EXPECT_EQ(result.err, c.err);
        }
    }
    silent.Stop();
}

} // namespace
