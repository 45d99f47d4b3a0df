// tessaron-cli's calibrate commands as a real process: the whole loop on the simulator's liquid
// crystal (sweep, fit, table from the library, a lens through the table, send), and the
// refusals that must write nothing.
#include "ControllerSimulator.h"
#include "LcResponder.h"
#include "calibration/LiquidCrystalModel.h"
#include "support/CliFixture.h"

#include <cmath>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numbers>
#include <sstream>

namespace {

using ::testing::HasSubstr;

constexpr double kWaveLength = 633e-9;

class CalibrateTest : public CliFixture {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        TempDir::Write(dir.File(name), text);
        return dir.File(name);
    }
    // The last profile the simulator loaded, as levels (the first half of its codes).
    static std::vector<int> LastLoadedLevels(const ControllerSimulator& sim, int digits) {
        const auto commands = sim.Commands();
        for (auto c = commands.rbegin(); c != commands.rend(); ++c) {
            if (c->letter == 'S') {
                std::vector<int> levels;
                for (std::size_t i = 0; i < c->elements; ++i) {
                    levels.push_back(c->codes[i] - (1 << (digits - 1)));
                }
                return levels;
            }
        }
        return {};
    }
};

// Sweep against the simulated liquid crystal, fit, keep the record in a library, take the
// table for the wave length from the library, send a lens through it: every element's phase
// on the simulated cell is the lens's phase.
TEST_F(CalibrateTest, ClosedLoopOnTheSimulator) {
    const calibration::LiquidCrystalModel model;
    ControllerSimulator sim;
    LcResponder lc(model, kWaveLength, 0.003, 7, dir.File("phases.csv"));
    sim.SetLoadListener([&lc](const ControllerSimulator::Command& c) { return lc.OnLoad(c); });
    sim.Start();

    const auto sweep = Cli({"calibrate",  "sweep",
                            "-o",         dir.File("measured.csv"),
                            "--digits",   "16",
                            "--elements", "64",
                            "--section",  "8",
                            "--steps",    "24",
                            "--phases",   dir.File("phases.csv"),
                            "--wait",     "20",
                            "--port",     sim.SlavePath(),
                            "--speed",    "115200"});
    ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
    EXPECT_THAT(sweep.out, HasSubstr("measured 24 of 24 levels"));

    ASSERT_TRUE(std::filesystem::create_directory(dir.File("library")));
    const auto fit = Cli({"calibrate", "fit", dir.File("measured.csv"), "--digits", "16",
                          "--max-phase", "2", "--wavelength", "6.33e-07", "--record",
                          dir.File("library/lc-633.tcal"), "-o", dir.File("fitted.txt")});
    ASSERT_EQ(fit.exitCode, 0) << fit.err;
    for (const char* figure : {"levels: 24, 0 to 32767", "rms: ", "max residual: ", "stroke: "}) {
        EXPECT_THAT(fit.out, HasSubstr(figure));
    }

    const auto table = Cli({"calibrate", "table", "--wavelength", "6.33e-07", "--max-phase", "2",
                            "--folder", dir.File("library"), "-o", dir.File("table.txt")});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    EXPECT_THAT(table.out, HasSubstr("interpolated: no"));
    EXPECT_EQ(TempDir::Read(dir.File("table.txt")), TempDir::Read(dir.File("fitted.txt")));

    const std::string lens = dir.File("lens.lcp");
    ASSERT_EQ(Cli({"new", lens, "--elements", "200", "--digits", "16", "--max-phase", "2", "--low",
                   "0", "--high", "2"})
                  .exitCode,
              0);
    ASSERT_EQ(Cli({"generate", lens, "--diopters", "2.5", "--wavelength", "6.33e-07"}).exitCode, 0);
    ASSERT_EQ(Cli({"correction", lens, "--table", dir.File("table.txt")}).exitCode, 0);
    const auto send =
        Cli({"send", lens, "--port", sim.SlavePath(), "--speed", "115200", "--timeout", "500"});
    ASSERT_EQ(send.exitCode, 0) << send.err;
    EXPECT_TRUE(sim.Problems().empty());

    // The lens's phases (parts of PI) from the profile's listing.
    std::vector<double> design;
    ASSERT_EQ(Cli({"export", lens, "--phases", "-o", dir.File("p.txt")}).exitCode, 0);
    std::istringstream phases(TempDir::Read(dir.File("p.txt")));
    for (double p = 0; phases >> p;) {
        design.push_back(p * std::numbers::pi);
    }
    const std::vector<int> levels = LastLoadedLevels(sim, 16);
    ASSERT_EQ(levels.size(), design.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        // The table's phase 0 is the response's lower end, level 0 of this rising cell.
        const double simulated = model.Phase(levels[i], kWaveLength) - model.Phase(0, kWaveLength);
        worst = std::max(worst, std::fabs(simulated - design[i]));
    }
    RecordProperty("worst_phase_error_rad", std::to_string(worst));
    EXPECT_LT(worst, 0.02);
    // The lens is no two-level pattern: the liquid crystal added no reading for it.
    std::istringstream readings(TempDir::Read(dir.File("phases.csv")));
    int lines = 0;
    for (std::string line; std::getline(readings, line);) {
        ++lines;
    }
    EXPECT_EQ(lines, 24);
}

// Each refusal of a measurement names its cause, exits 1, and writes neither table nor record.
TEST_F(CalibrateTest, RefusedMeasurementsWriteNothing) {
    // readings after the header, max phase, what the message says
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"0,0\n10000,1\n20000,2\n30000,3\n", "2", "beyond the measured stroke"},
        {"0,0\n10000,1\n20000,2\n", "0.5", "a response curve needs at least 4"},
        {"0,0\n10000,1\n20000,2\n40000,3\n", "0.5", "Line 5: level 40000 is outside the DAC"},
        {"0,0\n10000,1\n20000,x\n30000,3\n", "0.5", "Line 4:"},
        {"0,0\n10000,1\n10000,2.5\n20000,2\n30000,3\n", "0.5",
         "Line 3 and line 4 both measure level 10000"},
    };
    for (const auto& [readings, maxPhase, message] : cases) {
        SCOPED_TRACE(message);
        const std::string csv = Write("m.csv", "level,phase\n" + readings);
        const auto result =
            Cli({"calibrate", "fit", csv, "--digits", "16", "--max-phase", maxPhase, "--wavelength",
                 "6.33e-07", "--record", dir.File("r.tcal"), "-o", dir.File("t.txt")});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_TRUE(result.out.empty());
        EXPECT_FALSE(TempDir::Exists(dir.File("t.txt")));
        EXPECT_FALSE(TempDir::Exists(dir.File("r.tcal")));
    }
}

// A sweep refused before it starts, or stopped part way, says why; what was measured is kept
// and nothing else is written. Usage errors exit 2.
TEST_F(CalibrateTest, SweepRefusalsAndStops) {
    ControllerSimulator sim;
    sim.Start();
    const std::string out = dir.File("m.csv");
    const std::string phases = Write("phases.csv", "");
    const std::vector<std::string> link{
        "--port", sim.SlavePath(), "--speed", "115200", "--elements", "32", "--section", "4"};
    // options, exit status, message
    const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
        {{"--levels", "0,40000"}, 1, "The level 40000 is outside the DAC range 0 to 32767"},
        {{"--levels", "0,a"}, 1, "The level \"a\" of --levels is not a whole number"},
        {{"--reference", "-1"}, 1, "The reference level -1 is outside the DAC range"},
        {{"--levels", "0,100", "--phases", phases, "--wait", "0.3"},
         1,
         "The sweep stopped after 0 of 2 levels: No phase for level 0 arrived"},
        {{"--levels", "0,1", "--steps", "3"}, 2, "--levels excludes --steps"},
        {{"--unit", "deg"}, 2, "the unit is rad, waves or pi"},
    };
    for (const auto& [options, exitCode, message] : cases) {
        SCOPED_TRACE(message);
        std::vector<std::string> args{"calibrate", "sweep", "-o", out};
        args.insert(args.end(), link.begin(), link.end());
        args.insert(args.end(), options.begin(), options.end());
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, exitCode);
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_FALSE(TempDir::Exists(out));
    }
    // A phase file that stops answering after the first level: that reading is kept.
    Write("phases.csv", "# from the script\n");
    LcResponder lc(calibration::LiquidCrystalModel{}, kWaveLength, 0.0, 1, phases);
    int answered = 0;
    sim.SetLoadListener([&](const ControllerSimulator::Command& c) {
        return answered++ == 0 ? lc.OnLoad(c) : std::nullopt;
    });
    std::vector<std::string> args{"calibrate", "sweep",    "-o",   out,      "--levels",
                                  "100,200",   "--phases", phases, "--wait", "0.3"};
    args.insert(args.end(), link.begin(), link.end());
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.err, HasSubstr("stopped after 1 of 2 levels"));
    EXPECT_THAT(result.err, HasSubstr("The readings taken are in " + out));
    EXPECT_THAT(TempDir::Read(out), HasSubstr("level,phase[rad]\n100,"));
}

// The table from a library that has no record near the wave length, or records of other DAC
// digits, is refused and not written.
TEST_F(CalibrateTest, LibraryRefusalsWriteNothing) {
    ASSERT_TRUE(std::filesystem::create_directory(dir.File("library")));
    const calibration::LiquidCrystalModel model;
    std::string csv = "level,phase\n";
    for (const int level : calibration::LiquidCrystalModel::EvenLevels(16, 16)) {
        csv += std::to_string(level) + "," + std::to_string(model.Phase(level, kWaveLength)) + "\n";
    }
    Write("m.csv", csv);
    ASSERT_EQ(Cli({"calibrate", "fit", dir.File("m.csv"), "--digits", "16", "--max-phase", "2",
                   "--wavelength", "6.33e-07", "--record", dir.File("library/a.tcal"), "-o",
                   dir.File("t0.txt")})
                  .exitCode,
              0);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--wavelength", "8e-07", "--max-phase", "2"}, "does not extrapolate"},
        {{"--wavelength", "6.33e-07", "--max-phase", "2", "--digits", "12"},
         "is for 16 DAC digits, not 12"},
        {{"--wavelength", "6.33e-07", "--max-phase", "9"}, "beyond the measured stroke"},
        {{"--wavelength", "0", "--max-phase", "2"}, "between"},
    };
    for (const auto& [options, message] : cases) {
        SCOPED_TRACE(options[1]);
        std::vector<std::string> args{"calibrate",         "table", "--folder",
                                      dir.File("library"), "-o",    dir.File("t.txt")};
        args.insert(args.end(), options.begin(), options.end());
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_FALSE(TempDir::Exists(dir.File("t.txt")));
    }
}

} // namespace
