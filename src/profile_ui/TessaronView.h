// The form of a profile document: the generation wizard (creation mode, its parameter page, the
// jump and minimum-voltage options, "&Generate data"), the profile graph, a free note, the data
// list with import, export and the read-outs of the selected element, and the parameters of the
// profile with their "&Apply" button.
//
// The view owns no profile data. The parameters are edited in copies held here and reach the
// document only through "&Apply"; the creation mode, the correction switch and path, the note
// and single data values go to the document at once; the wizard page's values and the jump
// options go to it when the wizard runs. Every change of the document comes back through
// OnUpdate, which shows the document in the form again.
//
// The controls carry their IDs (profile_ui/ProfileFormIds.h) as object names. When the frame is
// enlarged the controls move and stretch by the form's anchoring table.
//
// The view also prints the profile's report: on page 1 a heading (date, file title, the graph,
// the correction table, the parameters), then every value, four to a line, over as many pages
// as they need. Positions on paper are in tenths of a millimetre from the top left corner of
// the printable area.
#pragma once

#include "profile/TessaronDoc.h"
#include "ui/FormView.h"
#include "ui/PrintJob.h"

#include <QFont>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

class CControlLayout;
class CGraphicWnd;
class CProfileDataList;
class NoteEdit;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class WizardPage;

class CTessaronView : public FormView, public ProfileDocView, public PrintableView {
    Q_OBJECT

public:
    // Registers itself as a view of `document`; the document must outlive the view.
    explicit CTessaronView(CTessaronDoc& document, QWidget* parent = nullptr);
    ~CTessaronView() override;

    CTessaronDoc& GetDocument() const { return m_document; }

    // Shows the document (with its wizard page); inside a child frame, fits the frame to the
    // form and makes that size the frame's minimum; then starts anchoring the controls.
    void OnInitialUpdate();

    // ProfileDocView.
    void OnUpdate(DocumentView* sender, int hint) override;
    void RefreshWizardControls() override;
    void RefreshElementReadouts() override;
    void SetNoteText(const std::string& note) override;

    // Handlers of the form's buttons, public so that commands and tests can run them.
    void OnCreationMode();
    void OnMaxJumping();
    void OnGenerate();
    // Reads the page and the jump options and generates again, keeping the spin steps.
    void RegenerateFromPage();
    // "&Apply": true when the document took the parameters.
    bool OnApply();
    void OnUseCorrection();
    void OnBrowse();
    // "From library": the table of the calibration library for the profile's wave length.
    void OnFromLibrary();
    void OnInsertPath();
    void OnImport();
    void OnExport();
    // "Edit Data": opens the in-place editor on the selected value.
    void OnEditData();
    // The state of "Edit Data": available while a value is selected.
    bool CanEditData() const { return m_nCurElement != -1; }

    // The printed report, one run at a time.
    void OnBeginPrinting(QPainter& painter, PrintInfo& info) override;
    void OnEndPrinting(QPainter& painter, PrintInfo& info) override;
    void OnPrepareDC(QPainter& painter, PrintInfo& info) override;
    void OnPrint(QPainter& painter, PrintInfo& info) override;
    // The report's date line for a local time, e.g. "today is: 14:05, 05 December, 2026".
    static std::string ReportDateLine(const std::tm& local);

    // Gives the keyboard focus to a field and selects its text.
    void FocusField(QWidget* field);

    CGraphicWnd* Graph() const { return m_graph; }
    CProfileDataList* DataList() const { return m_list; }
    WizardPage* Page() const { return m_pWizardPage.get(); }
    int CurrentElement() const { return m_nCurElement; }

signals:
    // The selection of the data list changed, and with it the state of "Edit Data".
    void editDataStateChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    static QFont ReportTextFont();
    static QFont ReportDataFont();
    void CreateControls();
    void ShowWizardPage();
    void ShowLimitControls();
    void ShowCreationMode(int mode);
    void OnParamChange();
    void OnListSelection(int element);
    void ReadJumpOptions();

    CTessaronDoc& m_document;

    // Edit copies of the document's parameters.
    int m_nDacDigits = 0;
    int m_nElements = 0;
    double m_dAperture = 0.0;
    double m_dMaxPhase = 0.0;
    // Creation mode of the page now shown; -1 before the first page.
    int m_nPageMode = -1;
    CGraphicWnd* m_graph = nullptr;
    double m_dLowLimit = 0.0;
    double m_dHighLimit = 0.0;
    int m_nLowCode = 0;
    int m_nHighCode = 0;
    // The selected element of the data list; -1 for none. The graph marks it.
    int m_nCurElement = -1;
    std::unique_ptr<WizardPage> m_pWizardPage;
    std::unique_ptr<CControlLayout> m_pLayout;

    // The report's fonts, described by cell height and average width in tenths of a
    // millimetre; sized for the printer when a page is drawn.
    QFont m_fontText;
    QFont m_fontData;
    // During a print run: entry k - 1 is the index of the first value on the k-th page of
    // values.
    std::vector<int> m_pageStarts;
    // This run's report has the optical check's page as page 2 (a setting, off by default);
    // the values' pages then follow it.
    bool m_checkPage = false;
    int DataPage(int page) const { return m_checkPage && page > 2 ? page - 1 : page; }

    QRadioButton* m_modeDiopters = nullptr;
    QRadioButton* m_modePolynomial = nullptr;
    QGroupBox* m_wizardGroup = nullptr;
    QCheckBox* m_limitJumps = nullptr;
    QLineEdit* m_editMaxJumps = nullptr;
    QCheckBox* m_minVoltage = nullptr;
    QPushButton* m_generate = nullptr;
    QPushButton* m_insertPath = nullptr;
    QLineEdit* m_editDigits = nullptr;
    QLineEdit* m_editMaxPhase = nullptr;
    QLineEdit* m_editElements = nullptr;
    QLineEdit* m_editAperture = nullptr;
    QCheckBox* m_useCorrection = nullptr;
    QLineEdit* m_editPath = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_apply = nullptr;
    CProfileDataList* m_list = nullptr;
    QLineEdit* m_distance = nullptr;
    QLineEdit* m_current = nullptr;
    QLabel* m_pathLabel = nullptr;
    NoteEdit* m_note = nullptr;
    QLabel* m_lowLabel = nullptr;
    QLineEdit* m_editLow = nullptr;
    QLabel* m_highLabel = nullptr;
    QLineEdit* m_editHigh = nullptr;
};
