// The help viewer: the user guide in a window of its own, beside the program's windows.
//
// The guide is docs/user-guide.md with its pictures, compiled into the program's resources
// under ":/help/" so that the program needs no files beside it to show its help. The window
// shows the Markdown in a text browser: a link to a heading (#anchor) scrolls there, a link to
// a web address opens in the desktop's browser, Back, Forward and Home walk the places
// visited, and a find field (Ctrl+F) searches the text.
//
// Headings get the anchors Markdown viewers give them (HeadingAnchor), so the guide's table of
// contents works in the program and on a repository's web page alike.
#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QLineEdit;
class QTextBrowser;

// Shows the help window at the heading with the given anchor, or at the top of the guide when
// the anchor is empty. There is one help window: when it is open already it shows the place
// asked for and comes to the front. A new window belongs to `parent` (it closes with it).
void ShowHelp(QWidget* parent, const QString& anchor = {});

class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // The guide inside the program: qrc:/help/user-guide.md.
    static QUrl GuideUrl();
    // The window ShowHelp keeps, or nullptr while none is open.
    static HelpWindow* Instance();

    // The anchor of a heading with this text, made the way Markdown viewers make it: lower
    // case, every character but letters, digits, blanks, '-' and '_' left out, each blank a '-'.
    // ("Serial ports on Linux" gives "serial-ports-on-linux".)
    static QString HeadingAnchor(const QString& heading);

    // Scrolls the heading with this anchor to the top of the view; the top of the guide for
    // an empty anchor.
    void ShowAnchor(const QString& anchor);

    // Selects the next place (or, backward, the previous one) that holds the find field's
    // text, going round the end of the guide; false when the guide does not hold it. The field
    // turns red while its text is not found.
    bool FindNext(bool backward = false);

    QTextBrowser* Browser() const { return m_browser; }
    QLineEdit* FindField() const { return m_find; }

private:
    void OnFindEdited();

    QTextBrowser* m_browser = nullptr;
    QLineEdit* m_find = nullptr;
};
