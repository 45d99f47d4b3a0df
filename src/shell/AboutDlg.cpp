#include "shell/AboutDlg.h"

#include "ui/DialogUnits.h"
#include "ui/Icons.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace {

// The form measures 202 x 63 dialog units.
constexpr int kFormWidth = 202;
constexpr int kFormHeight = 63;
// The height of one line of text.
constexpr int kLineHeight = 8;

QLabel* AddText(QWidget* form, const DialogUnits& units, const QString& text, int x, int y,
                int width) {
    auto* label = new QLabel(text, form);
    label->setTextFormat(Qt::PlainText);
    units.Place(label, x, y, width, kLineHeight);
    // A font wider than the one the form was drawn for must not clip the text.
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    return label;
}

// Where the text of `label` ends, in pixels of the form.
int TextEnd(const QLabel* label) {
    return label->x() + label->fontMetrics().horizontalAdvance(label->text());
}

HyperlinkLabel* AddLink(QWidget* form, const DialogUnits& units, const QString& text,
                        const QString& target, int xPixels, int y) {
    auto* link = new HyperlinkLabel(text, target, form);
    const int right = units.ToPixelsX(kFormWidth - 4);
    // The link reacts only over its text, not over the empty rest of its line.
    link->setGeometry(xPixels, units.ToPixelsY(y),
                      std::min(right - xPixels, link->sizeHint().width()),
                      units.ToPixelsY(kLineHeight));
    return link;
}

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent, HyperlinkLabel::Opener opener) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Tessaron"));
    // The font first: the controls inherit it and the dialog units derive from it.
    setFont(DialogUnits::FormFont());
    const DialogUnits units(font());

    // The program's icon, as large as its place allows.
    auto* icon = new QLabel(this);
    units.Place(icon, 12, 11, 21, 20);
    const int iconSize = std::min(icon->width(), icon->height());
    icon->setPixmap(AppIcon().pixmap(iconSize, iconSize));

    AddText(this, units, VersionText(), 40, 10, 105);
    AddText(this, units, QStringLiteral("Liquid-crystal phase profile designer"), 40, 23, 158);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    units.Place(m_ok, 151, 7, 50, 14);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    AddText(this, units, QStringLiteral("Questions and suggestions:"), 48, 32, 150);
    const QLabel* webCaption = AddText(this, units, QStringLiteral("www:"), 49, 40, 20);
    const QLabel* mailCaption = AddText(this, units, QStringLiteral("e-mail:"), 49, 48, 22);
    // The addresses start at 71 units. Where the font sets a caption wider than the room
    // before that, both addresses move right together, a space after the wider caption, so
    // that caption and address never run into each other.
    const int linkX =
        std::max({units.ToPixelsX(71), TextEnd(webCaption) + fontMetrics().horizontalAdvance(' '),
                  TextEnd(mailCaption) + fontMetrics().horizontalAdvance(' ')});
    m_webLink = AddLink(this, units, WebAddress(), WebAddress(), linkX, 40);
    m_mailLink = AddLink(this, units, MailAddress(), MailTarget(), linkX, 48);

    if (opener) {
        m_webLink->SetOpener(opener);
        m_mailLink->SetOpener(std::move(opener));
    }

    setFixedSize(units.ToPixelsX(kFormWidth), units.ToPixelsY(kFormHeight));
    m_ok->setFocus();
}

QString CAboutDlg::VersionText() {
    return QStringLiteral("Tessaron Version ") + QStringLiteral(TESSARON_VERSION);
}

QString CAboutDlg::WebAddress() {
    return QStringLiteral("https://www.tessaron.example");
}

QString CAboutDlg::MailAddress() {
    return QStringLiteral("support@tessaron.example");
}

QString CAboutDlg::MailTarget() {
    return QStringLiteral("mailto:") + MailAddress() +
           QStringLiteral("?subject=I%20need%20your%20help%20about...&X-Priority=1");
}
