// The profile form in the whole program with the simulator inside: Apply and its checks, the
// correction switch, the read-outs, the wizard's spin arrows, the anchoring of the controls,
// File New, "Edit Data" and Send.
#include "profile_ui/TessaronView.h"

#include "ControllerSimulator.h"
#include "calibration/CalibrationRecord.h"
#include "calibration/LiquidCrystalModel.h"
#include "calibration/ResponseCurve.h"
#include "framework/StringTable.h"
#include "profile_ui/ProfileDataList.h"
#include "profile_ui/ProfileFormIds.h"
#include "profile_ui/WizardPage.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "support/DocAccess.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "ui/CommandIds.h"
#include "ui/DialogUnits.h"
#include "ui/DocTemplate.h"
#include "ui/DocumentFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

// A correction table for 10 DAC digits: entry j is j / 2 + 100, rising through 100..355.
std::string TableText() {
    std::string text;
    for (int j = 0; j < 512; ++j) {
        text += std::to_string(j / 2 + 100) + "\n";
    }
    return text;
}

class ProfileViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        TempDir::Write(dir.File("tessaron.ini"), "[Settings]\nCOM_Speed=9\nCOM RxTimeout=300\n");
        AppOptions options;
        options.settingsPath = dir.File("tessaron.ini");
        options.simulate = true;
        app = std::make_unique<CTessaronApp>(options, &prompter);
        ASSERT_TRUE(app->InitInstance());
        main = app->MainFrame();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        // A new profile in its form.
        doc = static_cast<CTessaronDoc*>(app->NewDocument(*app->Templates()[0]));
        frame = main->ActiveChildFrame();
        view = qobject_cast<CTessaronView*>(frame->widget());
        ASSERT_NE(view, nullptr);
    }
    QAction* Command(int id) {
        main->UpdateCommandStates();
        return main->Action(id);
    }
    bool Idle() {
        return QTest::qWaitFor([this] { return !main->IsBusy(); }, 15000);
    }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(view->Control(id)); }
    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(view->Control(id)); }
    void Click(int id) { QTest::mouseClick(view->Control(id), Qt::LeftButton, {}, QPoint(5, 5)); }
    void Fill(std::initializer_list<std::pair<int, const char*>> fields) {
        for (const auto& [id, text] : fields) {
            Edit(id)->selectAll();
            QTest::keyClick(Edit(id), Qt::Key_Delete);
            QTest::keyClicks(Edit(id), QString::fromLatin1(text));
        }
    }
    // Switches the correction on over a valid table for 10 digits.
    void UseTable() {
        Fill({{IDC_DIGITS, "10"}});
        ASSERT_TRUE(view->OnApply());
        TempDir::Write(dir.File("table.txt"), TableText());
        DocFields(*doc).m_strCorrectionPath = dir.File("table.txt");
        Click(IDC_USE_CORRECTION);
        ASSERT_TRUE(doc->UseCorrection());
    }

    TempDir dir;
    FakePrompter prompter;
    std::unique_ptr<CTessaronApp> app;
    CMainFrame* main = nullptr;
    CTessaronDoc* doc = nullptr;
    DocumentFrame* frame = nullptr;
    CTessaronView* view = nullptr;
};

TEST_F(ProfileViewTest, ApplyResizesTheDataKeepingValuesAndAppendingZeros) {
    DocFields(*doc).m_phase.assign(256, 1.5);
    doc->UpdateAllViews(nullptr);
    EXPECT_FALSE(Button(IDC_APPLY)->isEnabled());
    Fill({{IDC_ELEMENTS, "300"}});
    EXPECT_TRUE(Button(IDC_APPLY)->isEnabled());
    QTest::mouseClick(Button(IDC_APPLY), Qt::LeftButton);
    ASSERT_EQ(doc->Phase().size(), 300u);
    EXPECT_EQ(doc->Phase()[255], 1.5);
    EXPECT_EQ(std::vector<double>(doc->Phase().begin() + 256, doc->Phase().end()),
              std::vector<double>(44, 0.0));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(Button(IDC_APPLY)->isEnabled());
    // The focus left the disabled button for the next control.
    EXPECT_EQ(QApplication::focusWidget(), view->DataList());
    EXPECT_EQ(view->DataList()->model()->rowCount(), 300);

    view->DataList()->SelectElement(280);
    Fill({{IDC_ELEMENTS, "100"}});
    ASSERT_TRUE(view->OnApply());
    EXPECT_EQ(doc->Phase(), std::vector<double>(100, 1.5));
    // The selection lay beyond the new end: it is gone, and so are the read-outs.
    EXPECT_EQ(view->CurrentElement(), -1);
    EXPECT_TRUE(Edit(IDC_CURRENT)->text().isEmpty());

    // The read-outs give the selected element and its distance from the centre.
    const std::tuple<const char*, int, const char*> readouts[] = {
        {"256", 0, "-5.00e-003"}, {"256", 255, "5.00e-003"}, {"5", 2, "0.00e+000"},
        {"5", 1, "-2.50e-003"},   {"1", 0, "0.00e+000"},
    };
    for (const auto& [elements, index, distance] : readouts) {
        Fill({{IDC_ELEMENTS, elements}});
        ASSERT_TRUE(view->OnApply());
        view->DataList()->SelectElement(index);
        EXPECT_EQ(Edit(IDC_DISTANCE)->text().toStdString(), distance) << elements;
        EXPECT_EQ(Edit(IDC_CURRENT)->text(), QString::number(index));
    }
}

TEST_F(ProfileViewTest, ApplyRefusesBadLimitsAndDataWithTheirMessageAndFocus) {
    prompter.ExpectMessages();
    DocFields(*doc).m_phase[7] = 6.0;
    const std::string k205 = LoadString(IDS_LIMITS_PHASE), k206 = LoadString(IDS_LIMITS_DAC),
                      k208 = LoadString(IDS_LIMITS_TABLE), k214 = "Some numbers in array",
                      kElements = "Please enter an integer between 1 and 512.",
                      kCode = "Please enter an integer between 0 and 65535.";
    const struct {
        bool table;
        std::initializer_list<std::pair<int, const char*>> fields;
        std::string message; // the start of the message; empty: accepted
        int focus;
    } cases[] = {
        {false, {{IDC_LOW, "2"}, {IDC_HIGH, "2"}}, k205, IDC_HIGH},
        {false, {{IDC_LOW, "1"}, {IDC_HIGH, "8.5"}}, k205, IDC_HIGH},
        {false, {{IDC_MAX_PHASE, "5"}, {IDC_HIGH, "4"}}, k214, IDC_MAX_PHASE},
        {false, {{IDC_ELEMENTS, "513"}}, kElements, IDC_ELEMENTS},
        {false, {{IDC_LOW, "1"}, {IDC_HIGH, "8"}}, "", 0}, // high = maximum phase is allowed
        {true, {{IDC_HIGH, "600"}}, k208, IDC_HIGH},
        {true, {{IDC_LOW, "300"}, {IDC_HIGH, "150"}}, k206, IDC_HIGH},
        {true, {{IDC_LOW, "70000"}}, kCode, IDC_LOW},
    };
    for (const auto& c : cases) {
        if (c.table && !doc->UseCorrection()) {
            UseTable();
        }
        const auto limits = [&] {
            return std::make_tuple(doc->LowLimit(), doc->HighLimit(), doc->MaxPhase());
        };
        const auto before = limits();
        prompter.shown.clear();
        Fill(c.fields);
        EXPECT_EQ(view->OnApply(), c.message.empty()) << c.fields.begin()->second;
        if (c.message.empty()) {
            EXPECT_EQ(limits(), std::make_tuple(1.0, 8.0, 8.0));
            continue;
        }
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text.rfind(c.message, 0), 0u) << prompter.shown[0].text;
        EXPECT_EQ(QApplication::focusWidget(), Edit(c.focus)) << c.message;
        EXPECT_EQ(Edit(c.focus)->selectedText(), Edit(c.focus)->text());
        EXPECT_EQ(limits(), before);
        EXPECT_TRUE(Button(IDC_APPLY)->isEnabled());
        doc->UpdateAllViews(nullptr); // back to the document's values
    }
}

TEST_F(ProfileViewTest, CorrectionSwitchUsesAValidTableAndOtherwiseAsks) {
    UseTable(); // a valid path: no file dialog
    auto* box = qobject_cast<QCheckBox*>(view->Control(IDC_USE_CORRECTION));
    EXPECT_TRUE(prompter.fileRequests.empty());
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(Button(IDC_BROWSE)->isEnabled());
    EXPECT_EQ(qobject_cast<QLabel*>(view->Control(IDC_HIGH_LABEL))->text(),
              "High limit (in digits):");
    // The limits 0 and 8 of the maximum phase 8 are the first and the last entry.
    EXPECT_EQ(Edit(IDC_LOW)->text(), "100");
    EXPECT_EQ(Edit(IDC_HIGH)->text(), "355");
    EXPECT_TRUE(doc->IsModified());

    // Off, and on again with no path: the dialog asks, Cancel leaves the box clear.
    Click(IDC_USE_CORRECTION);
    DocFields(*doc).m_strCorrectionPath.clear();
    prompter.QueueFile(std::nullopt);
    Click(IDC_USE_CORRECTION);
    EXPECT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_FALSE(doc->UseCorrection());
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(Button(IDC_BROWSE)->isEnabled());
    EXPECT_EQ(Edit(IDC_HIGH)->text(), "8");
}

// "From library" takes the library's table for the profile's wave length through the
// document's own switch; what cannot be had is refused with its message, the correction as it
// was and no table written.
TEST_F(ProfileViewTest, FromLibraryUsesTheLibrarysTableForTheWaveLength) {
    prompter.ExpectMessages();
    const std::string folder = dir.File("calibration");
    const auto last = [this] { return prompter.shown.back().text; };
    doc->SetLensParameters(2.5, 633e-9);
    Click(IDC_FROM_LIBRARY); // no library yet
    EXPECT_NE(last().find("no record to make a table for 633 nm"), std::string::npos) << last();

    const calibration::LiquidCrystalModel model;
    const auto m = model.Sweep(calibration::LiquidCrystalModel::EvenLevels(32, 16), 633e-9, 0.0, 1);
    const auto curve = calibration::ResponseCurve::Fit(m);
    ASSERT_TRUE(curve.Ok());
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ASSERT_TRUE(calibration::WriteRecord(folder + "/lc.tcal",
                                         calibration::MakeRecord(m, *curve, 633e-9, {}, ""))
                    .Ok());
    Click(IDC_FROM_LIBRARY); // the profile's maximum phase of 8 PI is beyond the stroke
    EXPECT_NE(last().find("beyond the measured stroke"), std::string::npos) << last();
    EXPECT_FALSE(doc->UseCorrection());

    Fill({{IDC_MAX_PHASE, "2"}, {IDC_HIGH, "2"}});
    Click(IDC_APPLY);
    Click(IDC_FROM_LIBRARY);
    EXPECT_NE(last().find("measured at 633 nm (lc.tcal)"), std::string::npos) << last();
    EXPECT_TRUE(doc->UseCorrection());
    EXPECT_EQ(doc->CorrectionPath(), folder + "/table-633nm-16digits-2pi.txt");
    EXPECT_EQ(doc->Correction().size(), 32768u);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(view->Control(IDC_USE_CORRECTION))->isChecked());
    // Only the table the profile uses was written beside the record.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(ProfileViewTest, UpArrowAfterGeneratingStepsTheDioptersAndGeneratesAgain) {
    auto* diopters = view->Page()->findChild<QLineEdit*>("diopters");
    ASSERT_NE(diopters, nullptr);
    diopters->selectAll();
    QTest::keyClicks(diopters, "2.5");
    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);
    const std::vector<double> first = doc->Phase();
    EXPECT_NE(first, std::vector<double>(256, 0.0));
    QTest::keyClick(diopters, Qt::Key_Up);
    EXPECT_EQ(doc->Diopters(), 2.6);
    EXPECT_EQ(diopters->text(), "2.6");
    EXPECT_NE(doc->Phase(), first);
}

TEST_F(ProfileViewTest, EnlargedFrameMovesAndStretchesControlsAndRestoresThemExactly) {
    EXPECT_EQ(view->size(), view->sizeHint());
    // Shown in its frame, the form has its controls where the design puts them.
    const DialogUnits units(view->font());
    EXPECT_EQ(view->Control(IDC_APPLY)->geometry(), units.ToPixels(325, 201, 52, 14));
    EXPECT_EQ(view->Control(IDC_HIGH)->geometry(), units.ToPixels(158, 233, 40, 14));
    std::map<QWidget*, QRect> every;
    for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        every[child] = child->geometry();
    }
    const QSize design = frame->size();
    frame->resize(design + QSize(100, 50));
    EXPECT_EQ(view->size(), view->sizeHint() + QSize(100, 50));
    // id, moved by dx, dy, grown by dw, dh
    const int moves[][5] = {
        {IDC_APPLY, 100, 50, 0, 0},        {IDC_BROWSE, 100, 50, 0, 0},
        {IDC_IMPORT, 100, 50, 0, 0},       {IDC_EXPORT, 100, 50, 0, 0},
        {IDC_INSERT_PATH, 100, 50, 0, 0},  {IDC_DATA_LABEL, 100, 0, 0, 0},
        {IDC_DATA_LIST, 100, 0, 0, 50},    {IDC_GRAPH, 0, 0, 100, 50},
        {IDC_WIZARD_GROUP, 0, 0, 0, 50},   {IDC_GENERATE, 0, 50, 0, 0},
        {IDC_PARAMS_GROUP, 0, 50, 100, 0}, {IDC_NOTE, 0, 50, 100, 0},
        {IDC_MODE_GROUP, 0, 0, 0, 0},      {IDC_MODE_DIOPTERS, 0, 0, 0, 0},
    };
    for (const auto& [id, dx, dy, dw, dh] : moves) {
        const QRect was = every.at(view->Control(id));
        EXPECT_EQ(view->Control(id)->geometry(), was.translated(dx, dy).adjusted(0, 0, dw, dh))
            << id;
    }
    // Scaled edits keep their proportional place and width, centred labels their centre.
    const double scale = (design.width() + 100.0) / design.width();
    const std::pair<int, bool> scaled[] = {
        {IDC_DIGITS, true},
        {IDC_MAX_PHASE, true},
        {IDC_LOW, true},
        {IDC_HIGH, true},
        {IDC_CORRECTION_PATH, true},
        {IDC_DIGITS_LABEL, false},
        {IDC_USE_CORRECTION, false},
        {IDC_PATH_LABEL, false},
    };
    for (const auto& [id, wider] : scaled) {
        const QRect was = every.at(view->Control(id)), now = view->Control(id)->geometry();
        EXPECT_NEAR(now.center().x(), was.center().x() * scale, 2) << id;
        EXPECT_NEAR(now.width(), wider ? was.width() * scale : was.width(), 2) << id;
        EXPECT_EQ(now.y(), was.y() + 50) << id;
    }

    frame->resize(design);
    for (const auto& [control, rect] : every) {
        EXPECT_EQ(control->geometry(), rect) << control->objectName().toStdString();
        // Every control takes the clicks at its centre, through the frames above it.
        QWidget* hit = view->childAt(rect.center());
        while (hit != nullptr && hit->parentWidget() != view) {
            hit = hit->parentWidget();
        }
        if (qobject_cast<QGroupBox*>(control) == nullptr) {
            EXPECT_EQ(hit, control) << control->objectName().toStdString();
        }
    }
    frame->resize(design - QSize(50, 50)); // never smaller than the design
    EXPECT_EQ(frame->size(), design);
}

TEST_F(ProfileViewTest, TwoViewsShareTheNoteAndTheCreationModeWithoutOneEchoingTheOther) {
    auto second = std::make_unique<CTessaronView>(*doc);
    second->OnInitialUpdate();
    QTest::keyClicks(view->Control(IDC_NOTE), "lens A");
    EXPECT_EQ(doc->Note(), "lens A");
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(second->Control(IDC_NOTE))->toPlainText(), "lens A");
    EXPECT_TRUE(doc->IsModified());

    // The mode replaces the page in both views and is no change of the profile.
    doc->SetModifiedFlag(false);
    Click(IDC_MODE_POLYNOMIAL);
    EXPECT_EQ(doc->CreationMode(), 1);
    for (CTessaronView* v : {view, second.get()}) {
        EXPECT_NE(v->Page()->findChild<QLineEdit*>("a0"), nullptr);
        EXPECT_TRUE(qobject_cast<QRadioButton*>(v->Control(IDC_MODE_POLYNOMIAL))->isChecked());
    }
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ProfileViewTest, FileNewOffersBothTypesAndMakesAProfileForm) {
    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* list = dialog->findChild<QListWidget*>();
        for (int i = 0; i < list->count(); ++i) {
            offered << list->item(i)->text();
        }
        dialog->accept(); // the first, selected at first
    });
    Document* made = app->OnFileNew();
    EXPECT_EQ(offered, QStringList({"Profile", "VoltPhase"}));
    ASSERT_NE(dynamic_cast<CTessaronDoc*>(made), nullptr);
    EXPECT_EQ(made->GetTitle(), "Profile2");
    EXPECT_EQ(main->CurrentMenuId(), IDR_PROFILE_TYPE);
    EXPECT_NE(main->ActiveChildFrame(), frame);
    EXPECT_NE(qobject_cast<CTessaronView*>(main->ActiveChildFrame()->widget()), nullptr);
    EXPECT_EQ(made->FileType().filter, "LC Profile files(*.lcp)|*.lcp||");
}

TEST_F(ProfileViewTest, EditDataFollowsTheSelection) {
    EXPECT_EQ(Command(ID_EDIT_DATA)->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_FALSE(Command(ID_EDIT_DATA)->isEnabled());
    EXPECT_TRUE(Command(ID_EDIT_CLEAR_ALL)->isEnabled());
    view->DataList()->SelectElement(3);
    EXPECT_TRUE(main->Action(ID_EDIT_DATA)->isEnabled()); // without a further refresh
    main->Action(ID_EDIT_DATA)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([this] { return view->DataList()->IsEditing(); }));
    view->DataList()->DeselectElement();
    EXPECT_FALSE(main->Action(ID_EDIT_DATA)->isEnabled());
}

TEST_F(ProfileViewTest, SendLoadsTheTableAndDeliversTheCorrectedCodes) {
    Command(ID_CONTROLLER_CONNECT)->trigger();
    ASSERT_TRUE(Idle());
    DocFields(*doc).m_nElements = 3;
    DocFields(*doc).m_phase = {0.0, 4.0, 8.0};
    DocFields(*doc).m_nDacDigits = 10;
    TempDir::Write(dir.File("table.txt"), TableText());
    DocFields(*doc).m_strCorrectionPath = dir.File("table.txt");
    DocFields(*doc).m_bUseCorrection = 1; // the table is loaded by the send itself
    Command(ID_CONTROLLER_SEND)->trigger();
    ASSERT_TRUE(Idle());
    // Levels 0, 255, 511 through the table: 100, 227, 355 above S = 512, S - 1 - entry below.
    const std::vector<std::uint16_t> corrected{612, 739, 867, 411, 284, 156};
    EXPECT_EQ(doc->Codes(), corrected);
    const auto commands = app->Simulator()->Commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[2].codes, corrected);
    EXPECT_EQ(commands[2].elements, 3);
}

} // namespace
