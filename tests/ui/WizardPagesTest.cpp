// The generation wizard's parameter pages: how they read and refuse fields, how a spin arrow
// steps a value and regenerates, the arrows' keys, and the window's shortcuts in a page.
#include "profile_ui/DlgP1.h"
#include "profile_ui/DlgP2.h"
#include "support/ProfileFixture.h"
#include "ui/DialogUnits.h"
#include "ui/SpinArrows.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

using Typed = std::vector<std::pair<const char*, const char*>>; // field, text

class WizardPagesTest : public ProfileFixture {
protected:
    // A fresh page of `mode` in a window of its own, shown and active, with the view's
    // regeneration: the page read once more, then a generation that keeps the steps.
    void MakePage(int mode, const Typed& typed = {}) {
        delete page;
        CTessaronDoc& d = NewDoc();
        DocFields(d).m_nCreationMode = mode;
        auto regenerate = [this] {
            if (++regenerations > 0 && page->UpdateData(true)) {
                doc->GenerateData(false);
            }
        };
        page = mode == CTessaronDoc::MODE_DIOPTERS
                   ? static_cast<WizardPage*>(new CDlgP1(d, regenerate, &window))
                   : new CDlgP2(d, regenerate, &window);
        window.resize(200, 200);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        Type(typed);
        prompter.ExpectMessages(); // checked with Messages()
    }
    QLineEdit* Field(const char* name) { return page->findChild<QLineEdit*>(name); }
    SpinArrows* Spin(const char* name) { return page->findChild<SpinArrows*>(name); }
    void Type(const Typed& typed) {
        for (const auto& [name, text] : typed) {
            Field(name)->setFocus();
            Field(name)->clear();
            QTest::keyClicks(Field(name), QString::fromLatin1(text));
        }
    }

    QWidget window;
    WizardPage* page = nullptr;
    int regenerations = 0;
};

TEST_F(WizardPagesTest, RefusedFieldShowsItsMessageFocusesItAndTakesNothing) {
    const std::tuple<int, Typed, const char*, const char*> cases[] = {
        {1, {{"a0", "100"}}, "a0", "Please enter a number between -63 and 63."},
        {1, {{"a0", "1"}, {"a1", "-5.5"}}, "a1", "Please enter a number between -5 and 5."},
        {1, {{"a1", "2"}, {"a2", "0.11"}}, "a2", "Please enter a number between -0.1 and 0.1."},
        {1, {{"a0", "1"}, {"a3", "6e-5"}}, "a3", "Please enter a number between -5e-05 and 5e-05."},
        {1, {{"a2", "x"}}, "a2", "Please enter a number."},
        {0, {{"diopters", "2.5"}, {"wavelength", "1e-6m"}}, "wavelength", "Please enter a number."},
        {0, {{"diopters", ""}}, "diopters", "Please enter a number."}};
    for (const auto& [mode, typed, focus, message] : cases) {
        SCOPED_TRACE(message);
        MakePage(mode, typed);
        window.setFocus(); // the focus elsewhere, so that the read must move it
        EXPECT_FALSE(page->UpdateData(true));
        EXPECT_EQ(Messages(), std::vector<std::string>{message});
        EXPECT_EQ(QApplication::focusWidget(), Field(focus));
        // Nothing of the page reached the document, not even the fields before the bad one.
        EXPECT_TRUE(doc->Coeff() == (std::array<double, 4>{}) && doc->Diopters() == 0.0 &&
                    doc->WaveLength() == 7.8e-07);
    }
}

TEST_F(WizardPagesTest, SpinArrowStepsByTheDecimalStepAndRegenerates) {
    struct Case {
        const char *field, *generatedWith; // nullptr: no "&Generate data" before the arrows
        Typed typedAfter;                  // a step goes by the step of the generation
        std::vector<std::pair<int, const char*>> steps; // delta, the field after it
        int regenerations;
        std::vector<std::string> messages = {}; // for a refused field, which gets the focus
    } cases[] = {{"diopters", "2.5", {}, {{+1, "2.6"}}, 1},
                 {"diopters", nullptr, {{"diopters", "2.5"}}, {{-1, "2.5"}, {+1, "2.5"}}, 0},
                 {"a1", "0.25", {}, {{+1, "0.26"}, {+1, "0.27"}}, 2},
                 {"a1", "0.25", {{"a1", "0.5"}}, {{-1, "0.49"}}, 1},
                 {"a3", "2e-05", {}, {{-1, "1e-05"}, {-1, "0"}}, 2},
                 {"a0", "62", {}, {{+1, "63"}, {+1, "63"}, {-1, "62"}}, 2},
                 {"a2", "-0.09", {}, {{-1, "-0.1"}, {-1, "-0.1"}}, 1},
                 {"a1", "0.25", {{"a0", "abc"}}, {{+1, "0.25"}}, 0, {"Please enter a number."}}};
    for (const Case& c : cases) {
        const bool diopters = c.field[0] == 'd';
        SCOPED_TRACE(testing::Message() << c.field << " " << c.steps.size() << " steps");
        regenerations = 0;
        MakePage(diopters ? 0 : 1);
        if (c.generatedWith != nullptr) {
            Type({{c.field, c.generatedWith}});
            ASSERT_TRUE(page->UpdateData(true)); // "&Generate data": computes the steps
            ASSERT_TRUE(doc->GenerateData(true));
        }
        Type(c.typedAfter);
        SpinArrows* spin = Spin(diopters ? "spin" : (std::string("spinA") + c.field[1]).c_str());
        for (const auto& [delta, shown] : c.steps) {
            QTest::mouseClick(delta > 0 ? spin->UpButton() : spin->DownButton(), Qt::LeftButton);
            EXPECT_EQ(Field(c.field)->text(), shown);
        }
        EXPECT_EQ(regenerations, c.regenerations);
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_TRUE(c.messages.empty() ||
                    QApplication::focusWidget() == Field(c.typedAfter[0].first));
        // The document holds the value shown, and the profile was made from it.
        const double value = diopters ? doc->Diopters() : doc->Coeff()[c.field[1] - '0'];
        EXPECT_TRUE(c.regenerations == 0 ||
                    (value == Field(c.field)->text().toDouble() && doc->IsModified()));
    }
}

TEST_F(WizardPagesTest, PagesHaveTheirDesignSizeAndRouteKeys) {
    // Mode, page size, field and arrows, and their rectangle in dialog units.
    const std::tuple<int, QSize, const char*, const char*, QRect> cases[] = {
        {0, {87, 74}, "diopters", "spin", {11, 21, 65, 14}},
        {1, {87, 78}, "a3", "spinA3", {20, 51, 51, 14}}};
    // Keys pressed in the field, and the step each must make (0: none, the key passes on).
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, int> keys[] = {
        {Qt::Key_Up, Qt::NoModifier, +1},       {Qt::Key_Down, Qt::NoModifier, -1},
        {Qt::Key_Up, Qt::KeypadModifier, +1},   {Qt::Key_Up, Qt::ShiftModifier, 0},
        {Qt::Key_Down, Qt::ControlModifier, 0}, {Qt::Key_Left, Qt::NoModifier, 0},
        {Qt::Key_PageUp, Qt::NoModifier, 0},    {Qt::Key_F9, Qt::NoModifier, 0}};
    QAction action(&window);
    action.setShortcuts({Qt::Key_F9, Qt::Key_F10, Qt::Key_F11, Qt::CTRL | Qt::Key_N});
    window.addAction(&action);
    QSignalSpy triggered(&action, &QAction::triggered);
    for (const auto& [mode, design, field, arrows, f] : cases) {
        MakePage(mode);
        const DialogUnits units(page->font());
        const QSize size = units.ToPixels(0, 0, design.width(), design.height()).size();
        EXPECT_TRUE(page->sizeHint() == size && page->size() == size &&
                    page->maximumSize() == size);
        EXPECT_EQ(Field(field)->geometry().united(Spin(arrows)->geometry()),
                  units.ToPixels(f.x(), f.y(), f.width(), f.height()));
        EXPECT_EQ(Spin(arrows)->x(), Field(field)->geometry().right() + 1);
        // With no generation yet a step changes nothing, so the field keeps its text unless the
        // arrows wrote into it.
        const QString text = Field(field)->text();
        QSignalSpy spy(Spin(arrows), &SpinArrows::deltaPos);
        for (const auto& [key, modifiers, delta] : keys) {
            spy.clear();
            QTest::keyClick(Field(field), key, modifiers);
            ASSERT_EQ(spy.count(), delta == 0 ? 0 : 1) << key;
            EXPECT_TRUE(delta == 0 || spy.at(0).at(0).toInt() == delta) << key;
        }
        EXPECT_EQ(Field(field)->text(), text);
        // The window's shortcuts work while a field of the page has the focus.
        Field(field)->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), Field(field));
        for (const QKeySequence& key : action.shortcuts()) {
            triggered.clear();
            QTest::keySequence(Field(field), key);
            EXPECT_EQ(triggered.count(), 1) << key.toString().toStdString();
        }
        Spin(arrows)->SetBuddy(nullptr); // detached, the field's keys are its own again
        spy.clear();
        QTest::keyClick(Field(field), Qt::Key_Up);
        EXPECT_EQ(spy.count(), 0);
    }
}

} // namespace
