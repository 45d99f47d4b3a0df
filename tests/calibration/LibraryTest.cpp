// The table library (picking and interpolating records by wave length) and a calibration
// from the measured-data file to the written table and record.
#include "calibration/CalibrationRun.h"
#include "calibration/CorrectionTableFile.h"
#include "calibration/LiquidCrystalModel.h"
#include "calibration/TableLibrary.h"
#include "framework/SettingsStore.h"
#include "support/TempDir.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace calibration;

namespace {

class LibraryTest : public ::testing::Test {
protected:
    // A record of the model measured at `waveLength` (64 levels, 0.02 rad of noise).
    void AddRecord(const std::string& name, double waveLength, std::uint64_t seed = 1) {
        CalibrationRecord r;
        r.measurement = model.Sweep(LiquidCrystalModel::EvenLevels(64, 16), waveLength, 0.02, seed);
        r.waveLength = waveLength;
        ASSERT_TRUE(WriteRecord(dir.File(name), r).Ok());
    }

    // RMS difference of the curve from the model at `waveLength`, both relative to the
    // curve's zero level.
    double RmsError(const ResponseCurve& curve, double waveLength) const {
        const int zero = curve.ZeroLevel();
        double squares = 0.0;
        int count = 0;
        for (int level = curve.FirstLevel(); level <= curve.LastLevel(); level += 7) {
            const double truth = model.Phase(level, waveLength) - model.Phase(zero, waveLength);
            const double error = *curve.RelativePhaseAt(level) - std::fabs(truth);
            squares += error * error;
            ++count;
        }
        return std::sqrt(squares / count);
    }

    TempDir dir;
    LiquidCrystalModel model;
};

TEST_F(LibraryTest, PicksTheRecordAtTheWaveLengthOrInterpolatesBetweenNeighbours) {
    AddRecord("green.tcal", 532e-9);
    AddRecord("red.tcal", 633e-9, 2);
    AddRecord("infrared.tcal", 780e-9, 3);
    TempDir::Write(dir.File("notes.txt"), "not a record");

    const auto exact = PickByWaveLength(dir.Path(), 633.3e-9);
    ASSERT_TRUE(exact.Ok()) << exact.Message();
    EXPECT_FALSE(exact->interpolated);
    EXPECT_EQ(exact->description, "measured at 633 nm (red.tcal)");

    const auto between = PickByWaveLength(dir.Path(), 590e-9);
    ASSERT_TRUE(between.Ok()) << between.Message();
    EXPECT_TRUE(between->interpolated);
    EXPECT_EQ(between->description,
              "interpolated at 590 nm between green.tcal (532 nm) and red.tcal (633 nm)");
    EXPECT_EQ(between->curve.Origin(), between->description);
    EXPECT_EQ(between->sources,
              (std::vector<std::string>{dir.File("green.tcal"), dir.File("red.tcal")}));
    EXPECT_LT(RmsError(between->curve, 590e-9), 0.02);
    EXPECT_NEAR(between->curve.Stroke(), model.Retardation(590e-9), 0.03);
    EXPECT_TRUE(between->curve.BuildTable(16, 2.0).Ok());
    // Dispersion matters: plain proportion to 1/wave length would miss by far more.
    EXPECT_GT(std::fabs(model.Retardation(633e-9) * 633.0 / 590.0 - model.Retardation(590e-9)),
              0.1);
}

TEST_F(LibraryTest, RefusesWithoutRecordsOutsideTheirRangeAndWhenAmbiguous) {
    // clang-format off
    const std::tuple<std::vector<std::pair<std::string, double>>, double, std::string> cases[] = {
        {{}, 633e-9, "holds no record to make a table for 633 nm"},
        {{{"a.tcal", 532e-9}, {"b.tcal", 633e-9}}, 500e-9,
         "No record was measured at 500 nm, and the records cover only 532 nm to 633 nm: the "
         "program does not extrapolate"},
        {{{"a.tcal", 532e-9}}, 633e-9, "the records cover only 532 nm:"},
        {{{"a.tcal", 633e-9}, {"b.tcal", 633.2e-9}}, 633.1e-9,
         "Several records were measured at nearly the same wave length: a.tcal (633 nm), b.tcal "
         "(633.2 nm)"},
        {{{"a.tcal", 532e-9}, {"b.tcal", 633e-9}, {"c.tcal", 633.2e-9}}, 600e-9,
         "b.tcal (633 nm), c.tcal (633.2 nm)"},
    };
    // clang-format on
    for (const auto& [records, waveLength, message] : cases) {
        TempDir folder;
        for (const auto& [name, at] : records) {
            CalibrationRecord r;
            r.measurement = model.Sweep(LiquidCrystalModel::EvenLevels(8, 16), at, 0.0, 1);
            r.waveLength = at;
            ASSERT_TRUE(WriteRecord(folder.File(name), r).Ok());
        }
        const auto picked = PickByWaveLength(folder.Path(), waveLength);
        ASSERT_FALSE(picked.Ok()) << message;
        EXPECT_NE(picked.Message().find(message), std::string::npos) << picked.Message();
    }
    // A damaged record is named, not silently passed over.
    TempDir::Write(dir.File("cut.tcal"), "tessaron calibration record 1\nwavelength_nm = 600\n");
    const auto picked = PickByWaveLength(dir.Path(), 600e-9);
    ASSERT_FALSE(picked.Ok());
    EXPECT_NE(picked.Message().find("Skipped: " + dir.File("cut.tcal") +
                                    ": The calibration "
                                    "record lacks its digits entry."),
              std::string::npos)
        << picked.Message();
}

TEST_F(LibraryTest, TheFolderIsASettingWithADefaultBesideTheSettingsFile) {
    SettingsStore settings(dir.File("tessaron.ini"));
    EXPECT_EQ(CalibrationFolder(settings), dir.File("calibration"));
    ASSERT_TRUE(settings.WriteString("Settings", kCalibrationFolderKey, "/lab/records"));
    EXPECT_EQ(CalibrationFolder(settings), "/lab/records");
}

// Every refusal of a calibration run comes before anything is written.
TEST_F(LibraryTest, ARefusedCalibrationWritesNothing) {
    CalibrationJob job;
    job.measurementPath = dir.File("m.csv");
    job.csv.digits = 10;
    job.maxPhase = 2.0;
    job.waveLength = 633e-9;
    job.tablePath = dir.File("table.txt");
    job.recordPath = dir.File("r.tcal");
    std::string good = "level,phase\n";
    for (const int level : LiquidCrystalModel::EvenLevels(24, 10)) {
        LiquidCrystalModel m10 = model;
        m10.digits = 10;
        good += std::to_string(level) + "," + std::to_string(m10.Phase(level, 633e-9)) + "\n";
    }
    // clang-format off
    const std::tuple<std::string, double, std::string> cases[] = {
        {"0,1\n1,2\n2,3\n", 2.0, "m.csv: Only 3 different levels"},
        {good + "512,9\n", 2.0, "Line 26: level 512 is outside the DAC range 0 to 511"},
        {good + "x,1\n", 2.0, "Line 26: the level \"x\" is not a whole number"},
        {good + "0,0.5\n", 2.0, "Line 2 and line 26 both measure level 0"},
        {good, 3.0, "The maximum phase of 3 parts of PI is beyond the measured stroke of 2.84"},
    };
    // clang-format on
    for (const auto& [text, maxPhase, message] : cases) {
        TempDir::Write(job.measurementPath, text);
        job.maxPhase = maxPhase;
        const auto outcome = RunCalibration(job);
        ASSERT_FALSE(outcome.Ok()) << message;
        EXPECT_NE(outcome.Message().find(message), std::string::npos) << outcome.Message();
        EXPECT_FALSE(TempDir::Exists(job.tablePath) || TempDir::Exists(job.recordPath));
    }
    TempDir::Write(job.measurementPath, good);
    job.maxPhase = 2.0;
    job.temperature = 23.0;
    const auto outcome = RunCalibration(job);
    ASSERT_TRUE(outcome.Ok()) << outcome.Message();
    const auto record = ReadRecord(job.recordPath);
    ASSERT_TRUE(record.Ok()) << record.Message();
    EXPECT_TRUE(record->temperature == 23.0 && record->stroke && record->fitRms);
    const auto again = TableFromRecord(*record, 2.0);
    ASSERT_TRUE(again.Ok()) << again.Message();
    EXPECT_EQ(*again, outcome->table);
    EXPECT_EQ(TempDir::Read(job.tablePath), FormatCorrectionTable(outcome->table));
}

} // namespace
