// The optical check window of a profile in the running program: its figures, how it follows
// the profile's changes (spin arrows included), the intensity scale, the response from a
// calibration record, refusals in place of figures, and its page in the printed report.
#include "optics_ui/OpticalCheckPane.h"

#include "optics_ui/ProfileCheck.h"
#include "profile/TessaronDoc.h"
#include "profile_ui/TessaronView.h"
#include "profile_ui/WizardPage.h"
#include "shell/CommandLineOptions.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "support/DiskFaults.h"
#include "support/DocAccess.h"
#include "support/FakePrompter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "ui/CommandIds.h"
#include "ui/DocumentFrame.h"
#include "ui/SpinArrows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class OpticalCheckPaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        TempDir::Write(dir.File("tessaron.ini"), "[Settings]\n");
        AppOptions options;
        options.settingsPath = dir.File("tessaron.ini");
        app = std::make_unique<CTessaronApp>(options, &prompter);
        ASSERT_TRUE(app->InitInstance());
        main = app->MainFrame();
        doc = static_cast<CTessaronDoc*>(app->NewDocument(*app->Templates()[0]));
        view = qobject_cast<CTessaronView*>(main->ActiveChildFrame()->widget());
        ASSERT_NE(view, nullptr);
        // The demonstration lens: 512 elements over 10 mm, 2.5 diopters at 633 nm.
        ProfileParameters params;
        params.elements = 512;
        ASSERT_EQ(doc->ApplyParameters(params), CTessaronDoc::ApplyResult::Applied);
        ASSERT_TRUE(doc->SetCreationMode(CTessaronDoc::MODE_DIOPTERS));
        doc->SetLensParameters(2.5, 633e-9);
        ASSERT_TRUE(doc->GenerateData(true));
    }
    // Tools > Optical Check on the active profile.
    OpticalCheckPane* OpenPane() {
        main->UpdateCommandStates();
        QAction* command = main->Action(ID_OPTICAL_CHECK);
        EXPECT_TRUE(command->isEnabled());
        command->trigger();
        return view->findChild<OpticalCheckPane*>();
    }
    static bool Shown(OpticalCheckPane* pane) {
        return QTest::qWaitFor([pane] { return pane->UpToDate(); }, 15000);
    }
    // A calibration record of a linear liquid crystal, 8 parts of PI over the 16-bit range.
    std::string Record(const std::string& name, double nanometres) {
        std::string text =
            "tessaron calibration record 1\nwavelength_nm = " + std::to_string(nanometres) +
            "\ndigits = 16\nunit = pi\nlevel,phase\n";
        for (int level = 0; level < 32767; level += 4096) {
            text += std::to_string(level) + "," + std::to_string(level * 8.0 / 32767.0) + "\n";
        }
        text += "32767,8.0\nend\n";
        TempDir::Write(dir.File(name), text);
        return dir.File(name);
    }

    TempDir dir;
    FakePrompter prompter;
    std::unique_ptr<CTessaronApp> app;
    CMainFrame* main = nullptr;
    CTessaronDoc* doc = nullptr;
    CTessaronView* view = nullptr;
};

TEST_F(OpticalCheckPaneTest, FiguresFollowTheProfileAndItsSpinArrows) {
    OpticalCheckPane* pane = OpenPane();
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->isVisible());
    ASSERT_TRUE(Shown(pane));
    ASSERT_TRUE(pane->Result()) << pane->Message();
    EXPECT_NEAR(*pane->Result()->figures->focusM, 0.4, 0.004);
    EXPECT_NE(pane->FiguresText().indexOf("Efficiency"), -1);
    EXPECT_NE(pane->FiguresText().indexOf("400"), -1) << pane->FiguresText().toStdString();
    // The command shows the same window again.
    EXPECT_EQ(OpenPane(), pane);

    // A click on the diopters' up arrow generates 2.6 diopters; the check follows.
    auto* spin = view->Page()->findChild<SpinArrows*>("spin");
    ASSERT_NE(spin, nullptr);
    QTest::mouseClick(spin->UpButton(), Qt::LeftButton);
    ASSERT_EQ(doc->Diopters(), 2.6);
    ASSERT_TRUE(Shown(pane));
    EXPECT_NEAR(*pane->Result()->figures->focusM, 1.0 / 2.6, 0.004);
    EXPECT_NE(pane->FiguresText().indexOf("384"), -1) << pane->FiguresText().toStdString();

    // Linear and logarithmic intensity draw differently.
    auto* scale = pane->findChild<QComboBox*>("intensityScale");
    QWidget* canvas = pane->findChild<QWidget*>("checkCanvas");
    ASSERT_NE(scale, nullptr);
    ASSERT_NE(canvas, nullptr);
    const QImage linear = canvas->grab().toImage();
    scale->setCurrentIndex(1);
    EXPECT_EQ(pane->IntensityScale(), plot::Scale::Logarithmic);
    EXPECT_NE(canvas->grab().toImage(), linear);
    scale->setCurrentIndex(0);
    EXPECT_EQ(canvas->grab().toImage(), linear);

    // The window goes with its profile's window.
    QPointer<OpticalCheckPane> watched(pane);
    prompter.QueueAnswer(IDNO); // do not save
    app->OnFileClose();
    EXPECT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 5000));
}

TEST_F(OpticalCheckPaneTest, ARefusedProfileShowsTheReasonInsteadOfFigures) {
    OpticalCheckPane* pane = OpenPane();
    ASSERT_TRUE(Shown(pane));
    ASSERT_TRUE(pane->Result());
    // name, change, message
    const std::tuple<const char*, std::function<void()>, std::string> cases[] = {
        {"DAC beyond 16 digits", [this] { DocFields(*doc).m_nDacDigits = 20; },
         "20 digits; codes are made for 10 to 16"},
        {"one element",
         [this] {
             DocFields(*doc).m_nDacDigits = 16;
             DocFields(*doc).m_nElements = 1;
         },
         "at least two elements"},
    };
    for (const auto& [name, change, message] : cases) {
        change();
        doc->UpdateAllViews(nullptr);
        ASSERT_TRUE(Shown(pane)) << name;
        EXPECT_FALSE(pane->Result()) << name;
        EXPECT_NE(pane->Message().find(message), std::string::npos) << name << pane->Message();
        EXPECT_NE(pane->FiguresText().indexOf(QString::fromStdString(message)), -1) << name;
        EXPECT_EQ(pane->FiguresText().indexOf("Efficiency"), -1) << name;
    }
    // Mended, the figures return.
    DocFields(*doc).m_nElements = 512;
    doc->UpdateAllViews(nullptr);
    ASSERT_TRUE(Shown(pane));
    EXPECT_TRUE(pane->Result());
}

TEST_F(OpticalCheckPaneTest, ResponseFromARecordIsKeptForTheReport) {
    OpticalCheckPane* pane = OpenPane();
    ASSERT_TRUE(Shown(pane));
    auto* response = pane->findChild<QComboBox*>("response");
    auto* source = pane->findChild<QLabel*>("responseSource");
    ASSERT_NE(response, nullptr);

    // A record of another wave length is read, but the lens refuses it: the reason shows.
    prompter.QueueFile(FileChoice{Record("green.tcal", 532.0)});
    response->activated(1);
    ASSERT_TRUE(Shown(pane));
    EXPECT_NE(pane->Message().find("measured at 532.0 nm"), std::string::npos) << pane->Message();

    // A record that is no record is refused with a message; the response stays.
    TempDir::Write(dir.File("bad.tcal"), "not a record\n");
    prompter.ExpectMessages();
    prompter.QueueFile(FileChoice{dir.File("bad.tcal")});
    response->activated(1);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(source->text().indexOf("green.tcal"), -1);

    prompter.QueueFile(FileChoice{Record("red.tcal", 633.0)});
    response->activated(1);
    ASSERT_TRUE(Shown(pane));
    ASSERT_TRUE(pane->Result()) << pane->Message();
    EXPECT_NE(source->text().indexOf("red.tcal (633.0 nm"), -1) << source->text().toStdString();
    EXPECT_EQ(checkui::ResponseRecordPath(doc->Settings()), dir.File("red.tcal"));

    // Back to linear.
    response->activated(0);
    ASSERT_TRUE(Shown(pane));
    EXPECT_EQ(checkui::ResponseRecordPath(doc->Settings()), "");

    // The report's page: the box is the setting; a setting the disk refuses is not ticked.
    auto* report = pane->findChild<QCheckBox*>("printWithReport");
    ASSERT_NE(report, nullptr);
    report->setChecked(true);
    EXPECT_TRUE(checkui::ReportHasCheckPage(doc->Settings()));
    {
        FailingWrites full(0, ENOSPC);
        report->setChecked(false);
    }
    EXPECT_TRUE(report->isChecked());
    EXPECT_TRUE(checkui::ReportHasCheckPage(doc->Settings()));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_NE(prompter.shown.back().text.find("cannot be written"), std::string::npos);
}

// The report: exactly as before unless the check's page is asked for; then page 2 is the
// check and the values follow from page 3.
TEST_F(OpticalCheckPaneTest, TheReportAddsTheCheckPageOnlyWhenAsked) {
    const std::string lens = dir.File("lens.lcp");
    ASSERT_TRUE(doc->OnSaveDocument(lens));
    auto pages = [&](bool checkPage) {
        TempDir::Write(dir.File("print.ini"),
                       checkPage ? "[Settings]\nOptical Check In Report=1\n" : "[Settings]\n");
        const std::string pdf = dir.File("report.pdf");
        const AppOptions options = ParseCommandLine(
            {"--settings", QString::fromStdString(dir.File("print.ini")), "--print-pdf",
             QString::fromStdString(lens), QString::fromStdString(pdf)});
        CTessaronApp printer(options, &prompter);
        EXPECT_FALSE(printer.InitInstance());
        EXPECT_EQ(printer.ExitCode(), 0);
        const ProcessResult text = RunProcess("/usr/bin/pdftotext", {"-raw", pdf, "-"});
        QStringList split = QString::fromStdString(text.out).split('\f');
        split.removeLast();
        return split;
    };
    const QStringList plain = pages(false);
    const QStringList checked = pages(true);
    ASSERT_GE(plain.size(), 2);
    ASSERT_EQ(checked.size(), plain.size() + 1);
    // Page 1 alike but for the time on its date line.
    auto undated = [](const QString& page) {
        QStringList lines = page.split('\n');
        lines.removeIf([](const QString& line) { return line.startsWith("today is:"); });
        return lines;
    };
    EXPECT_EQ(undated(checked[0]), undated(plain[0]));
    EXPECT_NE(checked[1].indexOf("Optical check of lens.lcp, response linear"), -1);
    EXPECT_NE(checked[1].indexOf("Strehl ratio"), -1) << checked[1].toStdString();
    EXPECT_NE(checked[1].indexOf("Focus 400"), -1) << checked[1].toStdString();
    for (int p = 1; p < plain.size(); ++p) {
        EXPECT_EQ(checked[p + 1], plain[p]) << p;
        EXPECT_EQ(plain[p].indexOf("Optical check"), -1);
    }
}

} // namespace
