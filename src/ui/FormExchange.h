// Field exchange of the program's forms: moving numbers between members and text fields.
//
// Reading checks a field as the model does (framework/FieldExchange.h), with the same
// messages. A field that fails is handled the same way on every form: the message is shown,
// the field gets the keyboard focus with its whole text selected (on a tab page that is not
// showing, the page is brought to the front first), and the read reports failure so that the
// form stops there and takes nothing over. Reads chain naturally:
//
//     FormExchange dx(prompter);
//     if (!dx.ReadInt(m_editCount, count, 1, 512) || !dx.ReadDouble(m_editGain, gain))
//         return false;
//
// A field is a QLineEdit or a QComboBox; a combo box is read and written through its text,
// which is the edit text of an editable one.
#pragma once

#include <QString>
#include <initializer_list>
#include <string>
#include <utility>

class Prompter;
class QWidget;
namespace ddx {
template <typename T> struct Field;
}

class FormExchange {
public:
    explicit FormExchange(Prompter& prompter) : m_prompter(prompter) {}

    // Each read sets `value` and returns true when the field holds an acceptable number;
    // otherwise it leaves `value` alone, does what is described above and returns false.
    bool ReadInt(QWidget* field, int& value);
    bool ReadInt(QWidget* field, int& value, int minValue, int maxValue);
    bool ReadDouble(QWidget* field, double& value);
    bool ReadDouble(QWidget* field, double& value, double minValue, double maxValue);

    // Integers are written as with "%d", numbers with 15 significant digits as with "%.15g"
    // (0.01 shows as "0.01", 8.0 as "8").
    static void WriteInt(QWidget* field, int value);
    static void WriteDouble(QWidget* field, double value);

    static QString Text(const QWidget* field);
    // Sets the text only when it differs, so an unchanged field keeps its cursor and
    // selection and reports no change.
    static void SetText(QWidget* field, const QString& text);

    // Brings the field into view, gives it the keyboard focus and selects its text.
    static void FocusField(QWidget* field);
    // After a model refused a form's values with `result` (and said why): focuses the field
    // that `fields` names for that result, if any.
    template <typename Result>
    static void FocusFieldOf(Result result,
                             std::initializer_list<std::pair<Result, QWidget*>> fields) {
        for (const auto& [refusal, field] : fields) {
            if (refusal == result) {
                FocusField(field);
                return;
            }
        }
    }

private:
    // Takes a field's reading: its value, or its message with the steps above.
    template <typename T> bool Take(QWidget* field, const ddx::Field<T>& read, T& value);
    bool Fail(QWidget* field, const std::string& message);

    Prompter& m_prompter;
};
