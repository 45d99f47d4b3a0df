// The volt-phase form and its frame: what Apply checks and builds, the voltages, when Apply is
// available, the shared comment, Insert Path and the fixed frame.
#include "volt_ui/TessaronVoltView.h"

#include "framework/SettingsStore.h"
#include "support/DocAccess.h"
#include "support/FakePrompter.h"
#include "support/TempDir.h"
#include "volt_ui/VoltChildFrame.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using View = CTessaronVoltView;
constexpr int kSection = View::IDC_SECTION, kElements = View::IDC_ELEMENTS,
              kLevel1 = View::IDC_LEVEL1, kLevel0 = View::IDC_LEVEL0, kRef = View::IDC_REF_VOLTAGE,
              kDigits = View::IDC_DAC_DIGITS, kComment = View::IDC_COMMENT;
using Fields = std::vector<std::pair<int, const char*>>;

class VoltViewTest : public ::testing::Test {
protected:
    VoltViewTest() : settings(dir.File("t.ini")), context{settings, prompter}, doc(context) {
        doc.OnNewDocument();
        frame = new CVoltChildFrame(doc);
        area.addSubWindow(frame);
        view = new View(doc, frame);
        frame->setWidget(view);
        view->OnInitialUpdate();
        frame->ActivateFrame();
        area.resize(1000, 800);
        area.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&area));
    }
    template <typename T = QLineEdit> T* Get(int id, View* in = nullptr) {
        return qobject_cast<T*>((in ? in : view)->Control(id));
    }
    QPushButton* Apply(View* in = nullptr) { return Get<QPushButton>(View::IDC_APPLY, in); }
    QPlainTextEdit* Comment(View* in = nullptr) { return Get<QPlainTextEdit>(kComment, in); }
    // Types into fields as the user does: the old text is selected and replaced.
    void Fill(const Fields& fields) {
        for (const auto& [id, text] : fields) {
            Get(id)->selectAll();
            QTest::keyClick(Get(id), Qt::Key_Delete);
            QTest::keyClicks(Get(id), QString::fromLatin1(text));
        }
    }

    TempDir dir;
    FakePrompter prompter;
    SettingsStore settings;
    AppContext context;
    CLC_VoltDoc doc;
    QMdiArea area;
    CVoltChildFrame* frame = nullptr;
    View* view = nullptr;
};

TEST_F(VoltViewTest, ApplyRefusesAFieldWithItsMessageAndFocusesIt) {
    const char *const k0To511 = "Please enter an integer between 0 and 511.",
                      *const k1To512 = "Please enter an integer between 1 and 512.";
    // The field focused, the DAC digits the document holds afterwards, what is typed, the message.
    const std::tuple<int, int, Fields, const char*> cases[] = {
        {kLevel1, 10, {{kDigits, "10"}, {kLevel1, "512"}}, k0To511},
        {kLevel1, 10, {{kDigits, "10"}, {kLevel0, "511"}, {kLevel1, "1000"}}, k0To511},
        {kElements, 16, {{kElements, "0"}, {kDigits, "12"}}, k1To512},
        {kSection, 16, {{kSection, ""}}, "Please enter an integer."},
        {kRef, 16, {{kRef, "5 V"}}, "Please enter a number."},
    };
    prompter.ExpectMessages();
    for (const auto& [focus, digitsAfter, fields, message] : cases) {
        SCOPED_TRACE(message);
        doc.OnNewDocument();
        view->OnUpdate(nullptr, HINT_FULL);
        prompter.shown.clear();
        Fill(fields);
        QTest::mouseClick(Apply(), Qt::LeftButton);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].text, message);
        EXPECT_EQ(QApplication::focusWidget(), Get(focus));
        EXPECT_EQ(Get(focus)->selectedText(), Get(focus)->text());
        EXPECT_TRUE(Apply()->isEnabled());
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.DacDigits(), digitsAfter);
    }
}

TEST_F(VoltViewTest, VoltagesOfTheLevelCodes) {
    // DAC digits, reference voltage, level codes 1 and 0, their voltages.
    const std::tuple<int, double, int, int, const char*, const char*> cases[] = {
        {16, 5.0, 100, 32767, "0.007630", "2.500000"},
        {10, 1.0, 0, 511, "0.000000", "0.500000"},
        {16, -5.0, 65534, 1, "-5.000000", "-0.000076"},
        {1, 5.0, 1, 0, "nan", "nan"}, // digits from a damaged file leave no voltage step
    };
    for (const auto& [digits, ref, level1, level0, voltage1, voltage0] : cases) {
        std::tie(DocFields(doc).m_nDacDigits, DocFields(doc).m_dRefVoltage,
                 DocFields(doc).m_nLevel1, DocFields(doc).m_nLevel0) =
            std::tie(digits, ref, level1, level0);
        view->OnUpdate(nullptr, HINT_FULL);
        EXPECT_EQ(Get<QLabel>(View::IDC_VOLTAGE1)->text().toStdString(), voltage1);
        EXPECT_EQ(Get<QLabel>(View::IDC_VOLTAGE0)->text().toStdString(), voltage0);
    }
}

TEST_F(VoltViewTest, ParameterEditsEnableApplyTheCommentDoesNot) {
    for (int id : {kSection, kElements, kLevel1, kLevel0, kRef, kDigits}) {
        view->OnUpdate(nullptr, HINT_FULL);
        ASSERT_FALSE(Apply()->isEnabled());
        QTest::keyClicks(Get(id), "1");
        EXPECT_TRUE(Apply()->isEnabled()) << id;
    }
    view->OnUpdate(nullptr, HINT_FULL);
    QTest::keyClicks(Comment(), "note");
    EXPECT_FALSE(Apply()->isEnabled());
    // Numbers-only fields take digits only.
    Fill({{kElements, "1-2.a3"}});
    EXPECT_EQ(Get(kElements)->text(), "123");
}

TEST_F(VoltViewTest, InsertPathReplacesTheSelection) {
    QTest::keyClicks(Comment(), "see old.vf now");
    QTextCursor cursor = Comment()->textCursor();
    cursor.setPosition(4);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    Comment()->setTextCursor(cursor);
    prompter.QueueFile(FileChoice{"/data/run 2/new.vf", 1});
    prompter.QueueFile(std::nullopt);
    QTest::mouseClick(view->Control(View::IDC_INSERT_PATH), Qt::LeftButton);
    EXPECT_EQ(doc.Comment(), "see /data/run 2/new.vf now");
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_EQ(prompter.fileRequests[0].filter, "");
    EXPECT_FALSE(prompter.fileRequests[0].defaultExtension.has_value());
    // Cancel leaves the comment as it is.
    view->OnInsertPath();
    EXPECT_EQ(Comment()->toPlainText(), "see /data/run 2/new.vf now");
}

TEST_F(VoltViewTest, CommentAndApplyReachTheDocumentAndEveryViewAtOnce) {
    View second(doc, nullptr);
    second.OnInitialUpdate();
    QTest::keyClicks(Comment(), "lens A");
    EXPECT_EQ(doc.Comment(), "lens A");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Comment(&second)->toPlainText(), "lens A");
    // A comment shown by a view is no edit, and an edit keeps the comment's line breaks.
    doc.SetModifiedFlag(false);
    DocFields(doc).m_strComment = "from\r\nfile";
    second.OnUpdate(nullptr, HINT_FULL);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(Apply(&second)->isEnabled());
    Comment(&second)->moveCursor(QTextCursor::End);
    QTest::keyClicks(Comment(&second), "s");
    EXPECT_EQ(doc.Comment(), "from\r\nfiles");
    EXPECT_EQ(Comment()->toPlainText(), "from\nfiles");
    // Apply (Enter, too) builds the pattern and shows it in every view.
    doc.SetModifiedFlag(false);
    Fill({{kElements, "5"}, {kSection, "2"}, {kLevel1, "7"}, {kLevel0, "3"}, {kRef, "2.5"}});
    QTest::keyClick(Get(kRef), Qt::Key_Return);
    EXPECT_EQ(doc.ElementCodes(), (std::vector<std::uint16_t>{7, 7, 3, 3, 7}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(Apply()->isEnabled());
    EXPECT_EQ(Get(kSection, &second)->text(), "2");
    EXPECT_EQ(Get(kRef, &second)->text(), "2.5");
}

TEST_F(VoltViewTest, FrameKeepsTheFormsSizeAndIsNeverMaximised) {
    EXPECT_FALSE(frame->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(view->size(), view->sizeHint());
    const QSize size = frame->size();
    EXPECT_EQ(std::pair(frame->SizeMin(), frame->SizeMax()), std::pair(size, size));
    frame->resize(size + QSize(50, 50));
    frame->showMaximized();
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->size(), size);
    frame->showMinimized();
    frame->ActivateFrame();
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_EQ(frame->size(), size);
}

} // namespace
