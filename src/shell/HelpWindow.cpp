#include "shell/HelpWindow.h"

#include "ui/Icons.h"

#include <QAction>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The size the window opens with, when the screen has room for it.
constexpr int kWindowWidth = 860;
constexpr int kWindowHeight = 720;

// The room around the guide's text, in pixels.
constexpr int kPageMargin = 12;

const QColor kNotFoundColour(255, 208, 208);

QPointer<HelpWindow>& OpenWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

// Gives every heading of `document` its anchor, so that links to it and ShowAnchor find it.
// A heading whose anchor an earlier one has taken gets "-1", "-2", ... appended, as Markdown
// viewers do. Running it again on the same document changes nothing.
void AnchorHeadings(QTextDocument& document) {
    QHash<QString, int> taken;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0) {
            continue;
        }
        QString anchor = HelpWindow::HeadingAnchor(block.text());
        const int earlier = taken.value(anchor, 0);
        taken[anchor] = earlier + 1;
        if (earlier > 0) {
            anchor += '-' + QString::number(earlier);
        }
        // The anchor goes on the heading's text and on the block itself, so that an empty
        // heading has one too. It carries no link: the heading neither looks nor acts like one.
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorNames({anchor});
        QTextCursor cursor(block);
        cursor.mergeBlockCharFormat(format);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
}

// The text browser of the help window: a newly loaded guide gets its heading anchors before
// the browser scrolls to the anchor it was asked for.
class GuideBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override {
        QTextBrowser::doSetSource(name, type);
        // The browser has scrolled already when the document was not new; a new one had no
        // anchors yet, so this scroll is the one that counts.
        AnchorHeadings(*document());
        document()->setDocumentMargin(kPageMargin);
        if (!name.fragment().isEmpty()) {
            scrollToAnchor(name.fragment());
        }
    }
};

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback, const QStyle* style) {
    return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(fallback));
}

} // namespace

void ShowHelp(QWidget* parent, const QString& anchor) {
    QPointer<HelpWindow>& window = OpenWindow();
    if (!window) {
        window = new HelpWindow(parent);
    }
    window->ShowAnchor(anchor);
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tessaron Help"));
    setWindowIcon(AppIcon());

    m_browser = new GuideBrowser(this);
    m_browser->setOpenExternalLinks(true);

    auto* tools = new QToolBar(this);
    tools->setIconSize(QSize(16, 16));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = tools->addAction(ThemeIcon("go-previous", QStyle::SP_ArrowBack, style()),
                                     QStringLiteral("Back"), m_browser, &QTextBrowser::backward);
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QAction* forward =
        tools->addAction(ThemeIcon("go-next", QStyle::SP_ArrowForward, style()),
                         QStringLiteral("Forward"), m_browser, &QTextBrowser::forward);
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    // Home is the top of the guide, wherever the window was first opened.
    QAction* home = tools->addAction(ThemeIcon("go-home", QStyle::SP_DirHomeIcon, style()),
                                     QStringLiteral("Home"), this, [this] { ShowAnchor({}); });
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));

    auto* spacer = new QWidget(tools);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tools->addWidget(spacer);
    m_find = new QLineEdit(tools);
    m_find->setObjectName(QStringLiteral("find"));
    m_find->setPlaceholderText(QStringLiteral("Find (Ctrl+F)"));
    m_find->setClearButtonEnabled(true);
    m_find->setMaximumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 30);
    tools->addWidget(m_find);
    connect(m_find, &QLineEdit::textEdited, this, &HelpWindow::OnFindEdited);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { FindNext(); });

    auto* focusFind = new QAction(this);
    focusFind->setShortcut(QKeySequence::Find);
    connect(focusFind, &QAction::triggered, this, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });
    auto* findNext = new QAction(this);
    findNext->setShortcut(QKeySequence::FindNext);
    connect(findNext, &QAction::triggered, this, [this] { FindNext(); });
    auto* findPrevious = new QAction(this);
    findPrevious->setShortcut(QKeySequence::FindPrevious);
    connect(findPrevious, &QAction::triggered, this, [this] { FindNext(true); });
    addActions({focusFind, findNext, findPrevious});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(m_browser);

    QSize size(kWindowWidth, kWindowHeight);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    }
    resize(size);
}

HelpWindow::~HelpWindow() = default;

QUrl HelpWindow::GuideUrl() {
    return QUrl(QStringLiteral("qrc:/help/user-guide.md"));
}

HelpWindow* HelpWindow::Instance() {
    return OpenWindow().data();
}

QString HelpWindow::HeadingAnchor(const QString& heading) {
    QString anchor;
    for (const QChar c : heading.toLower()) {
        if (c == QLatin1Char(' ')) {
            anchor += QLatin1Char('-');
        } else if (c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('-') ||
                   c == QLatin1Char('_')) {
            anchor += c;
        }
    }
    return anchor;
}

void HelpWindow::ShowAnchor(const QString& anchor) {
    QUrl url = GuideUrl();
    if (!anchor.isEmpty()) {
        url.setFragment(anchor);
    }
    m_browser->setSource(url, QTextDocument::MarkdownResource);
}

bool HelpWindow::FindNext(bool backward) {
    const QString text = m_find->text();
    bool found = text.isEmpty();
    if (!found) {
        const QTextDocument::FindFlags flags =
            backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
        found = m_browser->find(text, flags);
        if (!found) {
            // Once more from the other end of the guide; where nothing is found, the
            // selection stays where it was.
            const QTextCursor kept = m_browser->textCursor();
            QTextCursor end(m_browser->document());
            end.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
            m_browser->setTextCursor(end);
            found = m_browser->find(text, flags);
            if (!found) {
                m_browser->setTextCursor(kept);
            }
        }
    }
    QPalette colours = m_find->palette();
    colours.setColor(QPalette::Base, found ? palette().color(QPalette::Base) : kNotFoundColour);
    m_find->setPalette(colours);
    return found && !text.isEmpty();
}

void HelpWindow::OnFindEdited() {
    // While the text is typed the search starts where the present match starts, so that each
    // new letter extends it rather than jumping on to the next place.
    QTextCursor cursor = m_browser->textCursor();
    cursor.setPosition(cursor.selectionStart());
    m_browser->setTextCursor(cursor);
    FindNext();
}
