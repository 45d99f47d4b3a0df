// Reading form fields: a bad field shows the model's message, takes the focus with its text
// selected and keeps the member as it was.
#include "ui/FormExchange.h"

#include "support/FakePrompter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(FormExchange, ReadsAndWritesLineEditsAndComboBoxesOrFailsOnThem) {
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* edit = new QLineEdit(&window);
    auto* combo = new QComboBox(&window);
    combo->setEditable(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    enum Read { Int, IntIn1To512, Number, NumberIn0To01 };
    // In a combo box or a line edit, the text, how it is read, the value or the error.
    const std::tuple<bool, const char*, Read, double, std::string> cases[] = {
        {false, " -7 ", Int, -7, ""},
        {true, "1.5", Int, 0, "Please enter an integer."},
        {true, "512", IntIn1To512, 512, ""},
        {false, "0", IntIn1To512, 0, "Please enter an integer between 1 and 512."},
        {true, "2.5e3", Number, 2500, ""},
        {false, "1,5", Number, 0, "Please enter a number."},
        {false, "0.1", NumberIn0To01, 0.1, ""},
        {true, "0.10001", NumberIn0To01, 0, "Please enter a number between 0 and 0.1."},
    };
    for (const auto& [inCombo, text, read, value, error] : cases) {
        SCOPED_TRACE(text);
        QWidget* field = inCombo ? static_cast<QWidget*>(combo) : edit;
        FormExchange::SetText(field, text);
        other->setFocus();
        FakePrompter prompter;
        prompter.ExpectMessages();
        FormExchange dx(prompter);
        int integer = -99;
        double number = -99;
        const bool ok = read == Int           ? dx.ReadInt(field, integer)
                        : read == IntIn1To512 ? dx.ReadInt(field, integer, 1, 512)
                        : read == Number      ? dx.ReadDouble(field, number)
                                              : dx.ReadDouble(field, number, 0.0, 0.1);
        EXPECT_EQ(read <= IntIn1To512 ? integer : number, error.empty() ? value : -99);
        EXPECT_EQ(prompter.shown.size() == 1 ? prompter.shown[0].text : "", error);
        EXPECT_EQ(field->hasFocus(), !ok);
        EXPECT_EQ((inCombo ? combo->lineEdit() : edit)->selectedText(), ok ? "" : text);
    }
    // Writing the text a field already shows is no change of it; numbers keep 15 digits.
    QSignalSpy changes(edit, &QLineEdit::textChanged);
    FormExchange::WriteDouble(edit, 1.0 / 3);
    FormExchange::WriteDouble(edit, 1.0 / 3);
    EXPECT_EQ(edit->text(), "0.333333333333333");
    EXPECT_EQ(changes.count(), 1);
}
