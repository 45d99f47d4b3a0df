// The generation wizard's parameter pages: how they read and refuse fields, how a spin arrow
// steps a value and regenerates, the arrows' keys, and the window's shortcuts in a page.
#include "profile_ui/DlgP1.h"
#include "profile_ui/DlgP2.h"
#include "support/ProfileFixture.h"
#include "ui/DialogUnits.h"
#include "ui/SpinArrows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {

class WizardPagesTest : public ProfileFixture {
protected:
    // A page of `mode` in a window of its own, shown and active, with the view's regeneration:
    // the page read once more, then a generation that keeps the steps.
    WizardPage& MakePage(int mode) {
        CTessaronDoc& d = NewDoc();
        d.m_nCreationMode = mode;
        auto regenerate = [this] {
            ++regenerations;
            if (page->UpdateData(true)) {
                doc->GenerateData(false);
            }
        };
        if (mode == CTessaronDoc::MODE_DIOPTERS) {
            page = new CDlgP1(d, regenerate, &window);
        } else {
            page = new CDlgP2(d, regenerate, &window);
        }
        window.resize(200, 200);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        return *page;
    }
    QLineEdit* Field(const char* name) { return page->findChild<QLineEdit*>(name); }
    SpinArrows* Spin(const char* name) { return page->findChild<SpinArrows*>(name); }
    void Type(const char* name, const char* text) {
        Field(name)->setFocus();
        Field(name)->selectAll();
        QTest::keyClick(Field(name), Qt::Key_Delete);
        QTest::keyClicks(Field(name), QString::fromLatin1(text));
    }
    // "&Generate data" of the view: the page read, then a generation that computes the steps.
    void Generate() {
        ASSERT_TRUE(page->UpdateData(true));
        ASSERT_TRUE(doc->GenerateData(true));
    }

    QWidget window;
    WizardPage* page = nullptr;
    int regenerations = 0;
};

TEST_F(WizardPagesTest, RefusedFieldShowsItsMessageFocusesItAndTakesNothing) {
    struct Case {
        int mode;
        std::vector<std::pair<const char*, const char*>> typed;
        const char* focus;
        const char* message;
    } cases[] = {
        {1, {{"a0", "100"}}, "a0", "Please enter a number between -63 and 63."},
        {1, {{"a0", "1"}, {"a1", "-5.5"}}, "a1", "Please enter a number between -5 and 5."},
        {1, {{"a1", "2"}, {"a2", "0.11"}}, "a2", "Please enter a number between -0.1 and 0.1."},
        {1, {{"a0", "1"}, {"a3", "6e-5"}}, "a3", "Please enter a number between -5e-05 and 5e-05."},
        {1, {{"a2", "x"}}, "a2", "Please enter a number."},
        {0, {{"diopters", "2.5"}, {"wavelength", "1e-6m"}}, "wavelength", "Please enter a number."},
        {0, {{"diopters", ""}}, "diopters", "Please enter a number."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        delete page;
        MakePage(c.mode);
        prompter.ExpectMessages();
        for (const auto& [name, text] : c.typed) {
            Type(name, text);
        }
        window.setFocus(); // the focus elsewhere, so that the read must move it
        EXPECT_FALSE(page->UpdateData(true));
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(QApplication::focusWidget(), Field(c.focus));
        // Nothing of the page reached the document, not even the fields before the bad one.
        EXPECT_EQ(doc->m_dCoeff, (std::array<double, 4>{}));
        EXPECT_EQ(doc->m_dDiopters, 0.0);
        EXPECT_EQ(doc->m_dWaveLength, 7.8e-07);
    }
}

TEST_F(WizardPagesTest, SpinArrowStepsByTheDecimalStepAndRegenerates) {
    struct Case {
        const char* name;
        int mode;
        const char* field;
        const char* spin;
        const char* generatedWith; // nullptr: no "&Generate data" before the arrows
        const char* typedAfter;    // typed after generating, stepped with the old step
        std::vector<int> deltas;
        std::vector<const char*> shown; // the field after each step
        int regenerations;
    } cases[] = {
        {"diopters up", 0, "diopters", "spin", "2.5", nullptr, {+1}, {"2.6"}, 1},
        {"no step yet", 0, "diopters", "spin", nullptr, "2.5", {-1, +1}, {"2.5", "2.5"}, 0},
        {"a1 up twice", 1, "a1", "spinA1", "0.25", nullptr, {+1, +1}, {"0.26", "0.27"}, 2},
        {"typed later", 1, "a1", "spinA1", "0.25", "0.5", {-1}, {"0.49"}, 1},
        {"a3 down", 1, "a3", "spinA3", "2e-05", nullptr, {-1, -1}, {"1e-05", "0"}, 2},
        {"a0 stops at 63", 1, "a0", "spinA0", "62", nullptr, {+1, +1, -1}, {"63", "63", "62"}, 2},
        {"a2 stops at -0.1", 1, "a2", "spinA2", "-0.09", nullptr, {-1, -1}, {"-0.1", "-0.1"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        delete page;
        regenerations = 0;
        MakePage(c.mode);
        if (c.generatedWith != nullptr) {
            Type(c.field, c.generatedWith);
            Generate();
        }
        if (c.typedAfter != nullptr) {
            Type(c.field, c.typedAfter);
        }
        for (std::size_t i = 0; i < c.deltas.size(); ++i) {
            const std::vector<double> before = doc->m_phase;
            SpinArrows* spin = Spin(c.spin);
            QTest::mouseClick(c.deltas[i] > 0 ? spin->UpButton() : spin->DownButton(),
                              Qt::LeftButton);
            EXPECT_EQ(Field(c.field)->text(), c.shown[i]) << "step " << i;
        }
        EXPECT_EQ(regenerations, c.regenerations);
        EXPECT_TRUE(Messages().empty());
        if (c.regenerations > 0) {
            // The document holds the value shown, and the profile was made from it.
            const double shown = Field(c.field)->text().toDouble();
            EXPECT_EQ(c.mode == 0 ? doc->m_dDiopters : doc->m_dCoeff[c.field[1] - '0'], shown);
            EXPECT_TRUE(doc->IsModified());
        }
    }
}

TEST_F(WizardPagesTest, StepStopsAtAFieldThatDoesNotRead) {
    MakePage(CTessaronDoc::MODE_POLYNOMIAL);
    Type("a1", "0.25");
    Generate();
    Type("a0", "abc");
    prompter.ExpectMessages();
    QTest::mouseClick(Spin("spinA1")->UpButton(), Qt::LeftButton);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Please enter a number."});
    EXPECT_EQ(QApplication::focusWidget(), Field("a0"));
    EXPECT_EQ(Field("a1")->text(), "0.25");
    EXPECT_EQ(regenerations, 0);
}

TEST_F(WizardPagesTest, ArrowKeysInTheBuddyStepAndOtherKeysPassOn) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int delta; // 0: no step
    } cases[] = {
        {Qt::Key_Up, Qt::NoModifier, +1},       {Qt::Key_Down, Qt::NoModifier, -1},
        {Qt::Key_Up, Qt::KeypadModifier, +1},   {Qt::Key_Up, Qt::ShiftModifier, 0},
        {Qt::Key_Down, Qt::ControlModifier, 0}, {Qt::Key_Left, Qt::NoModifier, 0},
        {Qt::Key_PageUp, Qt::NoModifier, 0},    {Qt::Key_F9, Qt::NoModifier, 0},
    };
    QLineEdit buddy(&window);
    buddy.setText("1.5");
    SpinArrows arrows(&window);
    arrows.SetBuddy(&buddy);
    QSignalSpy spy(&arrows, &SpinArrows::deltaPos);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        spy.clear();
        QTest::keyClick(&buddy, c.key, c.modifiers);
        ASSERT_EQ(spy.count(), c.delta == 0 ? 0 : 1);
        if (c.delta != 0) {
            EXPECT_EQ(spy.at(0).at(0).toInt(), c.delta);
        }
    }
    spy.clear();
    QTest::mouseClick(arrows.UpButton(), Qt::LeftButton);
    QTest::mouseClick(arrows.DownButton(), Qt::LeftButton);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), +1);
    EXPECT_EQ(spy.at(1).at(0).toInt(), -1);
    EXPECT_EQ(buddy.text(), "1.5"); // the arrows never write into their buddy
    // Detached, the buddy's keys are its own again.
    arrows.SetBuddy(nullptr);
    spy.clear();
    QTest::keyClick(&buddy, Qt::Key_Up);
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(WizardPagesTest, WindowShortcutsWorkWhileAPageFieldHasTheFocus) {
    const QKeySequence keys[] = {QKeySequence(Qt::Key_F9), QKeySequence(Qt::Key_F10),
                                 QKeySequence(Qt::Key_F11), QKeySequence(Qt::CTRL | Qt::Key_N)};
    for (int mode : {0, 1}) {
        delete page;
        MakePage(mode);
        QLineEdit* field = Field(mode == 0 ? "diopters" : "a0");
        field->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), field);
        for (const QKeySequence& key : keys) {
            SCOPED_TRACE(key.toString().toStdString());
            QAction action(&window);
            action.setShortcut(key);
            window.addAction(&action);
            QSignalSpy triggered(&action, &QAction::triggered);
            QTest::keySequence(field, key);
            EXPECT_EQ(triggered.count(), 1);
            window.removeAction(&action);
        }
    }
}

TEST_F(WizardPagesTest, PagesHaveTheirDesignSizeAndArrowsShareTheirFieldsRectangle) {
    struct Case {
        int mode, width, height;
        const char *field, *arrows;
        QRect fieldUnits;
    } cases[] = {{0, 87, 74, "diopters", "spin", {11, 21, 65, 14}},
                 {1, 87, 78, "a3", "spinA3", {20, 51, 51, 14}}};
    for (const Case& c : cases) {
        delete page;
        MakePage(c.mode);
        const DialogUnits units(page->font());
        const QSize size = units.ToPixels(0, 0, c.width, c.height).size();
        EXPECT_EQ(page->sizeHint(), size);
        EXPECT_TRUE(page->size() == size && page->maximumSize() == size);
        const QRect& f = c.fieldUnits;
        EXPECT_EQ(Field(c.field)->geometry().united(Spin(c.arrows)->geometry()),
                  units.ToPixels(f.x(), f.y(), f.width(), f.height()));
        EXPECT_EQ(Spin(c.arrows)->x(), Field(c.field)->geometry().right() + 1);
    }
}

} // namespace
