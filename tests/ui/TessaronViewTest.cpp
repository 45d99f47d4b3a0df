// The profile form in its frame: Apply and its checks, the correction switch, the read-outs,
// the wizard's spin arrows, the anchoring of the controls; and in the whole program: File New,
// "Edit Data", Send to the simulator and the close guard during a send.
#include "profile_ui/TessaronView.h"

#include "ControllerSimulator.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "profile_ui/ChildFrame.h"
#include "profile_ui/ProfileDataList.h"
#include "profile_ui/ProfileFormIds.h"
#include "profile_ui/WizardPage.h"
#include "shell/CommandIds.h"
#include "shell/DocTemplate.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "ui/DialogUnits.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

bool WaitUntil(const std::function<bool()>& done, int milliseconds = 15000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

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
    ProfileViewTest() : settings(dir.File("t.ini")), context{settings, prompter}, doc(context) {
        doc.OnNewDocument();
        frame = new CChildFrame(doc);
        area.addSubWindow(frame);
        view = new CTessaronView(doc, frame);
        frame->setWidget(view);
        view->OnInitialUpdate();
        frame->ActivateFrame();
        area.resize(1200, 900);
        area.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&area));
    }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(view->Control(id)); }
    QPushButton* Button(int id) { return qobject_cast<QPushButton*>(view->Control(id)); }
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
        doc.m_strCorrectionPath = dir.File("table.txt");
        QTest::mouseClick(view->Control(IDC_USE_CORRECTION), Qt::LeftButton, {}, QPoint(5, 5));
        ASSERT_TRUE(doc.m_bUseCorrection);
    }

    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings;
    AppContext context;
    CTessaronDoc doc;
    QMdiArea area;
    CChildFrame* frame = nullptr;
    CTessaronView* view = nullptr;
};

TEST_F(ProfileViewTest, ApplyResizesTheDataKeepingValuesAndAppendingZeros) {
    doc.m_phase.assign(256, 1.5);
    doc.UpdateAllViews(nullptr);
    EXPECT_FALSE(Button(IDC_APPLY)->isEnabled());
    Fill({{IDC_ELEMENTS, "300"}});
    EXPECT_TRUE(Button(IDC_APPLY)->isEnabled());
    QTest::mouseClick(Button(IDC_APPLY), Qt::LeftButton);
    ASSERT_EQ(doc.m_phase.size(), 300u);
    EXPECT_EQ(doc.m_phase[255], 1.5);
    EXPECT_EQ(doc.m_phase[256], 0.0);
    EXPECT_EQ(doc.m_phase[299], 0.0);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(Button(IDC_APPLY)->isEnabled());
    // The focus left the disabled button for the next control.
    EXPECT_EQ(QApplication::focusWidget(), view->DataList());
    EXPECT_EQ(view->DataList()->model()->rowCount(), 300);

    view->DataList()->SelectElement(280);
    Fill({{IDC_ELEMENTS, "100"}});
    ASSERT_TRUE(view->OnApply());
    EXPECT_EQ(doc.m_phase, std::vector<double>(100, 1.5));
    // The selection lay beyond the new end: it is gone, and so are the read-outs.
    EXPECT_EQ(view->CurrentElement(), -1);
    EXPECT_TRUE(Edit(IDC_CURRENT)->text().isEmpty());
}

TEST_F(ProfileViewTest, ApplyRefusesBadLimitsAndDataWithTheirMessageAndFocus) {
    prompter.ExpectMessages();
    doc.m_phase[7] = 6.0;
    const std::string k205 = LoadString(IDS_LIMITS_PHASE), k206 = LoadString(IDS_LIMITS_DAC),
                      k208 = LoadString(IDS_LIMITS_TABLE), k214 = "Some numbers in array";
    const std::string kElements = "Please enter an integer between 1 and 512.",
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
        if (c.table && !doc.m_bUseCorrection) {
            UseTable();
        }
        const auto before = std::make_tuple(doc.m_dLowLimit, doc.m_dHighLimit, doc.m_dMaxPhase);
        prompter.shown.clear();
        Fill(c.fields);
        EXPECT_EQ(view->OnApply(), c.message.empty()) << c.fields.begin()->second;
        if (c.message.empty()) {
            EXPECT_EQ(std::make_tuple(doc.m_dLowLimit, doc.m_dHighLimit),
                      std::make_tuple(1.0, 8.0));
            continue;
        }
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text.rfind(c.message, 0), 0u) << prompter.shown[0].text;
        EXPECT_EQ(QApplication::focusWidget(), Edit(c.focus)) << c.message;
        EXPECT_EQ(Edit(c.focus)->selectedText(), Edit(c.focus)->text());
        EXPECT_EQ(std::make_tuple(doc.m_dLowLimit, doc.m_dHighLimit, doc.m_dMaxPhase), before);
        EXPECT_TRUE(Button(IDC_APPLY)->isEnabled());
        doc.UpdateAllViews(nullptr); // back to the document's values
    }
}

TEST_F(ProfileViewTest, CorrectionSwitchUsesAValidTableAndOtherwiseAsks) {
    UseTable(); // a valid path: no file dialog
    EXPECT_TRUE(prompter.fileRequests.empty());
    EXPECT_TRUE(qobject_cast<QCheckBox*>(view->Control(IDC_USE_CORRECTION))->isChecked());
    EXPECT_TRUE(Button(IDC_BROWSE)->isEnabled());
    EXPECT_EQ(qobject_cast<QLabel*>(view->Control(IDC_HIGH_LABEL))->text(),
              "High limit (in digits):");
    // The limits 0 and 8 of the maximum phase 8 are the first and the last entry.
    EXPECT_EQ(Edit(IDC_LOW)->text(), "100");
    EXPECT_EQ(Edit(IDC_HIGH)->text(), "355");
    EXPECT_TRUE(doc.IsModified());

    // Off, and on again with no path: the dialog asks, Cancel leaves the box clear.
    QTest::mouseClick(view->Control(IDC_USE_CORRECTION), Qt::LeftButton, {}, QPoint(5, 5));
    doc.m_strCorrectionPath.clear();
    prompter.QueueFile(std::nullopt);
    QTest::mouseClick(view->Control(IDC_USE_CORRECTION), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_FALSE(doc.m_bUseCorrection);
    EXPECT_FALSE(qobject_cast<QCheckBox*>(view->Control(IDC_USE_CORRECTION))->isChecked());
    EXPECT_FALSE(Button(IDC_BROWSE)->isEnabled());
    EXPECT_EQ(Edit(IDC_HIGH)->text(), "8");
}

TEST_F(ProfileViewTest, ReadoutsGiveTheDistanceFromTheCentre) {
    const struct {
        const char* elements;
        int index;
        const char* distance;
    } cases[] = {{"256", 0, "-5.00e-003"},
                 {"256", 255, "5.00e-003"},
                 {"5", 2, "0.00e+000"},
                 {"5", 1, "-2.50e-003"},
                 {"1", 0, "0.00e+000"}};
    for (const auto& c : cases) {
        Fill({{IDC_ELEMENTS, c.elements}});
        ASSERT_TRUE(view->OnApply());
        view->DataList()->SelectElement(c.index);
        EXPECT_EQ(Edit(IDC_DISTANCE)->text().toStdString(), c.distance) << c.elements;
        EXPECT_EQ(Edit(IDC_CURRENT)->text(), QString::number(c.index));
    }
}

TEST_F(ProfileViewTest, UpArrowAfterGeneratingStepsTheDioptersAndGeneratesAgain) {
    auto* diopters = view->Page()->findChild<QLineEdit*>("diopters");
    ASSERT_NE(diopters, nullptr);
    QTest::keyClick(diopters, Qt::Key_Up); // no step before the first generation
    EXPECT_EQ(doc.m_dDiopters, 0.0);
    diopters->selectAll();
    QTest::keyClicks(diopters, "2.5");
    QTest::mouseClick(Button(IDC_GENERATE), Qt::LeftButton);
    const std::vector<double> first = doc.m_phase;
    EXPECT_NE(first, std::vector<double>(256, 0.0));
    QTest::keyClick(diopters, Qt::Key_Up);
    EXPECT_EQ(doc.m_dDiopters, 2.6);
    EXPECT_EQ(diopters->text(), "2.6");
    EXPECT_NE(doc.m_phase, first);
}

TEST_F(ProfileViewTest, EnlargedFrameMovesAndStretchesControlsAndRestoresThemExactly) {
    EXPECT_EQ(view->size(), view->sizeHint());
    // Shown in its frame, the form has its controls where the design puts them.
    const DialogUnits units(view->font());
    EXPECT_EQ(view->Control(IDC_APPLY)->geometry(), units.ToPixels(325, 193, 52, 14));
    EXPECT_EQ(view->Control(IDC_HIGH)->geometry(), units.ToPixels(158, 233, 40, 14));
    std::map<int, QRect> designed;
    std::map<QWidget*, QRect> every;
    for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        designed[child->objectName().toInt()] = child->geometry();
        every[child] = child->geometry();
    }
    const QSize design = frame->size();
    frame->resize(design + QSize(100, 50));
    EXPECT_EQ(view->size(), view->sizeHint() + QSize(100, 50));
    const struct {
        int id;
        QPoint moved;
        QSize grown;
    } cases[] = {
        {IDC_APPLY, {100, 50}, {0, 0}},      {IDC_BROWSE, {100, 50}, {0, 0}},
        {IDC_IMPORT, {100, 50}, {0, 0}},     {IDC_EXPORT, {100, 50}, {0, 0}},
        {IDC_DATA_LIST, {100, 0}, {0, 50}},  {IDC_GRAPH, {0, 0}, {100, 50}},
        {IDC_MODE_DIOPTERS, {0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        const QRect now = view->Control(c.id)->geometry();
        EXPECT_EQ(now.topLeft() - designed[c.id].topLeft(), c.moved) << c.id;
        EXPECT_EQ(now.size() - designed[c.id].size(), c.grown) << c.id;
    }
    // A scaled edit keeps its proportional place in the wider group box.
    const double scale = double(view->width()) / view->sizeHint().width();
    EXPECT_NEAR(view->Control(IDC_MAX_PHASE)->x(), designed[IDC_MAX_PHASE].x() * scale, 1.0);

    frame->resize(design);
    for (const auto& [control, rect] : every) {
        EXPECT_EQ(control->geometry(), rect) << control->objectName().toStdString();
    }
    frame->resize(design - QSize(50, 50)); // never smaller than the design
    EXPECT_EQ(frame->size(), design);
}

TEST_F(ProfileViewTest, TwoViewsShareTheNoteAndTheCreationModeWithoutOneEchoingTheOther) {
    auto* second = new CTessaronView(doc);
    second->OnInitialUpdate();
    auto* note = qobject_cast<QPlainTextEdit*>(view->Control(IDC_NOTE));
    QTest::keyClicks(note, "lens A");
    EXPECT_EQ(doc.m_strNote, "lens A");
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(second->Control(IDC_NOTE))->toPlainText(), "lens A");
    EXPECT_TRUE(doc.IsModified());

    // The mode replaces the page in both views and is no change of the profile.
    doc.SetModifiedFlag(false);
    QTest::mouseClick(view->Control(IDC_MODE_POLYNOMIAL), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(doc.m_nCreationMode, 1);
    for (CTessaronView* v : {view, second}) {
        EXPECT_NE(v->Page()->findChild<QLineEdit*>("a0"), nullptr);
        EXPECT_TRUE(qobject_cast<QRadioButton*>(v->Control(IDC_MODE_POLYNOMIAL))->isChecked());
    }
    EXPECT_FALSE(doc.IsModified());
    delete second;
}

// The whole program with the simulator inside.
class ProfileProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        TempDir::Write(m_dir.File("tessaron.ini"), "[Settings]\nCOM_Speed=9\nCOM RxTimeout=300\n");
        AppOptions options;
        options.settingsPath = m_dir.File("tessaron.ini");
        options.simulate = true;
        m_app = std::make_unique<CTessaronApp>(options, &m_prompter);
        ASSERT_TRUE(m_app->InitInstance());
        m_frame = m_app->MainFrame();
    }
    QAction* Command(int id) {
        m_frame->UpdateCommandStates();
        return m_frame->Action(id);
    }
    CTessaronDoc& NewProfile() {
        auto* doc = static_cast<CTessaronDoc*>(m_app->NewDocument(*m_app->Templates()[0]));
        m_view = qobject_cast<CTessaronView*>(m_frame->ActiveChildFrame()->widget());
        return *doc;
    }
    void SendAndWait() {
        Command(ID_CONTROLLER_SEND)->trigger();
        ASSERT_TRUE(WaitUntil([this] { return !m_frame->IsBusy(); }));
    }

    TempDir m_dir;
    FakePrompter m_prompter;
    std::unique_ptr<CTessaronApp> m_app;
    CMainFrame* m_frame = nullptr;
    CTessaronView* m_view = nullptr;
};

TEST_F(ProfileProgramTest, FileNewOffersBothTypesAndMakesAProfileForm) {
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
    Document* doc = m_app->OnFileNew();
    EXPECT_EQ(offered, QStringList({"Profile", "VoltPhase"}));
    ASSERT_NE(dynamic_cast<CTessaronDoc*>(doc), nullptr);
    EXPECT_EQ(doc->GetTitle(), "Profile1");
    EXPECT_EQ(m_frame->CurrentMenuId(), IDR_PROFILE_TYPE);
    EXPECT_NE(qobject_cast<CTessaronView*>(m_frame->ActiveChildFrame()->widget()), nullptr);
    EXPECT_EQ(doc->FileType().filter, "LC Profile files(*.lcp)|*.lcp||");
}

TEST_F(ProfileProgramTest, EditDataFollowsTheSelection) {
    NewProfile();
    EXPECT_EQ(Command(ID_EDIT_DATA)->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_FALSE(Command(ID_EDIT_DATA)->isEnabled());
    EXPECT_TRUE(Command(ID_EDIT_CLEAR_ALL)->isEnabled());
    m_view->DataList()->SelectElement(3);
    EXPECT_TRUE(m_frame->Action(ID_EDIT_DATA)->isEnabled()); // without a further refresh
    m_frame->Action(ID_EDIT_DATA)->trigger();
    EXPECT_TRUE(WaitUntil([this] { return m_view->DataList()->IsEditing(); }));
    m_view->DataList()->DeselectElement();
    EXPECT_FALSE(m_frame->Action(ID_EDIT_DATA)->isEnabled());
}

TEST_F(ProfileProgramTest, SendDeliversTheComputedCodesAndTheWindowStaysOpenMeanwhile) {
    CTessaronDoc& doc = NewProfile();
    Command(ID_CONTROLLER_CONNECT)->trigger();
    ASSERT_TRUE(WaitUntil([this] { return !m_frame->IsBusy(); }));
    doc.m_nElements = 3;
    doc.m_phase = {0.0, 4.0, 8.0};
    SendAndWait();
    // 16 digits: S + level above the middle, S - 1 - level below it.
    const std::vector<std::uint16_t> plain{32768, 49151, 65535, 32767, 16384, 0};
    EXPECT_EQ(doc.m_codes, plain);

    doc.m_nDacDigits = 10;
    TempDir::Write(m_dir.File("table.txt"), TableText());
    doc.m_strCorrectionPath = m_dir.File("table.txt");
    doc.m_bUseCorrection = 1; // the table is loaded by the send itself
    SendAndWait();
    // Levels 0, 255, 511 through the table: 100, 227, 355 around S = 512.
    const std::vector<std::uint16_t> corrected{612, 739, 867, 411, 284, 156};
    EXPECT_EQ(doc.m_codes, corrected);
    const auto commands = m_app->Simulator()->Commands();
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[2].codes, plain);
    EXPECT_EQ(commands[3].codes, corrected);
    EXPECT_EQ(commands[3].elements, 3);

    // A slow wire keeps the next send under way while the window is asked to close.
    m_app->Simulator()->SetPace(1200);
    m_prompter.ExpectMessages();
    doc.SetModifiedFlag(false);
    Command(ID_CONTROLLER_SEND)->trigger();
    ASSERT_TRUE(m_frame->IsSending());
    EXPECT_FALSE(m_frame->ActiveChildFrame()->close());
    ASSERT_EQ(m_prompter.shown.size(), 1u);
    EXPECT_EQ(m_prompter.shown[0].text, LoadString(IDS_BUSY_CLOSE_DOC));
    ASSERT_TRUE(WaitUntil([this] { return !m_frame->IsBusy(); }));
    EXPECT_TRUE(m_frame->ActiveChildFrame()->close());
}

} // namespace
