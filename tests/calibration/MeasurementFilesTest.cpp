// The measured-data file, the calibration record and the correction table file.
#include "calibration/CalibrationRecord.h"
#include "calibration/CorrectionTableFile.h"
#include "calibration/LiquidCrystalModel.h"
#include "calibration/MeasurementCsv.h"
#include "support/DocAccess.h"
#include "support/ProfileFixture.h"

#include <gtest/gtest.h>
#include <numbers>

using namespace calibration;

namespace {

// Four good readings after `head`, then `tail`.
std::string Readings(const std::string& head = "", const std::string& tail = "") {
    return head + "0,0.1\n300,1.2\n400,2.0\n500,2.4\n" + tail;
}

TEST(MeasurementCsvTest, ReadsReadingsInTheUnitTheFileOrTheCallerNames) {
    // clang-format off
    const std::tuple<std::string, std::optional<PhaseUnit>, PhaseUnit, double> cases[] = {
        {Readings("# lab 3\n\nlevel,phase\n"), std::nullopt, PhaseUnit::Radians, 0.1},
        {Readings("\xEF\xBB\xBFlevel , phase [waves]\r\n"), std::nullopt, PhaseUnit::Waves, 0.1},
        {Readings("LEVEL,PHASE(pi)\n"), PhaseUnit::PartsOfPi, PhaseUnit::PartsOfPi, 0.1},
        {"  0 , 1e-1 \n300,1.2\n# comment\n400,2\n500,2.4", PhaseUnit::Waves, PhaseUnit::Waves, 0.1},
        // Repeated readings of one level that agree are kept; the fit averages them.
        {Readings("", "300,1.25\n"), std::nullopt, PhaseUnit::Radians, 0.1},
    };
    // clang-format on
    for (const auto& [text, unit, expectedUnit, firstPhase] : cases) {
        CsvOptions options;
        options.digits = 10;
        options.unit = unit;
        const auto m = ParseMeasurementCsv(text, options);
        ASSERT_TRUE(m.Ok()) << m.Message();
        EXPECT_EQ(m->unit, expectedUnit);
        EXPECT_EQ(m->points.at(0).phase, firstPhase);
        EXPECT_EQ(m->points.at(3).level, 500);
    }
    const auto merged = Prepare(*ParseMeasurementCsv(Readings("", "300,1.25\n"), {}));
    ASSERT_TRUE(merged.Ok());
    EXPECT_EQ(merged->levels, (std::vector<int>{0, 300, 400, 500}));
    EXPECT_DOUBLE_EQ(merged->phases[1], 1.225);
    // Wrapped readings agree modulo a period, and unwrap along the level.
    CsvOptions wrapped;
    wrapped.wrapped = true;
    const auto wrap = ParseMeasurementCsv("0,6.2\n0,6.25\n100,0.1\n200,0.9\n300,2\n", wrapped);
    ASSERT_TRUE(wrap.Ok()) << wrap.Message();
    const auto unwrapped = Prepare(*wrap);
    EXPECT_NEAR(unwrapped->phases[1] - unwrapped->phases[0], 0.1 + 2 * std::numbers::pi - 6.225,
                1e-12);
}

TEST(MeasurementCsvTest, RefusalsNameTheLine) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"0,0.1\n300,1.2\n400,2.0\n", "Only 3 different levels were measured; a response curve needs at least 4"},
        {"0,0.1\n0,0.12\n300,1.2\n300,1.2\n400,2\n", "Only 3 different"}, // repeats do not count
        {Readings("", "1024,3\n"), "Line 5: level 1024 is outside the DAC range 0 to 511 of 10 digits"},
        {Readings("", "-1,3\n"), "Line 5: level -1 is outside"},
        {Readings("level,phase\n", "abc\n"), "Line 6: \"abc\" is not a reading"},
        {Readings("", "7,1,5\n"), "Line 5: \"7,1,5\" is not a reading"},
        {Readings("", "7.5,1\n"), "Line 5: the level \"7.5\" is not a whole number"},
        {Readings("", "7,nan\n"), "Line 5: the phase \"nan\" is not a number"},
        {Readings("", "8,\n"), "Line 5: the phase \"\" is not a number"},
        {Readings("", "level,phase\n"), "Line 5: the level \"level\" is not a whole number"},
        {Readings("", "300,1.5\n"), "Line 2 and line 5 both measure level 300, with phases 0.3 rad apart (at most 0.1 rad allowed)"},
        {Readings("level,phase[waves]\n", "300,1.5\n"), "with phases 0.3 waves apart (at most 0.015915 waves allowed)"},
        {Readings("level,phase[degrees]\n"), "Line 1: the unit \"degrees\" is none of rad, waves and pi"},
        {Readings("level,voltage\n"), "Line 1: the header \"level,voltage\" is not \"level,phase\""},
        {Readings("level,phase[rad]\n"), "Line 1: the file gives its phases in rad, but waves were asked"},
        {"", "Only 0 different levels"},
    };
    // clang-format on
    for (const auto& [text, message] : cases) {
        CsvOptions options;
        options.digits = 10;
        if (message.find("waves were asked") != std::string::npos) {
            options.unit = PhaseUnit::Waves;
        }
        const auto m = ParseMeasurementCsv(text, options);
        ASSERT_FALSE(m.Ok()) << text;
        EXPECT_NE(m.Message().find(message), std::string::npos) << m.Message();
    }
}

CalibrationRecord SampleRecord() {
    LiquidCrystalModel model;
    CalibrationRecord r;
    r.measurement = model.Sweep(LiquidCrystalModel::EvenLevels(12, 16), 532e-9, 0.02, 4);
    r.waveLength = 532e-9;
    r.temperature = 24.5;
    r.date = "2025-03-14T09:30:00Z";
    r.comment = "cell 7\nsecond sweep";
    r.fitRms = 0.0171;
    r.stroke = 10.4;
    return r;
}

TEST(CalibrationRecordTest, WrittenRecordsReadBackExactly) {
    TempDir dir;
    const CalibrationRecord r = SampleRecord();
    ASSERT_TRUE(WriteRecord(dir.File("a.tcal"), r).Ok());
    const auto back = ReadRecord(dir.File("a.tcal"));
    ASSERT_TRUE(back.Ok()) << back.Message();
    EXPECT_EQ(FormatRecord(*back), FormatRecord(r));
    EXPECT_EQ(back->measurement.points.at(5).phase, r.measurement.points.at(5).phase);
    EXPECT_EQ(back->comment, r.comment);
    EXPECT_EQ(back->waveLength, 532e-9);

    // A record written by hand: the three required entries and the readings.
    const auto hand = ParseRecord("tessaron calibration record 1\nwavelength_nm = 633\n"
                                  "digits = 10\nunit = waves\n" +
                                  Readings("level,phase\n", "end\n\n# done\n"));
    ASSERT_TRUE(hand.Ok()) << hand.Message();
    EXPECT_TRUE(hand->measurement.unit == PhaseUnit::Waves && !hand->temperature &&
                !hand->measurement.wrapped && hand->measurement.points.size() == 4);
}

TEST(CalibrationRecordTest, DamagedRecordsAreRefusedByLine) {
    const std::string good = FormatRecord(SampleRecord());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        return text.replace(text.find(from), from.size(), to);
    };
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {replaced("record 1", "record 2"), "version 2; this program reads version 1"},
        {replaced("record 1", "record"), "version is missing"},
        {"profile\n" + good, "This is not a calibration record"},
        {good.substr(0, good.size() - 4), "ends without its closing \"end\" line"},
        {good.substr(0, good.find("level,phase")), "has no readings"},
        {replaced("digits = 16", "digits = 17"), "Line 4: digits must be a whole number from 10 to 16"},
        {replaced("wrapped = no", "wrapped = maybe"), "Line 6: wrapped must be yes or no"},
        {replaced("unit = rad", "unit = deg"), "Line 5: unit must be rad, waves or pi"},
        {replaced("wavelength_nm = 532", "wavelength_nm = 0.532"), "Line 2: wavelength_nm must be a number from 100 to 20000"},
        {replaced("wavelength_nm = 532\n", ""), "lacks its wavelength_nm entry"},
        {replaced("date =", "dte ="), "Line 7: \"dte\" is not an entry"},
        {replaced("unit = rad", "unit = rad\nunit = rad"), "Line 6: unit is given twice"},
        {replaced("readings = 12", "readings = 13"), "announces 13 readings but holds 12"},
        {replaced("level,phase\n0,", "level,phase\n0;"), "Line 14: \"0;"},
        {replaced("level,phase\n0,", "level,phase\n99999,"), "Line 14: level 99999 is outside"},
        {good + "1,2\n", "Line 27: text after the closing \"end\""},
        {"", "The calibration record is empty"},
    };
    // clang-format on
    for (const auto& [text, message] : cases) {
        const auto r = ParseRecord(text);
        ASSERT_FALSE(r.Ok()) << message;
        EXPECT_NE(r.Message().find(message), std::string::npos) << r.Message();
    }
}

class CorrectionTableFileTest : public ProfileFixture {};

// A written table loads through the profile's own loader, and the codes use it.
TEST_F(CorrectionTableFileTest, WrittenTablesLoadIntoAProfile) {
    std::vector<std::uint16_t> table(512);
    for (std::size_t k = 0; k < table.size(); ++k) {
        table[k] = static_cast<std::uint16_t>(511 - k * 3 / 4);
    }
    ASSERT_TRUE(WriteCorrectionTable(dir.File("t.txt"), table, 10).Ok());
    CTessaronDoc& d = NewDoc();
    DocFields(d).m_nDacDigits = 10;
    ASSERT_TRUE(d.UseCorrectionTable(dir.File("t.txt")));
    EXPECT_EQ(d.Correction(), table);
    DocFields(d).m_phase = {0.0, d.MaxPhase()};
    ASSERT_TRUE(d.ComputeDacCodes(true));
    EXPECT_EQ(d.Codes()[0], 512 + 511);
    EXPECT_EQ(d.Codes()[1], 512 + table[511]);

    // Tables that do not fit the DAC are refused and leave the old file as it was.
    const std::string before = TempDir::Read(dir.File("t.txt"));
    std::vector<std::uint16_t> tooLarge = table;
    tooLarge[7] = 512;
    // clang-format off
    const std::tuple<std::vector<std::uint16_t>, int, std::string> cases[] = {
        {table, 11, "for 11 digits has 1024 entries, not 512; nothing was written"},
        {tooLarge, 10, "levels beyond the DAC range 0 to 511; nothing was written"},
        {table, 17, "10 to 16 DAC digits; 17 were asked"},
    };
    // clang-format on
    for (const auto& [t, digits, message] : cases) {
        const auto written = WriteCorrectionTable(dir.File("t.txt"), t, digits);
        ASSERT_FALSE(written.Ok());
        EXPECT_NE(written.Message().find(message), std::string::npos) << written.Message();
        EXPECT_EQ(TempDir::Read(dir.File("t.txt")), before);
    }
    EXPECT_FALSE(WriteCorrectionTable(dir.File("no/such/folder/t.txt"), table, 10).Ok());
}

} // namespace
