#include "ui/NoteEdit.h"

#include "framework/Prompter.h"

#include <QFile>
#include <QTextCursor>

NoteEdit::NoteEdit(Prompter& prompter, QWidget* parent)
    : QPlainTextEdit(parent), m_prompter(prompter) {
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling) {
            emit edited();
        }
    });
}

void NoteEdit::SetText(const std::string& text) {
    m_crlf = text.find("\r\n") != std::string::npos;
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (toPlainText() == shown) {
        return;
    }
    m_filling = true;
    setPlainText(shown);
    m_filling = false;
}

std::string NoteEdit::Text() const {
    QString text = toPlainText();
    if (m_crlf) {
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    }
    return text.toStdString();
}

void NoteEdit::InsertPath() {
    FileDialogRequest request;
    request.defaultExtension = std::nullopt;
    const auto choice = m_prompter.AskOpenFile(request);
    if (!choice) {
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.insertText(QFile::decodeName(QByteArray::fromStdString(choice->path)));
    setTextCursor(cursor);
}
