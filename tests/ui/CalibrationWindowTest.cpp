// The Calibration window: sweeps through the main frame's worker against the simulator's
// liquid crystal (phases from a watched file and typed in), cancel keeping the readings, and
// the refusals that show their message and write nothing.
#include "calibration_ui/CalibrationWindow.h"

#include "ControllerSimulator.h"
#include "LcResponder.h"
#include "calibration/LiquidCrystalModel.h"
#include "framework/Document.h"
#include "framework/SettingsStore.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "ui/CommandIds.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace calibration;

namespace {

bool WaitUntil(const std::function<bool()>& done, int milliseconds = 20000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CalibrationWindowTest : public ::testing::Test {
protected:
    // The program with the simulator inside; its liquid crystal appends to phases.csv.
    CalibrationWindow& Start() {
        TempDir::Write(dir.File("tessaron.ini"), "[Settings]\nCOM_Speed=9\nCOM RxTimeout=300\n");
        AppOptions options;
        options.settingsPath = dir.File("tessaron.ini");
        options.simulate = true;
        app = std::make_unique<CTessaronApp>(options, &prompter);
        EXPECT_TRUE(app->InitInstance());
        lc = std::make_unique<LcResponder>(LiquidCrystalModel{}, 633e-9, 0.002, 3,
                                           dir.File("phases.csv"));
        app->Simulator()->SetLoadListener(
            [this](const ControllerSimulator::Command& c) { return lc->OnLoad(c); });
        app->MainFrame()->Action(ID_TOOLS_CALIBRATION)->trigger();
        CalibrationWindow* window = app->MainFrame()->Calibration();
        EXPECT_TRUE(window != nullptr && window->isVisible());
        Set(*window, {{"elements", 32}, {"section", 4}, {"steps", 10}});
        return *window;
    }
    static void Set(CalibrationWindow& w, std::initializer_list<std::pair<const char*, int>> v) {
        for (const auto& [name, value] : v) {
            w.Control<QSpinBox>(name)->setValue(value);
        }
    }
    static void Click(CalibrationWindow& w, const char* name) {
        w.Control<QPushButton>(name)->click();
    }
    static void Type(CalibrationWindow& w, const char* name, const QString& text) {
        auto* edit = w.Control<QLineEdit>(name);
        edit->selectAll();
        edit->setText(text);
    }
    std::string LastMessage() const {
        return prompter.shown.empty() ? std::string() : prompter.shown.back().text;
    }

    TempDir dir;
    FakePrompter prompter;
    // Declared before the program, so that it outlives the simulator that calls it.
    std::unique_ptr<LcResponder> lc;
    std::unique_ptr<CTessaronApp> app;
};

// A whole sweep with the phases from the instrument's file: every level is read, the curve is
// fitted, its figures shown, and the table and record are written where the person says.
TEST_F(CalibrationWindowTest, SweepFromAPhaseFileFitsAndWrites) {
    CalibrationWindow& w = Start();
    w.Control<QComboBox>("source")->setCurrentIndex(1);
    Type(w, "phaseFile", QString::fromStdString(dir.File("phases.csv")));
    Click(w, "start");
    ASSERT_TRUE(w.SweepRunning());
    EXPECT_FALSE(w.Control<QPushButton>("start")->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !w.SweepRunning(); }));
    ASSERT_EQ(w.Readings().points.size(), 10u);
    ASSERT_TRUE(w.Curve().has_value()) << w.FitProblem();
    EXPECT_LT(w.Curve()->Report()->rms, 0.01);
    EXPECT_TRUE(w.Control<QLabel>("figures")->text().contains("stroke: "));
    EXPECT_TRUE(w.Control<QLabel>("status")->text().contains("complete"));
    EXPECT_EQ(app->Simulator()->Commands().size(), 12u); // connect, parameters, 10 patterns

    prompter.QueueFile(FileChoice{dir.File("table.txt")});
    Click(w, "writeTable");
    prompter.QueueFile(FileChoice{dir.File("lc.tcal")});
    Click(w, "writeRecord");
    EXPECT_TRUE(prompter.shown.empty()) << LastMessage();
    const std::string table = TempDir::Read(dir.File("table.txt"));
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 32768);
    EXPECT_TRUE(Contains(TempDir::Read(dir.File("lc.tcal")), "633"));
}

// Typed phases: a phase that is no number is refused with its message; Cancel stops the sweep
// while it waits and keeps what was measured.
TEST_F(CalibrationWindowTest, TypedPhasesAndCancelKeepTheReadings) {
    prompter.ExpectMessages();
    CalibrationWindow& w = Start();
    Click(w, "start");
    ASSERT_TRUE(WaitUntil([&] { return w.AwaitedLevel().has_value(); }));
    EXPECT_EQ(*w.AwaitedLevel(), 0);
    Type(w, "phase", "abc");
    Click(w, "enter");
    EXPECT_TRUE(Contains(LastMessage(), "\"abc\" is not a phase"));
    Type(w, "phase", "0.02");
    Click(w, "enter");
    ASSERT_TRUE(WaitUntil([&] { return w.AwaitedLevel() == 3641; }));
    Click(w, "cancel");
    ASSERT_TRUE(WaitUntil([&] { return !w.SweepRunning(); }));
    ASSERT_EQ(w.Readings().points.size(), 1u);
    EXPECT_EQ(w.Readings().points[0].phase, 0.02);
    EXPECT_TRUE(w.Control<QLabel>("status")->text().contains("cancelled"));
    EXPECT_TRUE(w.Control<QPushButton>("start")->isEnabled());
}

// Each refusal shows its message and writes nothing; the readings at hand stay.
TEST_F(CalibrationWindowTest, RefusalsShowTheirMessageAndWriteNothing) {
    prompter.ExpectMessages();
    SettingsStore settings(dir.File("t.ini"));
    AppContext context{settings, prompter};
    CalibrationWindow w(context);
    w.show();

    // A sweep beyond the DAC's range does not start.
    w.Control<QSpinBox>("last")->setValue(40000);
    Click(w, "start");
    EXPECT_TRUE(Contains(LastMessage(), "is outside the DAC range 0 to 32767")) << LastMessage();
    EXPECT_FALSE(w.SweepRunning());

    const LiquidCrystalModel model;
    Measurement good;
    for (const int level : LiquidCrystalModel::EvenLevels(12, 16)) {
        good.points.push_back({level, model.Phase(level, 633e-9), 0});
    }
    Measurement three = good;
    three.points.resize(3);
    // readings at hand, file imported (empty: none), maximum phase, message
    const std::tuple<Measurement, std::string, const char*, std::string> cases[] = {
        {three, "", "1", "at least 4"},
        {good, "", "9", "beyond the measured stroke"},
        {good, "level,phase\n0,0\n100,x\n", "1", "Line 3:"},
        {good, "level,phase\n0,0\n100,1\n100,3\n200,2\n300,3\n", "1", "both measure level 100"},
        {good, "level,phase\n0,0\n40000,1\n", "1", "level 40000 is outside the DAC range"},
    };
    for (const auto& [readings, file, maxPhase, message] : cases) {
        SCOPED_TRACE(message);
        w.SetReadings(readings);
        Type(w, "maxPhase", maxPhase);
        if (file.empty()) {
            prompter.QueueFile(FileChoice{dir.File("t.txt")});
            Click(w, "writeTable");
            EXPECT_FALSE(TempDir::Exists(dir.File("t.txt")));
        } else {
            // Refused on reading: the readings at hand stay as they were.
            TempDir::Write(dir.File("m.csv"), file);
            prompter.QueueFile(FileChoice{dir.File("m.csv")});
            Click(w, "import");
            EXPECT_EQ(w.Readings().points.size(), readings.points.size());
        }
        EXPECT_TRUE(Contains(LastMessage(), message)) << LastMessage();
        prompter.files.clear();
    }
}

} // namespace
