// The free text of a document in its form (the profile's note, the volt-phase table's
// comment): a multi-line field that keeps the document's style of line breaks and can insert
// the path of a file ("Insert &Path", a button of the form).
//
// The field breaks lines with "\n" alone. A text with "\r\n" breaks (from a file written
// elsewhere) gets them back in Text(), so an edit keeps the file's style. Tab leaves the field
// for the next control; Enter starts a new line.
#pragma once

#include <QPlainTextEdit>
#include <string>

class Prompter;

class NoteEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    // `prompter` asks for the file of "Insert &Path".
    explicit NoteEdit(Prompter& prompter, QWidget* parent = nullptr);

    // Shows the document's text; this is no edit of the user's. Only a different text is set,
    // so the caret and selection of an unchanged text stay.
    void SetText(const std::string& text);
    // The text as the document stores it.
    std::string Text() const;

    // "Insert &Path": asks for any file and puts its path in place of the selection (or at the
    // caret); the change is an edit like typing.
    void InsertPath();

signals:
    // The user changed the text: typing, pasting or inserting a path.
    void edited();

private:
    Prompter& m_prompter;
    // Set while SetText fills the field.
    bool m_filling = false;
    // The document's text breaks its lines with "\r\n".
    bool m_crlf = false;
};
