#include "ui/QtPrompter.h"

#include "framework/StringTable.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

namespace {

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton; // the first button
    QMessageBox::StandardButton escapeButton;  // Cancel where there is one, else No / OK
};

// A button set the program does not know shows a plain OK box.
ButtonSet ButtonsOf(unsigned type) {
    switch (type & MB_BUTTON_MASK) {
    case MB_OKCANCEL:
        return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    case MB_YESNO:
        return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
    case MB_YESNOCANCEL:
        return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                QMessageBox::Cancel};
    default:
        return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
    }
}

// A box asked for without an icon (or with one the program does not know) shows the
// exclamation icon.
QMessageBox::Icon IconOf(unsigned type) {
    switch (type & MB_ICON_MASK) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::Warning;
    }
}

int AnswerOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Cancel:
        return IDCANCEL;
    default:
        return IDOK;
    }
}

// Lets a message box break its text only where the message does, as far as the screen has
// room. Qt wraps every line longer than half the screen (500 pixels at most), which broke the
// program's lists (four "006: 9.000000e+000" entries to a line) inside an entry. Qt sizes the
// box anew whenever its layout changes, so the label's least width is what keeps the lines
// whole: Qt's box then grows to it, up to the widest box Qt makes on that screen.
constexpr int kFrameRoom = 40;

void KeepLinesWhole(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QScreen* screen = box.screen();
    if (label == nullptr || box.layout() == nullptr || screen == nullptr) {
        return;
    }
    const bool wrapped = label->wordWrap();
    label->setWordWrap(false);
    box.layout()->invalidate();
    const int lines = label->minimumSizeHint().width();
    const int besides = box.layout()->totalMinimumSize().width() - lines;
    label->setWordWrap(wrapped);
    // Qt's widest box: the whole screen up to 1024 pixels (here less room for the window's
    // frame), else the screen less 480 pixels, at most 1000; beyond it Qt would break lines
    // anywhere, even inside a number.
    const int screenWidth = screen->availableGeometry().width();
    const int widest =
        screenWidth <= 1024 ? screenWidth - kFrameRoom : std::min(screenWidth - 480, 1000);
    label->setMinimumWidth(std::max(0, std::min(lines, widest - besides)));
}

// A file dialog large enough to read its columns: two thirds of the screen each way, never
// smaller than Qt makes it, in the detail view with a name column of two fifths of its width or
// wider, as the user may have widened it before. Size, type and date are as wide as what a
// folder shows in them once it is read.
void FitToScreen(QFileDialog& dialog) {
    const QScreen* screen = dialog.parentWidget() != nullptr ? dialog.parentWidget()->screen()
                                                             : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    const QSize room = screen->availableGeometry().size();
    dialog.resize((room * 2 / 3).expandedTo(dialog.size()).boundedTo(room));
    dialog.setViewMode(QFileDialog::Detail);
    auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (details == nullptr) {
        return;
    }
    QHeaderView* header = details->header();
    header->resizeSection(0, std::max(header->sectionSize(0), dialog.width() * 2 / 5));
    if (auto* files = dialog.findChild<QFileSystemModel*>()) {
        QObject::connect(files, &QFileSystemModel::directoryLoaded, details, [details] {
            QHeaderView* columns = details->header();
            for (int column = 1; column < columns->count(); ++column) {
                const int was = columns->sectionSize(column);
                details->resizeColumnToContents(column);
                columns->resizeSection(column, std::max(was, columns->sectionSize(column)));
            }
        });
    }
}

// Owns a dialog made on the heap for exec(). The parent may be destroyed while the dialog's
// event loop runs, and the dialog with it; a dialog on the stack would then be deleted twice.
template <typename Dialog> class ExecDialog {
public:
    explicit ExecDialog(Dialog* dialog) : m_dialog(dialog) {}
    ~ExecDialog() { delete m_dialog.data(); }
    ExecDialog(const ExecDialog&) = delete;
    ExecDialog& operator=(const ExecDialog&) = delete;

    Dialog* operator->() const { return m_dialog.data(); }
    Dialog& operator*() const { return *m_dialog; }
    // False once the dialog was destroyed with its parent.
    explicit operator bool() const { return !m_dialog.isNull(); }

private:
    QPointer<Dialog> m_dialog;
};

// While a box or dialog waits for an answer the pointer is the ordinary arrow, also inside a
// wait-cursor scope: a busy cursor over a question hides that the program waits for the user.
class ArrowWhileAsking {
public:
    ArrowWhileAsking() : m_active(QApplication::overrideCursor() != nullptr) {
        if (m_active) {
            QApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~ArrowWhileAsking() {
        if (m_active) {
            QApplication::restoreOverrideCursor();
        }
    }
    ArrowWhileAsking(const ArrowWhileAsking&) = delete;
    ArrowWhileAsking& operator=(const ArrowWhileAsking&) = delete;

private:
    bool m_active;
};

QStringList Patterns(const QString& text, QChar separator) {
    QStringList patterns;
    for (const QString& part : text.split(separator)) {
        const QString pattern = part.trimmed();
        if (!pattern.isEmpty()) {
            patterns << pattern;
        }
    }
    return patterns;
}

// Qt filters by the space-separated patterns in the parentheses ending a name filter, not by
// a separate pattern. A name whose parentheses already list the pattern is kept as it is;
// otherwise the pattern is put in parentheses after the name (replacing parentheses that list
// something else), so that the files shown are the ones the pattern matches.
QString NameFilter(const QString& name, const QString& patternText) {
    const QStringList patterns = Patterns(patternText, u';');
    if (patterns.isEmpty()) {
        return name;
    }
    QString label = name;
    const qsizetype open = name.lastIndexOf(u'(');
    if (open >= 0 && name.endsWith(u')')) {
        const QString listed = name.mid(open + 1, name.size() - open - 2);
        if (Patterns(listed, u' ') == patterns) {
            return name;
        }
        label = name.left(open).trimmed();
    }
    return label + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

} // namespace

QtPrompter::QtPrompter(QWidget* parent) : m_parent(parent) {}

QtPrompter::~QtPrompter() {
    while (m_waitDepth > 0) {
        EndWaitCursor();
    }
}

int QtPrompter::MessageBox(const std::string& text, unsigned type) {
    return DetailedMessageBox(text, {}, type);
}

int QtPrompter::DetailedMessageBox(const std::string& text, const std::string& detail,
                                   unsigned type) {
    const ButtonSet set = ButtonsOf(type);
    ExecDialog<QMessageBox> box(new QMessageBox(m_parent));
    box->setWindowTitle(QString::fromStdString(LoadString(IDS_APP_TITLE)));
    // Messages quote file names and numbers; they are never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    // The file concerned and the system's reason, under the program's own words; plain text
    // too (a file name may look like markup).
    if (!detail.empty()) {
        box->setInformativeText(QString::fromStdString(detail));
        if (auto* label = box->findChild<QLabel*>("qt_msgbox_informativelabel")) {
            label->setTextFormat(Qt::PlainText);
        }
    }
    box->setIcon(IconOf(type));
    box->setStandardButtons(set.buttons);
    box->setDefaultButton(set.defaultButton);
    box->setEscapeButton(set.escapeButton);
    KeepLinesWhole(*box);

    const ArrowWhileAsking arrow;
    box->exec();
    if (!box || box->clickedButton() == nullptr) {
        return AnswerOf(set.escapeButton);
    }
    return AnswerOf(box->standardButton(box->clickedButton()));
}

std::optional<FileChoice> QtPrompter::AskOpenFile(const FileDialogRequest& request) {
    return AskFile(request, false);
}

std::optional<FileChoice> QtPrompter::AskSaveFile(const FileDialogRequest& request) {
    return AskFile(request, true);
}

std::optional<FileChoice> QtPrompter::AskFile(const FileDialogRequest& request, bool save) {
    ExecDialog<QFileDialog> dialog(new QFileDialog(m_parent));
    // Qt's own dialog looks and behaves the same on every desktop.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }

    dialog->setNameFilters(NameFilters(request.filter));
    // Qt tidies the filters' white space: select and look up by the filters it holds.
    const QStringList filters = dialog->nameFilters();
    const bool inRange = request.filterIndex >= 1 && request.filterIndex <= filters.size();
    if (!filters.isEmpty()) {
        dialog->selectNameFilter(filters.at(inRange ? request.filterIndex - 1 : 0));
    }
    if (!request.initialName.empty()) {
        dialog->selectFile(QString::fromStdString(request.initialName));
    }
    if (request.defaultExtension && !request.defaultExtension->empty()) {
        dialog->setDefaultSuffix(QString::fromStdString(*request.defaultExtension));
    }

    FitToScreen(*dialog);

    const ArrowWhileAsking arrow;
    if (dialog->exec() != QDialog::Accepted || !dialog) {
        return std::nullopt;
    }
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) {
        return std::nullopt;
    }
    const qsizetype chosen = dialog->nameFilters().indexOf(dialog->selectedNameFilter());
    FileChoice choice;
    // The model opens files by their name in the file system's encoding.
    choice.path = QFile::encodeName(files.front()).toStdString();
    choice.filterIndex = chosen >= 0 ? static_cast<int>(chosen) + 1 : 1;
    return choice;
}

void QtPrompter::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_waitDepth;
}

void QtPrompter::EndWaitCursor() {
    // An End without its Begin leaves alone the cursors others have set.
    if (m_waitDepth == 0) {
        return;
    }
    --m_waitDepth;
    QApplication::restoreOverrideCursor();
}

QStringList QtPrompter::NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    QStringList filters;
    // Name and pattern alternate; an empty name (the "||" at the end) ends the list.
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        if (parts.at(i).trimmed().isEmpty()) {
            break;
        }
        filters << NameFilter(parts.at(i), i + 1 < parts.size() ? parts.at(i + 1) : QString());
    }
    if (filters.isEmpty()) {
        filters << QStringLiteral("*");
    }
    return filters;
}
