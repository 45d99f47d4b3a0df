// The field exchange of forms: a bad field shows the model's message, takes the focus with
// its text selected, keeps the member as it was and stops the form.
#include "ui/FormExchange.h"

#include "support/FakePrompter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// A window with a line edit, an editable combo box and another field that has the focus.
struct Form {
    Form() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(other);
        layout->addWidget(edit);
        layout->addWidget(combo);
        combo->setEditable(true);
        combo->addItems({"12", "3.5"});
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        other->setFocus();
    }
    QWidget* Field(bool inCombo) { return inCombo ? static_cast<QWidget*>(combo) : edit; }

    QWidget window;
    QLineEdit* other = new QLineEdit;
    QLineEdit* edit = new QLineEdit;
    QComboBox* combo = new QComboBox;
};

TEST(FormExchange, ReadsFieldsOrFailsOnThem) {
    struct Case {
        const char* text;
        bool isInt, ranged; // ranges: integers 1 to 512, numbers 0 to 0.1
        double expected;    // the value read; unused when `error` is set
        std::string error;
    };
    const std::string intRange = "Please enter an integer between 1 and 512.";
    const Case cases[] = {
        {" -7 ", true, false, -7, ""},
        {"1.5", true, false, 0, "Please enter an integer."},
        {"512", true, true, 512, ""},
        {"513", true, true, 0, intRange},
        {"0", true, true, 0, intRange},
        {"", true, true, 0, "Please enter an integer."},
        {"2.5e3", false, false, 2500, ""},
        {"1,5", false, false, 0, "Please enter a number."},
        {"0.1", false, true, 0.1, ""},
        {"0.10001", false, true, 0, "Please enter a number between 0 and 0.1."},
        {"nan", false, true, 0, "Please enter a number."},
    };
    for (const bool inCombo : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.text) + (inCombo ? " in a combo box" : " in a line edit"));
            Form form;
            FakePrompter prompter;
            prompter.ExpectMessages();
            FormExchange dx(prompter);
            QWidget* field = form.Field(inCombo);
            FormExchange::SetText(field, QString::fromLatin1(c.text));

            int integer = -99;
            double number = -99;
            const bool ok = c.isInt ? (c.ranged ? dx.ReadInt(field, integer, 1, 512)
                                                : dx.ReadInt(field, integer))
                                    : (c.ranged ? dx.ReadDouble(field, number, 0.0, 0.1)
                                                : dx.ReadDouble(field, number));
            EXPECT_EQ(ok, c.error.empty());
            EXPECT_EQ(c.isInt ? integer : number, ok ? c.expected : -99);
            if (ok) {
                EXPECT_TRUE(prompter.shown.empty());
                EXPECT_TRUE(form.other->hasFocus());
            } else {
                ASSERT_EQ(prompter.shown.size(), 1u);
                EXPECT_EQ(prompter.shown[0].text, c.error);
                EXPECT_TRUE(field->hasFocus());
                QLineEdit* edit = inCombo ? form.combo->lineEdit() : form.edit;
                EXPECT_EQ(edit->selectedText(), QString::fromLatin1(c.text));
            }
        }
    }
}

TEST(FormExchange, FailingFieldOnAHiddenTabIsBroughtToTheFront) {
    QTabWidget tabs;
    auto* first = new QLineEdit;
    auto* page = new QWidget;
    auto* field = new QLineEdit(page);
    tabs.addTab(first, "One");
    tabs.addTab(page, "Two");
    tabs.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tabs));
    first->setFocus();
    field->setText("abc");

    FakePrompter prompter;
    prompter.ExpectMessages();
    int value = 0;
    EXPECT_FALSE(FormExchange(prompter).ReadInt(field, value));
    EXPECT_EQ(tabs.currentIndex(), 1);
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->selectedText(), "abc");
}

TEST(FormExchange, WritesIntegersAndNumbersInTheFrameworkFormat) {
    const std::pair<double, QString> numbers[] = {
        {0.01, "0.01"}, {8.0, "8"}, {1.0 / 3, "0.333333333333333"}, {5e-05, "5e-05"}};
    Form form;
    for (const bool inCombo : {false, true}) {
        QWidget* field = form.Field(inCombo);
        for (const auto& [value, text] : numbers) {
            FormExchange::WriteDouble(field, value);
            EXPECT_EQ(FormExchange::Text(field), text) << value;
        }
        FormExchange::WriteInt(field, -2147483647 - 1);
        EXPECT_EQ(FormExchange::Text(field), "-2147483648");
    }

    // Writing the text a field already shows is no change of it.
    QSignalSpy changes(form.edit, &QLineEdit::textChanged);
    FormExchange::WriteInt(form.edit, -2147483647 - 1);
    EXPECT_EQ(changes.count(), 0);
    FormExchange::WriteInt(form.edit, 255);
    EXPECT_EQ(changes.count(), 1);
}

} // namespace
