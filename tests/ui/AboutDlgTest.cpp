// The about box and its links: texts, targets, the look under the mouse and what a click
// opens. Links open through a recording opener, never a real browser.
#include "shell/AboutDlg.h"

#include "ui/DialogUnits.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using State = HyperlinkLabel::LinkState;

// Moves the mouse over `link` (or off it), waits for the link to follow and answers its
// colour and underline, e.g. "#0000c0 plain".
std::string Hover(HyperlinkLabel* link, bool over = true) {
    QTest::mouseMove(over ? link : link->window(), over ? link->rect().center() : QPoint(1, 1));
    EXPECT_TRUE(QTest::qWaitFor([&] { return (link->State() == State::Hover) == over; }));
    return link->palette().color(QPalette::WindowText).name().toStdString() +
           (link->font().underline() ? " underlined" : " plain");
}

TEST(AboutDlg, ShowsItsTextsAndLinksThatHighlightUnderTheMouseAndOpenWithALeftClick) {
    QString opened;
    bool desktopAccepts = true;
    CAboutDlg dialog(nullptr, [&](const QUrl& url) {
        opened = QString::fromUtf8(url.toEncoded());
        return desktopAccepts;
    });
    auto* noTarget = new HyperlinkLabel("link", QString(), &dialog);
    noTarget->setGeometry(QRect(QPoint(4, 60), noTarget->sizeHint())); // a free spot
    QCursor::setPos(dialog.screen()->geometry().bottomRight() - QPoint(10, 10));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), "About Tessaron");
    EXPECT_EQ(dialog.OkButton()->text(), "OK");
    EXPECT_TRUE(dialog.OkButton()->isDefault());
    // Every text unclipped; the addresses parted from their captions and lined up at 71
    // units or, where the font sets a caption wider, further right.
    for (const QString text :
         {"Tessaron Version " TESSARON_VERSION, "Liquid-crystal phase profile designer",
          "Questions and suggestions:", "www:", "e-mail:"}) {
        const QLabel* label = nullptr;
        for (const QLabel* l : dialog.findChildren<QLabel*>()) {
            label = l->text() == text ? l : label;
        }
        ASSERT_NE(label, nullptr) << text.toStdString();
        EXPECT_GE(label->width(), label->sizeHint().width());
        const HyperlinkLabel* link = text == "www:"      ? dialog.WebLink()
                                     : text == "e-mail:" ? dialog.MailLink()
                                                         : nullptr;
        EXPECT_TRUE(!link ||
                    (link->y() == label->y() &&
                     link->x() > label->x() + label->fontMetrics().horizontalAdvance(text)));
    }
    EXPECT_GE(dialog.WebLink()->x(), DialogUnits(dialog.font()).ToPixelsX(71));
    EXPECT_EQ(dialog.WebLink()->x(), dialog.MailLink()->x());

    const QString mail = "mailto:support@tessaron.example?subject=I%20need%20your%20help%20about"
                         "...&X-Priority=1";
    const std::tuple<HyperlinkLabel*, QString, bool, Qt::MouseButton, QString, State> cases[] = {
        {dialog.WebLink(), "https://www.tessaron.example", true, Qt::LeftButton,
         "https://www.tessaron.example", State::Normal}, // a link taken drops its highlight
        {dialog.MailLink(), "support@tessaron.example", true, Qt::LeftButton, mail, State::Normal},
        {dialog.MailLink(), "support@tessaron.example", false, Qt::LeftButton, mail, State::Hover},
        {dialog.WebLink(), "https://www.tessaron.example", true, Qt::RightButton, "", State::Hover},
        {noTarget, "link", true, Qt::LeftButton, "", State::Hover},
    };
    for (const auto& [link, text, accepts, button, opens, after] : cases) {
        SCOPED_TRACE(text.toStdString() + " " + std::to_string(button));
        EXPECT_EQ(link->text(), text);
        // The link reacts over its text, not over the empty rest of its line.
        EXPECT_LE(link->width(), link->sizeHint().width());
        EXPECT_EQ(Hover(link, false), "#0000c0 plain");
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(Hover(link), "#c000c0 underlined");
        EXPECT_EQ(link->font().family(), dialog.font().family()) << "only the underline changes";
        EXPECT_EQ(link->font().pointSize(), dialog.font().pointSize());
        opened.clear();
        desktopAccepts = accepts;
        QTest::mouseClick(link, button, {}, link->rect().center());
        EXPECT_EQ(opened, opens);
        EXPECT_EQ(link->State(), after);
        EXPECT_EQ(Hover(link, false), "#0000c0 plain");
    }
    // A bare www address is opened as a web page, as a desktop shell would.
    EXPECT_EQ(HyperlinkLabel::TargetUrl("www.lab.example").toString(), "http://www.lab.example");
    Hover(noTarget);
    dialog.hide(); // a link hidden under the mouse does not come back highlighted
    EXPECT_EQ(noTarget->State(), State::Normal);
    dialog.show();
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

} // namespace
