// The data list of the profile editor: one row per phase value of the document, "007:
// 2.500000e+000", with single selection and in-place editing of one value.
//
// The list keeps no texts. Its model holds only the item count that the editor sets at every
// update and formats a row from the document when the row is drawn, so a long profile costs
// no more than the rows on the screen.
//
// An edit ends in the document: an accepted number (from 0 to the maximum phase) replaces the
// element's value and marks the document modified, a rejected one shows a message and keeps
// the value, and in every case, a cancelled edit included, all views of the document are
// updated so the row shows the document's value again.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <optional>
#include <string>

class CTessaronDoc;

class ProfileDataModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit ProfileDataModel(CTessaronDoc& document, QObject* parent = nullptr);

    // The number of rows. Rows added or removed are announced as such and the remaining rows
    // as changed, so the view keeps its selection and redraws the values.
    void SetItemCount(int count);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // DisplayRole: "%.3d: %Le" of index and value; EditRole: the value alone.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // EditRole with the typed text: EndEdit of that row.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The end of an edit of row `row`; no text means the edit was cancelled. Returns whether a
    // value was stored. Every call ends with an update of all views of the document.
    bool EndEdit(int row, const std::optional<std::string>& text);

    // How many row texts were formatted so far (what drawing the list has cost).
    int FormattedTexts() const { return m_formatted; }

private:
    CTessaronDoc& m_document;
    int m_count = 0;
    mutable int m_formatted = 0;
};

class CProfileDataList : public QListView {
    Q_OBJECT

public:
    // The list of the form control IDC_DATA_LIST ("1041"). The document checks the entries and
    // shows the message about a rejected one; it must outlive the list.
    explicit CProfileDataList(CTessaronDoc& document, QWidget* parent = nullptr);
    ~CProfileDataList() override;

    ProfileDataModel* DataModel() const { return m_model; }
    using QListView::edit;

    // The number of items: the number of the document's values, set at every update.
    void SetItemCount(int count);

    // The index of the selected item, or -1 when none is selected.
    int CurrentElement() const { return m_current; }
    // Gives the list the focus, selects item k and scrolls it into view; nothing for an index
    // outside the list.
    void SelectElement(int k);
    void DeselectElement();

    // "Edit Data": focus to the list, then a posted request to edit the selected item. The
    // editor opens after the present command or click has been handled; without a selection
    // the request only ends an edit under way.
    void EditCurrent();
    // Whether an in-place editor is open.
    bool IsEditing() const { return m_editRow >= 0; }

    // The column of the list is this wide (pixels), or as wide as a typical row's text needs
    // in a larger font; a narrower list scrolls sideways.
    static constexpr int kColumnWidth = 120;

signals:
    // The selection changed: the newly selected index, or -1 when the item was deselected.
    void currentElementChanged(int element);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void PostEditRequest();
    void StartEdit(int row);
    void SyncCurrent();

    ProfileDataModel* m_model = nullptr;
    int m_current = -1;
    // The row whose editor is open (-1: none) and the text it committed before closing.
    int m_editRow = -1;
    std::optional<std::string> m_committed;
};
