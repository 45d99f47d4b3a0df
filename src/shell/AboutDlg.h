// The about box: the program's name and version, and two links, one to the web site and one
// that starts a mail to the support address.
#pragma once

#include "ui/HyperlinkLabel.h"

#include <QDialog>
#include <QString>

class QPushButton;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // `opener` opens the links; by default the desktop's browser and mail program.
    explicit CAboutDlg(QWidget* parent = nullptr, HyperlinkLabel::Opener opener = {});

    // "Tessaron Version " and the version the program was built as.
    static QString VersionText();
    static QString WebAddress();
    static QString MailAddress();
    // The mail link's target: the mail address with a preset subject and high priority.
    static QString MailTarget();

    HyperlinkLabel* WebLink() const { return m_webLink; }
    HyperlinkLabel* MailLink() const { return m_mailLink; }
    QPushButton* OkButton() const { return m_ok; }

private:
    HyperlinkLabel* m_webLink;
    HyperlinkLabel* m_mailLink;
    QPushButton* m_ok;
};
