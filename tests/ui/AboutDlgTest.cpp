// The about box and its links: texts, targets, the look under the mouse, what a click opens
// and how the box closes. Links open through a recording opener, never a real browser.
#include "shell/AboutDlg.h"

#include "ui/DialogUnits.h"
#include "ui/HyperlinkLabel.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

using State = HyperlinkLabel::LinkState;

// Every link the widgets open, answered as the desktop would.
struct OpenRecorder {
    std::vector<QString> opened;
    bool accept = true;
    HyperlinkLabel::Opener Opener() {
        return [this](const QUrl& url) {
            opened.push_back(QString::fromUtf8(url.toEncoded()));
            return accept;
        };
    }
};

bool WaitUntil(const std::function<bool()>& done) {
    for (const QDeadlineTimer deadline(5000); !done();) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Shows `window` with the mouse off it: a window shown under the mouse an earlier test left
// there would start with a link highlighted.
void Show(QWidget* window) {
    QCursor::setPos(window->screen()->geometry().bottomRight() - QPoint(10, 10));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_FALSE(window->frameGeometry().contains(QCursor::pos()));
}

// Moves the mouse over `link` (or off it, to a free corner of its window) and waits.
void Hover(HyperlinkLabel* link, bool over = true) {
    if (over) {
        QTest::mouseMove(link, link->rect().center());
    } else {
        QTest::mouseMove(link->window(), QPoint(1, 1));
    }
    const State want = over ? State::Hover : State::Normal;
    ASSERT_TRUE(WaitUntil([&] { return link->State() == want; }));
}

// Colour and underline as one value, e.g. "#0000c0 plain".
std::string Look(const HyperlinkLabel* link) {
    return link->palette().color(QPalette::WindowText).name().toStdString() +
           (link->font().underline() ? " underlined" : " plain");
}

} // namespace

TEST(AboutDlg, ShowsItsTextsInItsLayout) {
    const CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Tessaron"));
    EXPECT_EQ(CAboutDlg::VersionText(), QStringLiteral("Tessaron Version " TESSARON_VERSION));
    EXPECT_EQ(dialog.OkButton()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.OkButton()->isDefault());
    const DialogUnits units(dialog.font());
    EXPECT_EQ(dialog.size(), QSize(units.ToPixelsX(202), units.ToPixelsY(63)));
    EXPECT_EQ(dialog.OkButton()->pos(), QPoint(units.ToPixelsX(151), units.ToPixelsY(7)));

    // Each text at its place; the captions unclipped and parted from their addresses, which
    // line up at 71 units or, where the font sets a caption wider, further right.
    const std::tuple<QString, int, int, const HyperlinkLabel*> rows[] = {
        {CAboutDlg::VersionText(), 40, 10, nullptr},
        {QStringLiteral("www:"), 49, 40, dialog.WebLink()},
        {QStringLiteral("e-mail:"), 49, 48, dialog.MailLink()},
    };
    for (const auto& [text, x, y, link] : rows) {
        SCOPED_TRACE(text.toStdString());
        const QLabel* label = nullptr;
        for (const QLabel* l : dialog.findChildren<QLabel*>()) {
            label = l->text() == text ? l : label;
        }
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->pos(), QPoint(units.ToPixelsX(x), units.ToPixelsY(y)));
        EXPECT_GE(label->width(), label->sizeHint().width());
        if (link != nullptr) {
            EXPECT_EQ(link->pos().y(), label->y());
            EXPECT_GT(link->x(), label->x() + label->fontMetrics().horizontalAdvance(text));
            EXPECT_GE(link->x(), units.ToPixelsX(71));
            EXPECT_EQ(link->x(), dialog.WebLink()->x());
        }
    }
}

TEST(AboutDlg, LinksShowTheirAddressOpenTheirTargetAndHighlightUnderTheMouse) {
    const QString mailTarget = "mailto:" + CAboutDlg::MailAddress() +
                               "?subject=I%20need%20your%20help%20about...&X-Priority=1";
    for (const bool mail : {false, true}) {
        SCOPED_TRACE(mail ? "mail" : "web");
        OpenRecorder recorder;
        CAboutDlg dialog(nullptr, recorder.Opener());
        Show(&dialog);
        HyperlinkLabel* link = mail ? dialog.MailLink() : dialog.WebLink();
        HyperlinkLabel* other = mail ? dialog.WebLink() : dialog.MailLink();
        EXPECT_EQ(link->text(), mail ? CAboutDlg::MailAddress() : CAboutDlg::WebAddress());
        // The link reacts over its text, not over the empty rest of its line.
        EXPECT_LE(link->width(), link->sizeHint().width());
        EXPECT_EQ(Look(link), "#0000c0 plain");
        const QFont plain = link->font();

        Hover(other); // from one link straight onto the other leaves only this one highlighted
        Hover(link);
        EXPECT_TRUE(WaitUntil([&] { return other->State() == State::Normal; }));
        EXPECT_EQ(Look(other), "#0000c0 plain");
        EXPECT_EQ(Look(link), "#c000c0 underlined");
        EXPECT_EQ(link->font().family(), plain.family()); // only the underline changes
        EXPECT_EQ(link->font().pointSize(), plain.pointSize());
        Hover(link, false);
        EXPECT_EQ(Look(link), "#0000c0 plain");

        Hover(link);
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        EXPECT_EQ(recorder.opened, std::vector{mail ? mailTarget : CAboutDlg::WebAddress()});
        EXPECT_EQ(Look(link), "#0000c0 plain"); // a successful open drops the highlight
        Hover(link, false);
        Hover(link);
        dialog.hide(); // a link hidden under the mouse does not come back highlighted
        EXPECT_EQ(Look(link), "#0000c0 plain");
    }
}

TEST(AboutDlg, ClosesWithOkReturnAndEscape) {
    const std::pair<std::function<void(CAboutDlg&)>, int> cases[] = {
        {[](CAboutDlg& d) { QTest::mouseClick(d.OkButton(), Qt::LeftButton); }, QDialog::Accepted},
        {[](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, QDialog::Accepted},
        {[](CAboutDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
    };
    for (const auto& [act, result] : cases) {
        CAboutDlg dialog;
        dialog.setResult(-1);
        dialog.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        act(dialog);
        EXPECT_TRUE(WaitUntil([&] { return !dialog.isVisible(); }));
        EXPECT_EQ(dialog.result(), result);
    }
}

TEST(HyperlinkLabel, ClickOpensOnlyWithATargetAndALeftButton) {
    const QString web = QStringLiteral("https://lab.example/page?a=1");
    const struct {
        QString target;
        bool desktopAccepts;
        Qt::MouseButton button;
        QString opens; // empty: nothing is opened
        State after;
    } cases[] = {
        {web, true, Qt::LeftButton, web, State::Normal},
        {web, false, Qt::LeftButton, web, State::Hover}, // refused: stays highlighted
        // A bare www address is opened as a web page, as a desktop shell would.
        {"www.lab.example", true, Qt::LeftButton, "http://www.lab.example", State::Normal},
        {QString(), true, Qt::LeftButton, QString(), State::Hover},
        {web, true, Qt::RightButton, QString(), State::Hover},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString() + " " + std::to_string(c.button));
        OpenRecorder recorder;
        recorder.accept = c.desktopAccepts;
        QWidget window;
        window.resize(200, 60);
        auto* link = new HyperlinkLabel(QStringLiteral("link"), c.target, &window);
        link->setGeometry(20, 20, 100, 16);
        link->SetOpener(recorder.Opener());
        Show(&window);
        // Without a target the control still looks like a link.
        EXPECT_EQ(Look(link), "#0000c0 plain");
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        Hover(link);
        QTest::mouseClick(link, c.button, {}, link->rect().center());
        EXPECT_EQ(recorder.opened,
                  c.opens.isEmpty() ? std::vector<QString>{} : std::vector{c.opens});
        EXPECT_EQ(link->State(), c.after);
    }
}
