// The window program's prompter: the boxes and file dialogs it shows and the answers it gives
// back, driven as a user would from inside their modal event loops.
#include "ui/QtPrompter.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using Box = QMessageBox;
constexpr int kDeadlineMs = 10000;

class QtPrompterTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A dialog the test fails to close would wait forever: after the deadline whatever
        // is still open is closed and the test fails.
        QTimer::singleShot(2 * kDeadlineMs, &m_context, [this] { CloseAll(); });
    }
    void TearDown() override { EXPECT_EQ(QApplication::overrideCursor(), nullptr); }

    // Runs `act` on the modal dialog of type T once it is shown, from the event loop that
    // shows it, polling through the event loop until then or the deadline.
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
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr ? cursor->shape() : Qt::BlankCursor;
}

TEST_F(QtPrompterTest, BoxesShowTheirTypeAndAnswerTheButtonPressed) {
    const std::pair<Box::StandardButton, int> answers[] = {
        {Box::Ok, IDOK}, {Box::Yes, IDYES}, {Box::No, IDNO}, {Box::Cancel, IDCANCEL}};
    const struct {
        unsigned type;
        Box::Icon icon;
        Box::StandardButtons buttons;
        int enter; // the answer of the default button
        int escape;
    } cases[] = {
        {MB_OK, Box::Warning, Box::Ok, IDOK, IDOK},
        {MB_OK | MB_ICONSTOP, Box::Critical, Box::Ok, IDOK, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, Box::Question, Box::Ok | Box::Cancel, IDOK, IDCANCEL},
        {MB_YESNO | MB_ICONINFORMATION, Box::Information, Box::Yes | Box::No, IDYES, IDNO},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION, Box::Warning, Box::Yes | Box::No | Box::Cancel, IDYES,
         IDCANCEL},
        {0x02 | 0x50, Box::Warning, Box::Ok, IDOK, IDOK}, // a set and an icon not known
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
        const auto ask = [&](const auto& press, int expected) {
            WhenShown<Box>([&](Box* box) {
                EXPECT_EQ(box->windowTitle(), QStringLiteral("Tessaron"));
                EXPECT_EQ(box->icon(), c.icon);
                EXPECT_EQ(box->standardButtons(), c.buttons);
                press(box);
            });
            EXPECT_EQ(m_prompter.MessageBox("Question", c.type), expected);
        };
        ask([](Box* box) { QTest::keyClick(box, Qt::Key_Return); }, c.enter);
        ask([](Box* box) { QTest::keyClick(box, Qt::Key_Escape); }, c.escape);
        for (const auto& [button, answer] : answers) {
            if (c.buttons & button) {
                ask([b = button](Box* box) { QTest::mouseClick(box->button(b), Qt::LeftButton); },
                    answer);
            }
        }
    }
}

TEST_F(QtPrompterTest, BoxTextIsPlainAndShownWithTheArrowDuringTheWaitCursor) {
    const std::string text = "Line one\nLine <b>two</b> & \"three\"";
    QString shown;
    Qt::CursorShape during = Qt::BlankCursor;
    WhenShown<Box>([&](Box* box) {
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (label != nullptr && label->textFormat() == Qt::PlainText) {
            shown = label->text();
        }
        during = OverrideShape();
        box->button(Box::Ok)->click();
    });
    {
        WaitCursor wait(m_prompter);
        m_prompter.MessageBox(text, MB_OK);
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(shown, QString::fromStdString(text));
    EXPECT_EQ(during, Qt::ArrowCursor);
}

TEST_F(QtPrompterTest, WaitCursorNestsAndLeavesOtherCursorsAlone) {
    {
        WaitCursor outer(m_prompter);
        { WaitCursor inner(m_prompter); }
        EXPECT_EQ(OverrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QApplication::setOverrideCursor(Qt::CrossCursor);
    m_prompter.EndWaitCursor(); // without a Begin
    EXPECT_EQ(OverrideShape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    QtPrompter(nullptr).BeginWaitCursor(); // a prompter going away restores its cursors
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtPrompterTest, DialogsSurviveTheDestructionOfTheirParent) {
    auto* window = new QWidget;
    QtPrompter prompter(window);
    const auto destroyParent = [&](QDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), window);
        delete window; // the dialog goes with it while its event loop runs
    };
    WhenShown<Box>(destroyParent);
    EXPECT_EQ(prompter.MessageBox("Closing", MB_YESNO), IDNO); // the cautious answer
    window = new QWidget;
    prompter.SetParentWidget(window);
    WhenShown<QFileDialog>(destroyParent);
    EXPECT_EQ(prompter.AskOpenFile(FileDialogRequest{}), std::nullopt);
}

TEST(QtPrompterFilters, FilterStringsBecomeNameFilters) {
    const std::pair<std::string, QStringList> cases[] = {
        {"Name (*.a)|*.a|Other (*.b)|*.b||", {"Name (*.a)", "Other (*.b)"}},
        {"", {"*"}},
        {"||", {"*"}},
        {"Text (*.txt)|*.txt|Corrected data files(*.dat)|*.dat",
         {"Text (*.txt)", "Corrected data files(*.dat)"}},
        // The pattern decides what is shown, also when the name does not list it.
        {"Text Files|*.txt||", {"Text Files (*.txt)"}},
        {"Images (*.png;*.jpg)|*.png; *.jpg||", {"Images (*.png *.jpg)"}},
        {"Text (*.doc)|*.txt||", {"Text (*.txt)"}},
    };
    for (const auto& [filter, expected] : cases) {
        EXPECT_EQ(QtPrompter::NameFilters(filter), expected) << filter;
    }
}

QLineEdit* NameEdit(QFileDialog* d) {
    return d->findChild<QLineEdit*>("fileNameEdit");
}

// Types `name` (when given) and clicks Open / Save, or Cancel, as the user would.
void Press(QFileDialog* dialog, bool accept, const QString& name = {}) {
    auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    const auto which = !accept                                           ? QDialogButtonBox::Cancel
                       : dialog->acceptMode() == QFileDialog::AcceptOpen ? QDialogButtonBox::Open
                                                                         : QDialogButtonBox::Save;
    QPushButton* button = box ? box->button(which) : nullptr;
    if (NameEdit(dialog) == nullptr || button == nullptr) {
        ADD_FAILURE() << "the dialog has no name field or button";
        return dialog->reject();
    }
    if (!name.isEmpty()) {
        NameEdit(dialog)->setText(name);
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

const char* const kFilter = "Text Files (*.txt)|*.txt|Data files (*.dat)|*.dat||";

TEST_F(QtPrompterTest, FileDialogsShowTheFiltersTheNameAndCancelToNothing) {
    const QStringList two{"Text Files (*.txt)", "Data files (*.dat)"};
    const struct {
        bool save;
        std::string filter;
        int filterIndex;
        QString selected;
    } cases[] = {{false, kFilter, 2, two[1]},
                 {true, kFilter, 2, two[1]},
                 {false, kFilter, 3, two[0]},
                 {true, kFilter, 0, two[0]},
                 {false, "", 1, "*"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.filter << " " << c.filterIndex << " " << c.save);
        WhenShown<QFileDialog>([&](QFileDialog* dialog) {
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
            EXPECT_EQ(dialog->fileMode(),
                      c.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
            EXPECT_EQ(dialog->nameFilters(), c.filter.empty() ? QStringList{"*"} : two);
            EXPECT_EQ(dialog->selectedNameFilter(), c.selected);
            EXPECT_EQ(NameEdit(dialog) ? NameEdit(dialog)->text() : "", "export");
            Press(dialog, false);
        });
        const FileDialogRequest request{c.filter, std::nullopt, "export", c.filterIndex};
        EXPECT_EQ(c.save ? m_prompter.AskSaveFile(request) : m_prompter.AskOpenFile(request),
                  std::nullopt);
    }
}

TEST_F(QtPrompterTest, OpenReturnsTheExistingFilePickedAndItsFilter) {
    TempDir dir;
    TempDir::Write(dir.File("scan.dat"), "1\n");
    bool missingAccepted = true;
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(combo, nullptr);
        QTest::keyClick(combo, Qt::Key_Down); // the second filter
        Press(dialog, true, QString::fromStdString(dir.File("missing.dat")));
        missingAccepted = !dialog->isVisible();
        if (!missingAccepted) {
            Press(dialog, true, QString::fromStdString(dir.File("scan.dat")));
        }
    });
    const auto choice = m_prompter.AskOpenFile({kFilter, std::nullopt, "", 1});
    EXPECT_FALSE(missingAccepted);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->path, dir.File("scan.dat"));
    EXPECT_EQ(choice->filterIndex, 2);
}

TEST_F(QtPrompterTest, SaveAppendsTheDefaultExtensionAndAsksBeforeReplacingWhenToldTo) {
    TempDir dir;
    TempDir::Write(dir.File("old.txt"), "old");
    const struct {
        std::optional<std::string> defaultExtension;
        bool overwritePrompt;
        std::string typed;
        Box::StandardButton replace; // the answer to the question; NoButton: none expected
        std::string saved;           // empty: nothing
    } cases[] = {
        {"txt", false, "data", Box::NoButton, "data.txt"},
        {"txt", false, "data.dat", Box::NoButton, "data.dat"},
        {"", false, "data", Box::NoButton, "data"},
        {std::nullopt, false, "data", Box::NoButton, "data"},
        {std::nullopt, true, "old.txt", Box::Yes, "old.txt"},
        {"txt", true, "old", Box::No, ""}, // not replacing: the dialog stays, then Cancel
        {std::nullopt, false, "old.txt", Box::NoButton, "old.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed + " " + std::to_string(c.overwritePrompt));
        auto asked = std::make_shared<bool>(false);
        WhenShown<QFileDialog>([&, asked](QFileDialog* dialog) {
            if (c.replace != Box::NoButton) {
                WhenShown<Box>([&c, asked](Box* box) {
                    *asked = true;
                    box->button(c.replace)->click();
                });
            }
            Press(dialog, true, QString::fromStdString(dir.File(c.typed)));
            if (dialog->isVisible()) {
                Press(dialog, false);
            }
        });
        const auto choice =
            m_prompter.AskSaveFile({kFilter, c.defaultExtension, "", 2, c.overwritePrompt});
        EXPECT_EQ(*asked, c.replace != Box::NoButton);
        EXPECT_EQ(choice ? choice->path : "", c.saved.empty() ? "" : dir.File(c.saved));
        EXPECT_EQ(choice ? choice->filterIndex : 2, 2);
    }
    EXPECT_EQ(TempDir::Read(dir.File("old.txt")), "old"); // the dialog only names the file
}

} // namespace
