// The form of a volt-phase document: the parameters of the square pattern (number of elements,
// section length, the two level codes, DAC digits, reference voltage), the voltage each level
// code stands for, the graph of the element codes and a free comment.
//
// Parameter edits stay in the form until "&Apply" takes them into the document (which checks
// them field by field, rebuilds the pattern and updates every view). The comment goes to the
// document at every keystroke and is shown at once in the document's other views.
//
// The controls carry their numeric IDs as object names ("1078", ...), so that the window
// program's code and tests find them by the same numbers.
#pragma once

#include "ui/FormView.h"
#include "volt/LC_VoltDoc.h"

#include <string>

class CGraphicVolt;
class NoteEdit;
class QLabel;
class QLineEdit;
class QPushButton;

class CTessaronVoltView : public FormView, public VoltDocView {
    Q_OBJECT

public:
    // Control IDs of the form.
    enum ControlId : int {
        IDC_GRAPH = 1070,
        IDC_REF_VOLTAGE = 1071,
        IDC_VOLTAGE1 = 1072,
        IDC_VOLTAGE0 = 1073,
        IDC_DAC_DIGITS = 1074,
        IDC_COMMENT = 1075,
        IDC_INSERT_PATH = 1076,
        IDC_APPLY = 1077,
        IDC_SECTION = 1078,
        IDC_ELEMENTS = 1079,
        IDC_LEVEL1 = 1080,
        IDC_LEVEL0 = 1081,
    };

    // Registers itself as a view of `document`; the document must outlive the view.
    CTessaronVoltView(CLC_VoltDoc& document, QWidget* parent = nullptr);
    ~CTessaronVoltView() override;

    CLC_VoltDoc& GetDocument() const { return m_document; }

    // Shows the document in the controls and, inside a child frame, makes the frame exactly as
    // large as the form and fixes it at that size.
    void OnInitialUpdate();
    // Shows the document's values, disables "&Apply" and redraws the graph.
    void OnUpdate(DocumentView* sender, int hint) override;
    // Shows `comment` in the comment field; this is not an edit of the user's.
    void SetCommentText(const std::string& comment) override;

    // "&Apply": takes the fields into the document. A field the document refuses gets the
    // focus with its text selected and "&Apply" stays enabled. True when the document took
    // every field.
    bool OnApply();
    // "Insert &Path": asks for a file and puts its path in place of the comment's selection.
    void OnInsertPath();

    CGraphicVolt* Graph() const { return m_graph; }

private:
    void CreateControls();
    QLineEdit* AddField(int id, bool digitsOnly, int x, int y, int width);
    void ShowVoltage(QLabel* label, int code);
    void OnParamChange();

    CLC_VoltDoc& m_document;
    // Set while the view itself fills the controls: such changes are no edits.
    bool m_filling = false;

    QLineEdit* m_editSection = nullptr;
    QLineEdit* m_editElements = nullptr;
    QLineEdit* m_editLevel1 = nullptr;
    QLineEdit* m_editLevel0 = nullptr;
    QLineEdit* m_editRefVoltage = nullptr;
    QLineEdit* m_editDacDigits = nullptr;
    QLabel* m_voltage1 = nullptr;
    QLabel* m_voltage0 = nullptr;
    QPushButton* m_apply = nullptr;
    CGraphicVolt* m_graph = nullptr;
    NoteEdit* m_comment = nullptr;
    QPushButton* m_insertPath = nullptr;
};
