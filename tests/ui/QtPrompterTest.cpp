// The window program's prompter: the boxes and file dialogs it shows and the answers it gives
// back, driven as a user would from inside their modal event loops.
#include "ui/QtPrompter.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

using Box = QMessageBox;
constexpr int kDeadlineMs = 10000;

class QtPrompterTest : public ::testing::Test {
protected:
    // After the deadline whatever dialog is still open is closed and the test fails.
    void SetUp() override {
        QTimer::singleShot(2 * kDeadlineMs, &m_context, [this] { CloseAll(); });
    }
    void TearDown() override { EXPECT_EQ(QApplication::overrideCursor(), nullptr); }

    // Runs `act` on the modal dialog of type T once it is shown, from its event loop.
    template <typename T, typename Act>
    void WhenShown(Act act, QDeadlineTimer deadline = QDeadlineTimer(kDeadlineMs)) {
        QTimer::singleShot(0, &m_context, [this, act = std::move(act), deadline]() mutable {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                act(dialog);
            } else if (deadline.hasExpired()) {
                ADD_FAILURE() << "no " << T::staticMetaObject.className() << " was shown";
            } else {
                WhenShown<T>(std::move(act), deadline);
            }
        });
    }
    void CloseAll() {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "a " << dialog->metaObject()->className() << " was left open";
            dialog->reject();
            QTimer::singleShot(0, &m_context, [this] { CloseAll(); }); // the one below it
        }
    }

    QObject m_context; // pending polls end with the test
    QtPrompter m_prompter;
};

Qt::CursorShape OverrideShape() {
    return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape()
                                          : Qt::BlankCursor;
}

TEST_F(QtPrompterTest, BoxesShowTheirTypeAsPlainTextAndAnswerEnterAndEscape) {
    const std::string text = "Line one\nLine <b>two</b> & \"three\"";
    // Type, icon, buttons, the answer of Enter (the default button) and of Escape.
    const std::tuple<unsigned, Box::Icon, Box::StandardButtons, int, int> cases[] = {
        {MB_OK, Box::Warning, Box::Ok, IDOK, IDOK},
        {MB_OK | MB_ICONSTOP, Box::Critical, Box::Ok, IDOK, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, Box::Question, Box::Ok | Box::Cancel, IDOK, IDCANCEL},
        {MB_YESNO | MB_ICONINFORMATION, Box::Information, Box::Yes | Box::No, IDYES, IDNO},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, Box::Warning, Box::Yes | Box::No | Box::Cancel, IDYES,
         IDCANCEL},
        {0x02 | 0x50, Box::Warning, Box::Ok, IDOK, IDOK}, // a set and an icon not known
    };
    for (const auto& [type, icon, buttons, enter, escape] : cases) {
        for (const bool pressEnter : {true, false}) {
            SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << type << " " << pressEnter);
            // A detail (the file and the system's reason) is the informative text, plain too.
            const std::string detail = pressEnter ? "" : "/tmp/<i>a</i>.lcp: Permission denied";
            WhenShown<Box>([&](Box* box) {
                const auto* info =
                    box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
                EXPECT_EQ(info && info->textFormat() == Qt::PlainText ? info->text().toStdString()
                                                                      : std::string(),
                          detail);
                EXPECT_EQ(box->windowTitle(), QStringLiteral("Tessaron"));
                EXPECT_EQ(box->icon(), icon);
                EXPECT_EQ(box->standardButtons(), buttons);
                const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
                EXPECT_TRUE(label && label->textFormat() == Qt::PlainText &&
                            label->text() == QString::fromStdString(text));
                // A question is asked with the arrow, also inside a wait-cursor scope.
                EXPECT_EQ(OverrideShape(), Qt::ArrowCursor);
                QTest::keyClick(box, pressEnter ? Qt::Key_Return : Qt::Key_Escape);
            });
            WaitCursor wait(m_prompter);
            EXPECT_EQ(m_prompter.DetailedMessageBox(text, detail, type),
                      pressEnter ? enter : escape);
            EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
        }
    }
}

TEST_F(QtPrompterTest, BoxesBreakLinesOnlyWhereTheMessageDoes) {
    // A list of bad values as the profile builds it, four entries to a line, and a message of
    // one short line.
    std::string list = "Some numbers in array are greater then maximum phase (8.000000e+000), or "
                       "smaller than 0. Indexes of this numbers:\n";
    for (int i = 0; i < 28; ++i) {
        list += (i > 0 ? (i % 4 == 0 ? ", \t\n" : ", \t") : "") + std::to_string(100 + i) +
                ": 9.000000e+000";
    }
    for (const std::string& text : {list, std::string("Short.")}) {
        WhenShown<Box>([&](Box* box) {
            // Qt sizes the box again whenever its layout asks for it.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(label, nullptr);
            // Every line the screen has room for stands whole on one line of the label; a
            // longer one may break, and the label is tall enough for all of them.
            const QFontMetrics metrics(label->font());
            const QRect screen = box->screen()->availableGeometry();
            const int room =
                screen.width() - (box->frameGeometry().width() - label->contentsRect().width());
            for (const QString& line : label->text().split('\n')) {
                const int width =
                    metrics.boundingRect(QRect(0, 0, 100000, 100), Qt::TextExpandTabs, line)
                        .width();
                if (width <= room) {
                    EXPECT_LE(width, label->contentsRect().width()) << line.toStdString();
                }
            }
            EXPECT_GE(label->contentsRect().height(),
                      label->wordWrap() ? label->heightForWidth(label->contentsRect().width())
                                        : label->sizeHint().height());
            EXPECT_TRUE(screen.contains(box->frameGeometry()));
            box->accept();
        });
        m_prompter.MessageBox(text, MB_OK | MB_ICONSTOP);
    }
}

TEST_F(QtPrompterTest, DialogsSurviveTheDestructionOfTheirParentAndWaitCursorsNest) {
    auto* window = new QWidget;
    QtPrompter prompter(window);
    prompter.BeginWaitCursor(); // restored when the prompter goes away
    {
        WaitCursor outer(m_prompter);
        { WaitCursor inner(m_prompter); }
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    m_prompter.EndWaitCursor(); // without a Begin: the others' cursor stays
    EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    const auto destroyParent = [&](QDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), window);
        delete window; // the dialog goes with it while its event loop runs
    };
    WhenShown<Box>(destroyParent);
    EXPECT_EQ(prompter.MessageBox("Closing", MB_YESNO), IDNO); // the cautious answer
    prompter.SetParentWidget(window = new QWidget);
    WhenShown<QFileDialog>(destroyParent);
    EXPECT_EQ(prompter.AskOpenFile(FileDialogRequest{}), std::nullopt);
}

TEST_F(QtPrompterTest, FileDialogsShowTheRequestAndReturnThePathAndFilterChosen) {
    TempDir dir;
    TempDir::Write(dir.File("old.txt"), "old");
    // The dialog filters by the patterns, also where the names do not list them.
    const std::string f = "Text Files|*.txt; *.text|Data files (*.doc)|*.dat||";
    const QStringList filters{"Text Files (*.txt *.text)", "Data files (*.dat)"};
    bool asked = false;
    // Save or open, the filter string and the index asked for, default extension, whether to ask
    // before replacing; the name typed (empty: Cancel), the answer to that question (NoButton: none
    // expected) and the file chosen (empty: none).
    const std::tuple<bool, std::string, int, std::optional<std::string>, bool, std::string,
                     Box::StandardButton, std::string>
        cases[] = {
            {false, f, 2, "txt", false, "", Box::NoButton, ""},
            {true, f, 0, "txt", false, "", Box::NoButton, ""}, // out of range: the first
            {false, f, 1, "txt", false, "old.txt", Box::NoButton, "old.txt"},
            {true, f, 1, "txt", false, "data", Box::NoButton, "data.txt"},
            {true, f, 1, std::nullopt, true, "old.txt", Box::Yes, "old.txt"},
            {true, f, 1, "txt", true, "old", Box::No, ""}, // not replacing, then Cancel
            {true, f, 1, std::nullopt, false, "old.txt", Box::NoButton, "old.txt"},
            {false, "", 1, std::nullopt, false, "", Box::NoButton, ""}, // no filters: "*"
        };
    for (const auto& [save, filter, index, extension, ask, typed, replace, chosen] : cases) {
        SCOPED_TRACE(testing::Message() << save << index << ask << typed);
        const bool noFilters = filter.empty();
        asked = false;
        WhenShown<QFileDialog>([&](QFileDialog* dialog) {
            EXPECT_EQ(dialog->fileMode(), save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
            EXPECT_EQ(dialog->nameFilters(), noFilters ? QStringList{"*"} : filters);
            EXPECT_EQ(dialog->selectedNameFilter(), noFilters ? "*" : filters[index == 2 ? 1 : 0]);
            auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_TRUE(box && name) << "the dialog lacks its name field or buttons";
            EXPECT_EQ(name->text(), "export");
            if (replace != Box::NoButton) {
                WhenShown<Box>([&, answer = replace](Box* question) {
                    asked = true;
                    question->button(answer)->click();
                });
            }
            if (!typed.empty()) {
                dialog->selectNameFilter(filters[1]);
                name->setText(QString::fromStdString(dir.File(typed)));
                box->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open)->click();
            }
            if (dialog->isVisible()) {
                box->button(QDialogButtonBox::Cancel)->click();
            }
        });
        const FileDialogRequest request{filter, extension, "export", index, ask};
        const auto choice =
            save ? m_prompter.AskSaveFile(request) : m_prompter.AskOpenFile(request);
        EXPECT_EQ(asked, replace != Box::NoButton);
        EXPECT_EQ(choice ? choice->path : "", chosen.empty() ? "" : dir.File(chosen));
        EXPECT_EQ(choice ? choice->filterIndex : 2, 2);
    }
}

TEST_F(QtPrompterTest, FileDialogsOpenLargeEnoughToReadTheirColumns) {
    TempDir dir;
    TempDir::Write(dir.File("a profile with a long name of its own.txt"), "1\n");
    bool shown = false;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        shown = true;
        // Two thirds of the screen each way, all of it on the screen.
        const QRect screen = dialog->screen()->availableGeometry();
        EXPECT_GE(dialog->width(), screen.width() * 2 / 3 - 1);
        EXPECT_GE(dialog->height(), screen.height() * 2 / 3 - 1);
        EXPECT_LE(dialog->width(), screen.width());
        EXPECT_LE(dialog->height(), screen.height());
        EXPECT_EQ(dialog->viewMode(), QFileDialog::Detail);
        const auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
        ASSERT_NE(details, nullptr);
        const QHeaderView* columns = details->header();
        EXPECT_GE(columns->sectionSize(0), dialog->width() * 2 / 5);
        // Once the folder is read, size, type and date show whole.
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return details->model()->rowCount(details->rootIndex()) > 0; }));
        const QModelIndex file = details->model()->index(0, 0, details->rootIndex());
        for (int column = 1; column < columns->count(); ++column) {
            EXPECT_TRUE(QTest::qWaitFor([&] {
                return columns->sectionSize(column) >=
                       details->sizeHintForIndex(file.siblingAtColumn(column)).width();
            })) << "column "
                << column;
        }
        dialog->reject();
    });
    FileDialogRequest request;
    request.initialName = dir.File("new.txt");
    EXPECT_EQ(m_prompter.AskOpenFile(request), std::nullopt);
    EXPECT_TRUE(shown);
}

} // namespace
