// The help window and the guide compiled into the program: the guide is there and whole (its
// pictures load, its links to headings land on one), one window serves every request and goes
// with its owner, an anchor brings its heading to the top, and the find field goes round.
#include "shell/HelpWindow.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>

namespace {

// The anchors a profile window and a volt-phase window open the guide at (F1).
const char* const kWindowAnchors[] = {"from-a-lens-to-the-controller",
                                      "volt-phase-calibration-tables"};

// Every fragment of the document, in order.
template <typename F> void ForEachFragment(const QTextDocument& document, F&& f) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            f(block, it.fragment());
        }
    }
}

// The anchors of the document (where a link or ShowAnchor can go), with their blocks.
std::map<QString, QTextBlock> Anchors(const QTextDocument& document) {
    std::map<QString, QTextBlock> anchors;
    ForEachFragment(document, [&](const QTextBlock& block, const QTextFragment& fragment) {
        for (const QString& name : fragment.charFormat().anchorNames()) {
            anchors.emplace(name, block);
        }
    });
    return anchors;
}

long OpenHelpWindows() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::count_if(windows.begin(), windows.end(),
                         [](QWidget* w) { return qobject_cast<HelpWindow*>(w) && w->isVisible(); });
}

// The help window goes after each test, so that the next one starts without it.
class HelpWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete HelpWindow::Instance();
        EXPECT_EQ(HelpWindow::Instance(), nullptr);
    }
};

TEST_F(HelpWindowTest, TheGuideIsCompiledInWithEveryPictureAndEveryLinkResolving) {
    ShowHelp(nullptr);
    QTextBrowser* browser = HelpWindow::Instance()->Browser();
    const QTextDocument& document = *browser->document();
    EXPECT_GT(document.characterCount(), 10000);
    const std::map<QString, QTextBlock> anchors = Anchors(document);
    EXPECT_GE(anchors.size(), 20u);
    for (const char* anchor : kWindowAnchors) {
        EXPECT_EQ(anchors.count(QString::fromLatin1(anchor)), 1u) << anchor;
    }

    // What the viewer shows: every picture loads through the browser, relative to the guide,
    // and every link goes to a heading of the guide or to a web address (a link to a file
    // would show an empty page).
    int pictures = 0;
    int internalLinks = 0;
    ForEachFragment(document, [&](const QTextBlock&, const QTextFragment& fragment) {
        const QTextCharFormat format = fragment.charFormat();
        if (format.isImageFormat()) {
            const QString name = format.toImageFormat().name();
            const QByteArray data =
                browser->loadResource(QTextDocument::ImageResource, QUrl(name)).toByteArray();
            EXPECT_FALSE(QImage::fromData(data).isNull()) << name.toStdString();
            ++pictures;
        }
        const QUrl link(format.anchorHref());
        if (link.isEmpty()) {
            return;
        }
        if (link.hasFragment() && link.path().isEmpty()) {
            EXPECT_EQ(anchors.count(link.fragment()), 1u) << link.toString().toStdString();
            ++internalLinks;
        } else {
            EXPECT_TRUE(link.scheme() == "https" || link.scheme() == "http")
                << link.toString().toStdString();
        }
    });
    EXPECT_GE(pictures, 8);
    EXPECT_GE(internalLinks, 20);
}

TEST_F(HelpWindowTest, ShowHelpKeepsOneWindowThatScrollsToTheHeadingAskedFor) {
    auto owner = std::make_unique<QWidget>();
    // A new window opened at an anchor scrolls once it is shown; an open one at once.
    for (const char* anchor : kWindowAnchors) {
        ShowHelp(owner.get(), QString::fromLatin1(anchor));
        HelpWindow* window = HelpWindow::Instance();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        EXPECT_EQ(OpenHelpWindows(), 1);
        EXPECT_EQ(window->windowTitle(), "Tessaron Help");
        QTextBrowser* browser = window->Browser();
        EXPECT_GT(browser->verticalScrollBar()->value(), 0) << anchor;
        const QTextBlock block = Anchors(*browser->document())[QString::fromLatin1(anchor)];
        ASSERT_TRUE(block.isValid()) << anchor;
        const int top = browser->cursorRect(QTextCursor(block)).top();
        EXPECT_TRUE(top >= 0 && top < browser->viewport()->height() / 4) << anchor << " " << top;
    }
    // No anchor: the top of the guide, in the same window. It opens on using the program:
    // its first part is the road of a profile, and building it is the README's business.
    HelpWindow* window = HelpWindow::Instance();
    ShowHelp(owner.get());
    EXPECT_EQ(HelpWindow::Instance(), window);
    EXPECT_EQ(window->Browser()->verticalScrollBar()->value(), 0);
    const QString guide = window->Browser()->document()->toPlainText();
    EXPECT_LT(guide.indexOf("From a lens to the controller\n"), guide.indexOf("Settings\n"));
    for (const char* building : {"cmake", "apt-get", "./run"}) {
        EXPECT_FALSE(guide.contains(QLatin1String(building))) << building;
    }
    EXPECT_EQ(OpenHelpWindows(), 1);

    // A closed window is gone; the next request opens a new one.
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(HelpWindow::Instance(), nullptr);
    ShowHelp(owner.get());
    ASSERT_NE(HelpWindow::Instance(), nullptr);
    EXPECT_EQ(OpenHelpWindows(), 1);
    // The window goes with its owner.
    owner.reset();
    EXPECT_EQ(HelpWindow::Instance(), nullptr);
    EXPECT_EQ(OpenHelpWindows(), 0);
}

TEST_F(HelpWindowTest, FindGoesRoundTheGuideAndMarksTextTheGuideLacks) {
    ShowHelp(nullptr);
    HelpWindow* window = HelpWindow::Instance();
    QTextBrowser* browser = window->Browser();
    const QColor normal = window->FindField()->palette().color(QPalette::Base);

    // Typing finds as it goes; each further search moves on and comes round to the first place.
    window->FindField()->setFocus();
    QTest::keyClicks(window->FindField(), QStringLiteral("dialout"));
    ASSERT_TRUE(browser->textCursor().hasSelection());
    EXPECT_EQ(browser->textCursor().selectedText().toLower(), "dialout");
    const int first = browser->textCursor().selectionStart();
    std::set<int> places{first};
    bool cameRound = false;
    for (int i = 0; i < 50 && !cameRound; ++i) {
        ASSERT_TRUE(window->FindNext());
        cameRound = browser->textCursor().selectionStart() == first;
        places.insert(browser->textCursor().selectionStart());
    }
    EXPECT_TRUE(cameRound);
    EXPECT_GE(places.size(), 2u);
    // Backward from the first place goes round the start to the last one.
    ASSERT_TRUE(window->FindNext(true));
    EXPECT_EQ(browser->textCursor().selectionStart(), *places.rbegin());

    // Text the guide lacks: the selection stays and the field turns red until it is cleared.
    const int kept = browser->textCursor().selectionStart();
    window->FindField()->setText(QStringLiteral("no such words in the guide"));
    EXPECT_FALSE(window->FindNext());
    EXPECT_EQ(browser->textCursor().selectionStart(), kept);
    EXPECT_NE(window->FindField()->palette().color(QPalette::Base), normal);
    window->FindField()->clear();
    window->FindNext();
    EXPECT_EQ(window->FindField()->palette().color(QPalette::Base), normal);
}

TEST(HelpAnchor, IsMadeAsMarkdownViewersMakeIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"Working without a controller: the simulator",
         "working-without-a-controller-the-simulator"},
        {"Tools > Connect, F9", "tools--connect-f9"},
        {"tessaron-cli and COM_Port", "tessaron-cli-and-com_port"},
        {"Phase φ in parts of π", "phase-φ-in-parts-of-π"},
    };
    for (const auto& [heading, anchor] : cases) {
        EXPECT_EQ(HelpWindow::HeadingAnchor(QString::fromUtf8(heading)), QString::fromUtf8(anchor));
    }
}

} // namespace
