#include "ui/FormExchange.h"

#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "framework/Prompter.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>

namespace {

// The field's own text entry: the line edit itself, or that of an editable combo box.
QLineEdit* EditOf(QWidget* field) {
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        return edit;
    }
    if (auto* combo = qobject_cast<QComboBox*>(field)) {
        return combo->lineEdit();
    }
    return nullptr;
}

std::string FieldText(const QWidget* field) {
    return FormExchange::Text(field).toStdString();
}

// Makes every stacked page (and tab) between the field and its window the current one, so
// that a field on a page that is not showing can take the focus.
void BringIntoView(QWidget* field) {
    QWidget* child = field;
    while (!child->isWindow() && child->parentWidget() != nullptr) {
        QWidget* parent = child->parentWidget();
        if (auto* stack = qobject_cast<QStackedWidget*>(parent)) {
            // A tab widget's pages sit in a stack of its own; switching through the tab
            // widget keeps its tab bar in step.
            if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget())) {
                tabs->setCurrentWidget(child);
            } else {
                stack->setCurrentWidget(child);
            }
        }
        child = parent;
    }
}

} // namespace

template <typename T> bool FormExchange::Take(QWidget* field, const ddx::Field<T>& read, T& value) {
    if (!read) {
        return Fail(field, read.error);
    }
    value = *read.value;
    return true;
}

bool FormExchange::ReadInt(QWidget* field, int& value) {
    return Take(field, ddx::ReadInt(FieldText(field)), value);
}

bool FormExchange::ReadInt(QWidget* field, int& value, int minValue, int maxValue) {
    return Take(field, ddx::ReadInt(FieldText(field), minValue, maxValue), value);
}

bool FormExchange::ReadDouble(QWidget* field, double& value) {
    return Take(field, ddx::ReadDouble(FieldText(field)), value);
}

bool FormExchange::ReadDouble(QWidget* field, double& value, double minValue, double maxValue) {
    return Take(field, ddx::ReadDouble(FieldText(field), minValue, maxValue), value);
}

void FormExchange::WriteInt(QWidget* field, int value) {
    SetText(field, QString::number(value));
}

void FormExchange::WriteDouble(QWidget* field, double value) {
    SetText(field, QString::fromStdString(numtext::FormatGeneral(value, 15)));
}

QString FormExchange::Text(const QWidget* field) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(field)) {
        return edit->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(field)) {
        return combo->currentText();
    }
    return {};
}

void FormExchange::SetText(QWidget* field, const QString& text) {
    if (Text(field) == text) {
        return;
    }
    if (auto* edit = EditOf(field)) {
        edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(field)) {
        combo->setCurrentIndex(combo->findText(text));
    }
}

void FormExchange::FocusField(QWidget* field) {
    BringIntoView(field);
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = EditOf(field)) {
        edit->selectAll();
    }
}

bool FormExchange::Fail(QWidget* field, const std::string& message) {
    // The page comes to the front before the message, so the user sees which field it is
    // about; the focus is set afterwards, because a message box takes it while it is open.
    BringIntoView(field);
    m_prompter.MessageBox(message, MB_OK | MB_ICONEXCLAMATION);
    FocusField(field);
    return false;
}
