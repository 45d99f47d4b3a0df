// tessaron-cli check as a real process: the figures as text and JSON, the picture files, and
// the refusals that leave an earlier picture as it was.
#include "support/CliFixture.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <numbers>

namespace {

using ::testing::HasSubstr;

class CheckCommandTest : public CliFixture {
protected:
    // The demonstration lens: 512 elements over 10 mm, 2.5 diopters at 633 nm, folded into
    // 0 to 8 parts of PI; and a blazed grating of 8 elements per period, lit at the wave
    // length a new profile keeps (780 nm).
    void SetUp() override {
        ASSERT_EQ(
            Cli({"new", lens, "--elements", "512", "--max-phase", "8", "--high", "8"}).exitCode, 0);
        ASSERT_EQ(Cli({"generate", lens, "--diopters", "2.5", "--wavelength", "6.33e-07"}).exitCode,
                  0);
        ASSERT_EQ(
            Cli({"new", grating, "--elements", "256", "--max-phase", "2", "--high", "2"}).exitCode,
            0);
        ASSERT_EQ(Cli({"generate", grating, "--poly", "0", std::to_string(std::numbers::pi / 4.0),
                       "0", "0"})
                      .exitCode,
                  0);
    }
    // A calibration record of a linear liquid crystal: 8 parts of PI over the 16-bit range.
    std::string Record(const std::string& name, double nanometres) {
        std::string text =
            "tessaron calibration record 1\nwavelength_nm = " + std::to_string(nanometres) +
            "\ndigits = 16\nunit = pi\nlevel,phase\n";
        for (int level = 0; level <= 32767; level += 4681) {
            text += std::to_string(level) + "," + std::to_string(level * 8.0 / 32767.0) + "\n";
        }
        text += "32767,8.0\nend\n";
        TempDir::Write(dir.File(name), text);
        return dir.File(name);
    }
    nlohmann::json Json(std::vector<std::string> args) {
        args.insert(args.begin(), "check");
        args.push_back("--json");
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return nlohmann::json::parse(result.out, nullptr, false);
    }

    const std::string lens = dir.File("lens.lcp");
    const std::string grating = dir.File("grating.lcp");
};

TEST_F(CheckCommandTest, FiguresAsTextAndJson) {
    const auto text = Cli({"check", lens});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.rfind("Response: linear\nDesign: thin lens\nWave length: 633 nm\n"
                             "Elements: 512, pitch 19.57 \u00B5m\nEfficiency: ",
                             0),
              0u)
        << text.out;
    EXPECT_THAT(text.out, HasSubstr("\nFocus: 400"));

    const nlohmann::json l = Json({lens});
    ASSERT_TRUE(l.is_object());
    EXPECT_EQ(l["design"], "thin lens");
    EXPECT_EQ(l["response"], "linear");
    EXPECT_DOUBLE_EQ(l["wavelength_m"].get<double>(), 633e-9);
    EXPECT_NEAR(l["focus_m"].get<double>(), 0.4, 0.004);
    EXPECT_GT(l["efficiency"].get<double>(), 0.8);
    EXPECT_GT(l["strehl"].get<double>(), 0.8);
    EXPECT_LT(l["rms_error_waves"].get<double>(), 1e-3);
    EXPECT_LT(l["peak_error_waves"].get<double>(), 1e-3);
    EXPECT_FALSE(l.contains("order_angle_rad"));
    EXPECT_TRUE(l["warnings"].is_array());

    // sinc^2(1/8) into the first order, at -lambda / (8 x pitch).
    const nlohmann::json g = Json({grating});
    const double sinc = std::sin(std::numbers::pi / 8.0) / (std::numbers::pi / 8.0);
    const double angle = -780e-9 / (8.0 * 0.01 / 255.0);
    EXPECT_EQ(g["design"], "polynomial");
    EXPECT_NEAR(g["efficiency"].get<double>(), sinc * sinc, 0.005);
    EXPECT_NEAR(g["order_angle_rad"].get<double>(), angle, 0.01 * std::fabs(angle));
    EXPECT_FALSE(g.contains("focus_m"));

    // A volt-phase table has no design: its figures are null, the shape stays.
    ASSERT_EQ(Cli({"volt", "new", dir.File("t.vf"), "--elements", "64"}).exitCode, 0);
    const nlohmann::json v = Json({dir.File("t.vf"), "--wavelength", "5.32e-7"});
    EXPECT_EQ(v["design"], "code pattern");
    EXPECT_TRUE(v["efficiency"].is_null());
    EXPECT_TRUE(v["rms_error_waves"].is_null());
    EXPECT_EQ(v["elements"], 64);

    // A linear record of the lens's wave length changes nothing; its name is the response.
    const nlohmann::json r = Json({lens, "--table-record", Record("linear.tcal", 633.0)});
    EXPECT_EQ(r["response"].get<std::string>().rfind("linear.tcal (633.0 nm", 0), 0u)
        << r["response"];
    EXPECT_NEAR(r["efficiency"].get<double>(), l["efficiency"].get<double>(), 0.01);
}

TEST_F(CheckCommandTest, PlotWritesAReadablePngOrPdf) {
    const std::string png = dir.File("lens.png");
    const std::string pdf = dir.File("grating.PDF");
    ASSERT_EQ(Cli({"check", lens, "--plot", png}).exitCode, 0);
    ASSERT_EQ(Cli({"check", grating, "--plot", pdf, "--log-scale"}).exitCode, 0);
    const std::string image = TempDir::Read(png);
    ASSERT_GT(image.size(), 24u);
    EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // The header's width and height: 240 x 160 mm at 150 dpi.
    auto word = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            value = value << 8 | static_cast<unsigned char>(image[at + i]);
        }
        return value;
    };
    EXPECT_EQ(word(16), 1417u);
    EXPECT_EQ(word(20), 945u);
    const std::string document = TempDir::Read(pdf);
    EXPECT_EQ(document.rfind("%PDF-", 0), 0u);
    EXPECT_NE(document.find("%%EOF", document.size() - 8), std::string::npos);
}

TEST_F(CheckCommandTest, HelpAndUsageErrors) {
    const auto help = Cli({"check", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"FILE.lcp|FILE.vf", "--table-record REC", "--json", "--plot OUT",
                               "--log-scale", "--aperture M", "--max-phase P", "--wavelength M"}) {
        EXPECT_THAT(help.out, HasSubstr(option));
    }
    // A picture's scale without a picture, and a missing file, are usage errors.
    const auto scale = Cli({"check", lens, "--log-scale"});
    EXPECT_EQ(scale.exitCode, 2);
    EXPECT_THAT(scale.err, HasSubstr("--log-scale requires --plot"));
    EXPECT_EQ(Cli({"check"}).exitCode, 2);
}

TEST_F(CheckCommandTest, RefusalsSayWhyAndWriteNothing) {
    const std::string old = dir.File("old.png");
    TempDir::Write(old, "an earlier picture");
    ASSERT_EQ(Cli({"new", dir.File("one.lcp"), "--elements", "1"}).exitCode, 0);
    ASSERT_EQ(Cli({"volt", "new", dir.File("t.vf")}).exitCode, 0);
    const std::string green = Record("green.tcal", 532.0);
    TempDir::Write(dir.File("bad.tcal"), "not a record\n");
    // arguments, message
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{dir.File("one.lcp")}, "at least two elements"},
        {{dir.File("none.lcp")}, "Failed to open document.\n" + dir.File("none.lcp")},
        {{dir.File("t.vf")}, "does not say the light's wave length"},
        {{dir.File("t.vf"), "--wavelength", "1"}, "Please enter a number between"},
        {{lens, "--wavelength", "5e-7"}, "are for volt-phase tables"},
        {{lens, "--table-record", green}, "measured at 532.0 nm, the lens is made for 633.0 nm"},
        {{lens, "--table-record", dir.File("bad.tcal")}, "bad.tcal"},
        {{lens, "--plot", dir.File("old.jpg")}, "ends in neither .png nor .pdf"},
        {{lens, "--plot", dir.File("no/such/folder.png")},
         "Cannot write the picture \"" + dir.File("no/such/folder.png")},
        {{dir.File("one.lcp"), "--plot", old}, "at least two elements"},
    };
    for (const auto& [args, message] : cases) {
        auto full = args;
        full.insert(full.begin(), "check");
        SCOPED_TRACE(full[1] + " " + (args.size() > 1 ? args[1] : ""));
        const auto result = Cli(full);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_THAT(result.err, HasSubstr(message));
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
    EXPECT_EQ(TempDir::Read(old), "an earlier picture");
}

} // namespace
