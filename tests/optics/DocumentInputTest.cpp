// The check's inputs from the documents and from calibration records: exactly the codes a Send
// transmits, the refusals that say why there is no input, and a measured response that shows
// what a correction table made for the wrong curve does to the light.
#include "optics/DocumentInput.h"

#include "ProfileCodes.h"
#include "calibration/CorrectionTableFile.h"
#include "calibration/LiquidCrystalModel.h"
#include "optics/CheckText.h"
#include "optics/CheckWorker.h"
#include "optics/RecordedResponse.h"
#include "support/DocAccess.h"
#include "volt/LC_VoltDoc.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

using testcodes::Row, testcodes::Window;
constexpr double kPi = std::numbers::pi;
constexpr double kHeNe = 633e-9;

class DocumentInputTest : public ::testing::Test {
protected:
    CTessaronDoc& Lens(const Row& row = {128, 4e-3}) {
        return maker.Make(row, Window{0, 8}, CTessaronDoc::MODE_DIOPTERS,
                          [](CTessaronDoc& doc) { doc.SetLensParameters(2.0, kHeNe); });
    }
    CTessaronDoc& Grating(const Row& row, bool useAperture = false) {
        return maker.Make(row, Window{0, 2}, CTessaronDoc::MODE_POLYNOMIAL, [&](CTessaronDoc& doc) {
            doc.SetLensParameters(0.0, 532e-9);
            // An eighth of a period per element; over the aperture, a1 is per metre.
            const double a1 =
                useAperture ? kPi / 4.0 / (row.aperture / (row.elements - 1)) : kPi / 4.0;
            EXPECT_TRUE(doc.SetPolynomialParameters({0.5, a1, 0.0, 0.0}, useAperture));
        });
    }
    // A table file of 2^(digits-1) entries, entry k = table(k).
    template <typename F> std::string TableFile(const std::string& name, int digits, F table) {
        std::string text;
        for (int k = 0; k < 1 << (digits - 1); ++k) {
            text += std::to_string(table(k)) + "\n";
        }
        TempDir::Write(maker.Dir().File(name), text);
        return maker.Dir().File(name);
    }

    testcodes::ProfileMaker maker;
};

// What a Send of the profile transmits is what the check reads: codes, design and geometry.
TEST_F(DocumentInputTest, ProfileInputCarriesTheCodesASendTransmits) {
    struct Case {
        const char* name;
        CTessaronDoc* doc;
        optics::Design design;
    };
    CTessaronDoc& corrected = Grating({64, 5e-3, 2.0, 10});
    ASSERT_TRUE(corrected.UseCorrectionTable(
        TableFile("square.txt", 10, [](int k) { return k * k / 511; })));
    const Case cases[] = {
        {"lens", &Lens(), optics::Design::Lens},
        {"polynomial in element steps", &Grating({64, 5e-3, 2.0}), optics::Design::Polynomial},
        // a1 is at most 5 rad/m: an eighth of a period per element needs a wide pitch.
        {"polynomial over the aperture", &Grating({64, 10.0, 2.0}, true),
         optics::Design::Polynomial},
        {"through the correction table", &corrected, optics::Design::Polynomial},
    };
    for (const Case& c : cases) {
        CTessaronDoc& doc = *c.doc;
        const optics::CheckInput in = testcodes::ProfileMaker::Input(doc);
        ASSERT_TRUE(doc.ComputeDacCodes(doc.UseCorrection() != 0)) << c.name;
        EXPECT_EQ(in.codes, doc.Codes()) << c.name;
        EXPECT_EQ(in.design, c.design) << c.name;
        EXPECT_EQ(in.elements, doc.Elements()) << c.name;
        EXPECT_EQ(in.aperture, doc.Aperture()) << c.name;
        EXPECT_EQ(in.dacDigits, doc.DacDigits()) << c.name;
        EXPECT_EQ(in.maxPhase, doc.MaxPhase()) << c.name;
        EXPECT_EQ(in.waveLength, doc.WaveLength()) << c.name;
        EXPECT_EQ(in.diopters, c.design == optics::Design::Lens ? doc.Diopters() : 0.0) << c.name;
        EXPECT_EQ(in.useAperture, c.design == optics::Design::Polynomial && doc.UseAperture())
            << c.name;
        EXPECT_TRUE(in.response.table.empty() && !in.response.function) << c.name;
        // Both abscissas describe the same grating: an eighth of a period per element.
        const optics::CheckOutcome outcome = optics::RunCheck(in);
        ASSERT_TRUE(outcome.result) << c.name << ": " << outcome.error;
        if (c.design == optics::Design::Polynomial && &doc != &corrected) {
            EXPECT_NEAR(outcome.result->figures->efficiency,
                        std::pow(std::sin(kPi / 8) * 8 / kPi, 2), 0.005)
                << c.name;
        }
    }
    // The square table bends the staircase: the check sees what the table did.
    EXPECT_GT(
        optics::RunCheck(testcodes::ProfileMaker::Input(corrected)).result->figures->rmsErrorWaves,
        0.05);
}

// A profile whose codes cannot be made without a question gets the reason, and nothing is
// asked (the fake prompter fails the test on any message).
TEST_F(DocumentInputTest, ProfilesWithoutCodesAreRefusedWithTheReason) {
    CTessaronDoc& lens = Lens();
    const std::string table = TableFile("ramp16.txt", 16, [](int k) { return k; });
    auto changed = [&](auto change) -> CTessaronDoc& {
        CTessaronDoc& doc = Lens();
        change(doc);
        return doc;
    };
    const std::tuple<const char*, CTessaronDoc*, std::string> cases[] = {
        {"unknown creation mode",
         &changed([](CTessaronDoc& doc) { DocFields(doc).m_nCreationMode = 5; }),
         "creation mode 5 is neither"},
        {"DAC beyond 16 digits",
         &changed([](CTessaronDoc& doc) { DocFields(doc).m_nDacDigits = 20; }),
         "20 digits; codes are made for 10 to 16"},
        {"table read for other digits", &changed([&](CTessaronDoc& doc) {
             ASSERT_TRUE(doc.UseCorrectionTable(table));
             DocFields(doc).m_nDacDigits = 12;
         }),
         "read for another number of DAC digits; Send or Export reads it again for 12"},
        {"values fewer than elements",
         &changed([](CTessaronDoc& doc) { DocFields(doc).m_phase.resize(100); }), ""},
    };
    (void)lens;
    for (const auto& [name, doc, message] : cases) {
        const optics::InputOutcome outcome = optics::ProfileInput(*doc);
        if (message.empty()) {
            // The codes exist; the check itself refuses their count.
            ASSERT_TRUE(outcome.input) << name;
            const optics::CheckOutcome check = optics::RunCheck(*outcome.input);
            EXPECT_NE(check.error.find("carries 256 codes; there are 200"), std::string::npos)
                << name << ": " << check.error;
            continue;
        }
        EXPECT_FALSE(outcome.input) << name;
        EXPECT_NE(outcome.error.find(message), std::string::npos) << name << ": " << outcome.error;
    }
    EXPECT_TRUE(maker.Prompter().shown.empty());
}

TEST_F(DocumentInputTest, VoltTableInputIsItsSentPatternOnTheGivenRow) {
    CLC_VoltDoc table(maker.Context());
    ASSERT_TRUE(table.OnNewDocument());
    ASSERT_EQ(table.ApplyParameters({"64", "12", "8", "2000", "100", "", "10"}),
              CLC_VoltDoc::ApplyResult::Applied);
    const optics::InputOutcome outcome = optics::VoltTableInput(table, {4e-3, 3.0, kHeNe});
    ASSERT_TRUE(outcome.input) << outcome.error;
    table.BuildOutputCodes();
    EXPECT_EQ(outcome.input->codes, table.Codes());
    EXPECT_EQ(outcome.input->design, optics::Design::None);
    EXPECT_EQ(outcome.input->elements, 64);
    EXPECT_EQ(outcome.input->dacDigits, 12);
    EXPECT_EQ(outcome.input->aperture, 4e-3);
    EXPECT_EQ(outcome.input->maxPhase, 3.0);
    EXPECT_EQ(outcome.input->waveLength, kHeNe);

    DocFields(table).m_nDacDigits = 0;
    EXPECT_NE(optics::VoltTableInput(table, {4e-3, 3.0, kHeNe}).error.find("0 digits"),
              std::string::npos);
}

// Records of the model liquid crystal: 64 levels over the 16-bit range at `waveLength`.
calibration::CalibrationRecord ModelRecord(double waveLength, bool falling = false,
                                           int digits = 16) {
    calibration::LiquidCrystalModel model;
    model.falling = falling;
    model.digits = digits;
    calibration::CalibrationRecord record;
    record.measurement =
        model.Sweep(calibration::LiquidCrystalModel::EvenLevels(64, digits), waveLength, 0.002, 7);
    record.waveLength = waveLength;
    return record;
}

optics::RecordedResponse Response(const calibration::CalibrationRecord& record) {
    auto response = optics::ResponseFromRecord(record, "model.tcal");
    EXPECT_TRUE(response) << response.Message();
    return response ? *response : optics::RecordedResponse{};
}

TEST_F(DocumentInputTest, RecordedResponseIsTheCurvesPhaseAboveItsZero) {
    for (const bool falling : {false, true}) {
        const optics::RecordedResponse response = Response(ModelRecord(kHeNe, falling));
        EXPECT_EQ(response.digits, 16);
        EXPECT_EQ(response.waveLength, kHeNe);
        EXPECT_EQ(response.source.rfind("model.tcal (633.0 nm, fitted to 64", 0), 0u)
            << response.source;
        optics::CheckInput in = testcodes::ProfileMaker::Input(Lens());
        ASSERT_EQ(optics::UseResponse(in, response), "");
        ASSERT_TRUE(in.response.function);
        const calibration::LiquidCrystalModel model{.falling = falling};
        const double zero = model.Phase(falling ? 32767 : 0, kHeNe);
        for (std::uint32_t level : {0u, 1000u, 16000u, 32767u}) {
            // The model's phase above the end where it is lowest, within the fit's accuracy.
            EXPECT_NEAR(in.response.function(level), model.Phase(level, kHeNe) - zero, 0.01)
                << falling << " " << level;
        }
    }
}

TEST_F(DocumentInputTest, RecordsThatDoNotFitTheCodesAreRefused) {
    const optics::RecordedResponse red = Response(ModelRecord(kHeNe));
    // 64 levels from 0 up to 32767: a record of the lower half only.
    calibration::CalibrationRecord half = ModelRecord(kHeNe);
    std::erase_if(half.measurement.points,
                  [](const calibration::MeasuredPoint& p) { return p.level > 16000; });
    const optics::RecordedResponse lower = Response(half);
    const optics::CheckInput lens = testcodes::ProfileMaker::Input(Lens());
    const optics::CheckInput grating = testcodes::ProfileMaker::Input(Grating({64, 5e-3, 2.0}));
    const optics::CheckInput coarse = testcodes::ProfileMaker::Input(Grating({64, 5e-3, 2.0, 12}));
    // name, input, response, refusal (empty: taken), wave length after
    const std::tuple<const char*, optics::CheckInput, optics::RecordedResponse, std::string, double>
        cases[] = {
            {"lens at its wave length", lens, red, "", kHeNe},
            {"lens at another wave length", lens, Response(ModelRecord(532e-9)),
             "measured at 532.0 nm, the lens is made for 633.0 nm", kHeNe},
            {"polynomial lit at the record's wave length", grating, red, "", kHeNe},
            {"other DAC digits", coarse, red, "DAC of 16 digits, the codes are for 12 digits",
             532e-9},
            {"levels the record did not measure", lens, lower,
             "outside the levels 0 to 15603 the calibration record measured", kHeNe},
        };
    for (const auto& [name, input, response, refusal, waveLength] : cases) {
        optics::CheckInput in = input;
        const std::string answer = optics::UseResponse(in, response);
        EXPECT_EQ(answer.empty(), refusal.empty()) << name << ": " << answer;
        EXPECT_NE(answer.find(refusal), std::string::npos) << name << ": " << answer;
        EXPECT_EQ(in.waveLength, waveLength) << name;
        EXPECT_EQ(static_cast<bool>(in.response.function), refusal.empty()) << name;
    }
}

// The whole chain: a record, the correction table made from its curve and loaded by the
// profile, the check through the record's response. A table made for a maximum phase 5 %
// too high drives every level 5 % too far: on a staircase of 8 levels that leaves
// 0.05 x 2.2913 PI / 4 radians RMS (see OpticalCheckTest).
TEST_F(DocumentInputTest, ATableOffByAKnownAmountShowsItsRmsError) {
    const calibration::CalibrationRecord record = ModelRecord(kHeNe);
    const optics::RecordedResponse response = Response(record);
    const double spread = 0.25 * kPi * std::sqrt(63.0 / 12.0) / (2.0 * kPi);
    // table made for, expected RMS error in waves
    const std::tuple<double, double> cases[] = {{2.0, 0.0}, {2.1, 0.05 * spread}};
    for (const auto& [madeFor, rms] : cases) {
        const auto table = response.curve->BuildTable(16, madeFor);
        ASSERT_TRUE(table) << table.Message();
        const std::string path = maker.Dir().File("table.txt");
        ASSERT_TRUE(calibration::WriteCorrectionTable(path, *table, 16));
        CTessaronDoc& doc = Grating({256, 5e-3, 2.0});
        ASSERT_TRUE(doc.UseCorrectionTable(path));
        optics::CheckInput in = testcodes::ProfileMaker::Input(doc);
        ASSERT_EQ(optics::UseResponse(in, response), "");
        const optics::CheckOutcome outcome = optics::RunCheck(in);
        ASSERT_TRUE(outcome.result) << outcome.error;
        EXPECT_NEAR(outcome.result->figures->rmsErrorWaves, rms, std::max(0.05 * rms, 2e-4))
            << madeFor;
    }
}

// The worker runs the newest input only: while a check runs, each new input replaces the one
// that waits, and only the last is checked next.
TEST_F(DocumentInputTest, WorkerChecksTheNewestInputOnly) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::uint64_t> tickets;
    std::vector<std::string> errors;
    bool released = false;
    optics::CheckWorker worker([&](std::uint64_t ticket, optics::CheckOutcome outcome) {
        std::unique_lock lock(mutex);
        tickets.push_back(ticket);
        errors.push_back(outcome.error);
        changed.notify_all();
        // The first answer holds the worker until every other input has been handed in.
        changed.wait(lock, [&] { return released; });
    });
    auto waitFor = [&](std::size_t count) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return tickets.size() >= count; });
    };
    EXPECT_EQ(worker.Submit(testcodes::ProfileMaker::Input(Lens({64, 4e-3}))), 1u);
    ASSERT_TRUE(waitFor(1));
    std::uint64_t last = 0;
    for (int elements : {96, 128, 160}) {
        last = worker.Submit(testcodes::ProfileMaker::Input(Lens({elements, 4e-3})));
    }
    last = worker.Submit(optics::CheckInput{});
    EXPECT_EQ(last, 5u);
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    ASSERT_TRUE(waitFor(2));
    std::lock_guard lock(mutex);
    EXPECT_EQ(tickets, (std::vector<std::uint64_t>{1, 5}));
    EXPECT_EQ(errors[0], "");
    EXPECT_NE(errors[1].find("at least two elements"), std::string::npos) << errors[1];
}

TEST(CheckTextTest, FiguresReadWithTheirUnits) {
    optics::CheckResult lens;
    lens.design = optics::Design::Lens;
    lens.waveLength = 633e-9;
    lens.pitch = 15.66e-6;
    lens.elements.phase.assign(512, 0.0);
    lens.figures = optics::CheckFigures{};
    lens.figures->efficiency = 0.98741;
    lens.figures->strehl = 0.98;
    lens.figures->rmsErrorWaves = 0.01236;
    lens.figures->peakErrorWaves = 0.05;
    lens.figures->focusM = 0.40017;
    lens.figures->spotOffsetM = -3.8e-20; // rounding of the transforms
    optics::CheckResult grating = lens;
    grating.design = optics::Design::Polynomial;
    grating.figures->focusM.reset();
    grating.figures->spotOffsetM.reset();
    grating.figures->orderAngleRad = -2.32e-3;
    grating.figures->spotWidth = 1.2e-4;
    optics::CheckResult pattern = lens;
    pattern.design = optics::Design::None;
    pattern.figures.reset();
    auto text = [](const optics::CheckResult& r) {
        std::string all;
        for (const optics::FigureLine& line : optics::FigureLines(r)) {
            all += line.name + ": " + line.value + "\n";
        }
        return all;
    };
    EXPECT_EQ(text(lens),
              "Design: thin lens\nWave length: 633 nm\nElements: 512, pitch 15.66 \u00B5m\n"
              "Efficiency: 98.74 %\nStrehl ratio: 0.98\nRMS phase error: 0.01236 waves\n"
              "Peak phase error: 0.05 waves\nFocus: 400.2 mm\nSpot offset: 0 m\n"
              "Spot width (FWHM): not resolved\n");
    EXPECT_EQ(text(grating),
              "Design: polynomial\nWave length: 633 nm\nElements: 512, pitch 15.66 \u00B5m\n"
              "Efficiency: 98.74 %\nStrehl ratio: 0.98\nRMS phase error: 0.01236 waves\n"
              "Peak phase error: 0.05 waves\nOrder angle: -2.32 mrad (-0.1329\u00B0)\n"
              "Order width (FWHM): 0.12 mrad (0.006875\u00B0)\n");
    EXPECT_EQ(text(pattern),
              "Design: code pattern\nWave length: 633 nm\nElements: 512, pitch 15.66 \u00B5m\n");
}

} // namespace
