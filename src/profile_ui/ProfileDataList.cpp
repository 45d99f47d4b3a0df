#include "profile_ui/ProfileDataList.h"

#include "framework/NumberText.h"
#include "profile/TessaronDoc.h"
#include "profile_ui/ProfileFormIds.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <utility>

namespace {

const QColor kGridColour(208, 208, 208);

// Draws the rows as cells of a one-column grid, sizes them without asking for their text and
// edits a value in a plain line edit.
class DataDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Every row has the same size, known from the font alone: the column's width, or a typical
    // text with its margins if the font needs more; the text height, a pixel of padding above
    // and below, and the grid line.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const int text = option.fontMetrics.horizontalAdvance(QStringLiteral("000: 0.000000e+000"));
        return {std::max(CProfileDataList::kColumnWidth, text + 9),
                option.fontMetrics.height() + 3};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem cell(option);
        cell.rect.adjust(0, 0, -1, -1); // the grid lines take the last column and row
        QStyledItemDelegate::paint(painter, cell, index);
        painter->save();
        painter->setPen(kGridColour);
        const QRect& r = option.rect;
        painter->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        painter->drawLine(r.right(), r.top(), r.right(), r.bottom());
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        return editor;
    }

    // Also called when the document changes while the editor is open: what the user has typed
    // so far is kept then.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line) {
            QStyledItemDelegate::setEditorData(editor, index);
        } else if (!line->isModified()) {
            line->setText(index.data(Qt::EditRole).toString());
            line->selectAll();
        }
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override {
        editor->setGeometry(option.rect.adjusted(0, 0, -1, -1));
    }
};

} // namespace

// ProfileDataModel

ProfileDataModel::ProfileDataModel(CTessaronDoc& document, QObject* parent)
    : QAbstractListModel(parent), m_document(document) {}

void ProfileDataModel::SetItemCount(int count) {
    count = std::max(count, 0);
    if (count > m_count) {
        beginInsertRows(QModelIndex(), m_count, count - 1);
        m_count = count;
        endInsertRows();
    } else if (count < m_count) {
        beginRemoveRows(QModelIndex(), count, m_count - 1);
        m_count = count;
        endRemoveRows();
    }
    // The values may have changed with the document; this only schedules a repaint.
    if (m_count > 0) {
        emit dataChanged(index(0), index(m_count - 1), {Qt::DisplayRole, Qt::EditRole});
    }
}

int ProfileDataModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_count;
}

QVariant ProfileDataModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_count ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    // The count follows the document only at the next update; rows beyond its values show
    // nothing until then.
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= m_document.Phase().size()) {
        return {};
    }
    const double value = m_document.Phase()[row];
    if (role == Qt::EditRole) {
        return QString::fromStdString(CTessaronDoc::ValueText(value));
    }
    ++m_formatted;
    return QString::fromStdString(numtext::FormatIndex(index.row()) + ": " +
                                  numtext::FormatExp(value, 6, 3));
}

bool ProfileDataModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    return EndEdit(index.row(), value.toString().toStdString());
}

Qt::ItemFlags ProfileDataModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

bool ProfileDataModel::EndEdit(int row, const std::optional<std::string>& text) {
    if (text && row >= 0) {
        // The document checks the entry and updates every view, whatever the outcome.
        return m_document.SetValueText(static_cast<std::size_t>(row), *text);
    }
    // A cancelled edit: every view shows the document's value again all the same.
    m_document.UpdateAllViews(nullptr, HINT_FULL);
    return false;
}

// CProfileDataList

CProfileDataList::CProfileDataList(CTessaronDoc& document, QWidget* parent)
    : QListView(parent), m_model(new ProfileDataModel(document, this)) {
    setObjectName(QString::number(IDC_DATA_LIST));
    setModel(m_model);
    setItemDelegate(new DataDelegate(this));
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    // Rows are sized once, not one by one: only the rows on the screen are ever formatted.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // Editing starts only on request (double click, "Edit Data"), never by the view itself.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selection stays visible, in grey, while the list has no focus.
    QPalette colours = palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Button).darker(125));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::ButtonText));
    setPalette(colours);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CProfileDataList::SyncCurrent);
}

CProfileDataList::~CProfileDataList() = default;

void CProfileDataList::SetItemCount(int count) {
    // An editor on an item that goes away is closed with it; nothing is written.
    if (m_editRow >= count) {
        m_editRow = -1;
        m_committed.reset();
    }
    // Items that go away are deselected. The current item is let go first: otherwise the view
    // would make a neighbour of a removed current item current and select it.
    if (m_current >= count) {
        DeselectElement();
    }
    if (currentIndex().isValid() && currentIndex().row() >= count) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    m_model->SetItemCount(count);
    SyncCurrent();
}

void CProfileDataList::SelectElement(int k) {
    if (k < 0 || k >= m_model->rowCount()) {
        return;
    }
    const QModelIndex index = m_model->index(k);
    setFocus(Qt::OtherFocusReason);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void CProfileDataList::DeselectElement() {
    selectionModel()->clearSelection();
}

void CProfileDataList::EditCurrent() {
    setFocus(Qt::OtherFocusReason);
    PostEditRequest();
}

void CProfileDataList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    setFocus(Qt::MouseFocusReason);
    PostEditRequest();
}

void CProfileDataList::PostEditRequest() {
    // The element is the one selected now; the editor opens once the present event is done.
    const int row = m_current;
    QMetaObject::invokeMethod(
        this, [this, row] { StartEdit(row); }, Qt::QueuedConnection);
}

void CProfileDataList::StartEdit(int row) {
    if (row < 0 || row >= m_model->rowCount()) {
        // A request without an element only ends an edit under way, as a cancel.
        if (m_editRow >= 0) {
            if (QWidget* editor = indexWidget(m_model->index(m_editRow))) {
                closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            }
        }
        return;
    }
    const QModelIndex index = m_model->index(row);
    if (currentIndex() != index) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    scrollTo(index);
    edit(index);
}

bool CProfileDataList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (!QListView::edit(index, trigger, event)) {
        return false;
    }
    if (index.isValid() && index.row() != m_editRow && indexWidget(index)) {
        m_editRow = index.row();
        m_committed.reset();
    }
    return true;
}

void CProfileDataList::commitData(QWidget* editor) {
    // The text is taken into the document once the editor has closed (closeEditor), so that a
    // message about a bad entry never appears while the editor is still handling its keys or
    // its loss of focus.
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        m_committed = line->text().toStdString();
    }
}

void CProfileDataList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const int row = m_editRow;
    std::optional<std::string> text = std::exchange(m_committed, std::nullopt);
    m_editRow = -1;
    // Tab ends the edit; it does not move on to edit the next value.
    if (hint == QAbstractItemDelegate::EditNextItem ||
        hint == QAbstractItemDelegate::EditPreviousItem) {
        hint = QAbstractItemDelegate::NoHint;
    }
    QListView::closeEditor(editor, hint);
    if (row < 0) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, row, text = std::move(text)] { m_model->EndEdit(row, text); },
        Qt::QueuedConnection);
}

void CProfileDataList::SyncCurrent() {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    const int now = selected.isEmpty() ? -1 : selected.first().row();
    if (now != m_current) {
        m_current = now;
        emit currentElementChanged(now);
    }
}
