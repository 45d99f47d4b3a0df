#include "profile_ui/TessaronView.h"

#include "calibration/CalibrationRun.h"
#include "framework/NumberText.h"
#include "framework/Prompter.h"
#include "graphs/GraphicWnd.h"
#include "profile_ui/ControlLayout.h"
#include "profile_ui/DlgP1.h"
#include "profile_ui/DlgP2.h"
#include "profile_ui/ProfileDataList.h"
#include "profile_ui/ProfileFormIds.h"
#include "ui/DialogUnits.h"
#include "ui/FormExchange.h"
#include "ui/NoteEdit.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <vector>

namespace {

// The form measures 384 x 254 dialog units.
constexpr int kFormWidth = 384;
constexpr int kFormHeight = 254;

// A label of two lines in the design whose text the form's font cannot break into its
// rectangle gets a smaller font, down to a legible least size, so that none of it is cut off.
void FitWrappedLabel(QLabel* label, const QFont& formFont) {
    constexpr double kLeastPointSize = 6.0;
    QFont font = formFont;
    label->setFont(font);
    while (label->heightForWidth(label->width()) > label->height() &&
           font.pointSizeF() - 0.5 >= kLeastPointSize) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        label->setFont(font);
    }
}

// A button whose caption may take two lines, as the form's design needs: the style paints the
// button without its caption, then DrawCaption breaks the caption into the room it leaves; a
// caption that fits one line looks as usual.
template <typename Button, QStyle::ControlElement kElement> class WrappingCaption : public Button {
public:
    using Button::Button;

protected:
    virtual void DrawCaption(QStylePainter& painter, const QStyleOptionButton& option) = 0;

    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        this->initStyleOption(&option);
        option.text.clear();
        painter.drawControl(kElement, option);
        DrawCaption(painter, option);
    }
};

class WrappingPushButton : public WrappingCaption<QPushButton, QStyle::CE_PushButton> {
public:
    using WrappingCaption::WrappingCaption;

protected:
    void DrawCaption(QStylePainter& painter, const QStyleOptionButton&) override {
        painter.drawItemText(rect().adjusted(2, 1, -2, -1),
                             Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic, palette(),
                             isEnabled(), text(), QPalette::ButtonText);
    }
};

class WrappingCheckBox : public WrappingCaption<QCheckBox, QStyle::CE_CheckBox> {
public:
    using WrappingCaption::WrappingCaption;

protected:
    void DrawCaption(QStylePainter& painter, const QStyleOptionButton& option) override {
        const QRect indicator =
            style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
        const int spacing = style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
        QRect room = rect();
        room.setLeft(indicator.right() + 1 + spacing);
        painter.drawItemText(
            room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
            palette(), isEnabled(), text(), QPalette::WindowText);
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = room;
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
};

// What each control of the form does, for context help ("?" and a click, or Shift+F1). A label
// says what its field says.
struct ControlHelp {
    int ids[2]; // the control, and its label or frame (0 for none)
    const char* text;
};
const ControlHelp kControlHelp[] = {
    {{IDC_MODE_GROUP},
     "How the wizard computes the profile: as a thin lens of a given power, or from a "
     "polynomial."},
    {{IDC_MODE_DIOPTERS},
     "Diopters: the wizard computes a thin lens of the optical power and the laser's wave length "
     "given below."},
    {{IDC_MODE_POLYNOMIAL},
     "Polynomial coeffs: the wizard computes the phase a0 + a1*x + a2*x^2 + a3*x^3 (radians) from "
     "the coefficients given below."},
    {{IDC_WIZARD_GROUP},
     "The wizard's values for the chosen creation mode, and how it folds the phase into the window "
     "between the low and the high limit."},
    {{IDC_LIMIT_JUMPS},
     "Max. jumping: while checked, Generate data takes at most the given number of whole waves "
     "(2PI) off between neighbouring elements."},
    {{IDC_MAX_JUMPS},
     "The most whole waves (2PI) that Generate data may take off between neighbouring elements, "
     "while Max. jumping is checked."},
    {{IDC_MIN_VOLTAGE},
     "Try minimum voltage: keeps every value within one wave above the low limit, so that the "
     "profile asks for the lowest voltages the window allows."},
    {{IDC_GENERATE},
     "Generate data: computes every value of the profile from the wizard's values and the applied "
     "parameters, folded into the window between the low and the high limit."},
    {{IDC_NOTE}, "A free note kept with the profile in its file, such as what it was made for."},
    {{IDC_INSERT_PATH},
     "Insert Path: asks for a file and puts its path into the note at the cursor."},
    {{IDC_DATA_LABEL, IDC_DATA_LIST},
     "The profile's values in parts of PI, one per element. Double-click a value (or use Edit > "
     "Edit Data) to change it; the graph marks the selected element."},
    {{IDC_IMPORT},
     "Import: reads the values from a text file of phases (*.txt) or of DAC codes (*.dat)."},
    {{IDC_EXPORT},
     "Export: writes the phases, the DAC codes a Send transmits or, while the correction table is "
     "used, the corrected codes into a file."},
    {{IDC_DISTANCE_LABEL, IDC_DISTANCE},
     "The selected element's distance from the centre of the aperture in metres, negative on the "
     "left."},
    {{IDC_CURRENT_LABEL, IDC_CURRENT},
     "The index of the element selected in the data list, counted from 0."},
    {{IDC_GRAPH},
     "The profile: the phase of every element (red), the low and high limits (orange), the "
     "corrected codes while the correction table is used (blue) and the selected element. A click "
     "selects an element in the data list."},
    {{IDC_PARAMS_GROUP},
     "The profile's geometry and phase window. Changes reach the profile when you press Apply."},
    {{IDC_DIGITS_LABEL, IDC_DIGITS},
     "Digits in DAC: the resolution of the controller's DAC, 10 to 16 bits. Takes effect with "
     "Apply."},
    {{IDC_MAX_PHASE_LABEL, IDC_MAX_PHASE},
     "Maximum phase: the phase of the DAC's highest level in parts of PI, 0 to 100 (2 is one "
     "wave). Takes effect with Apply."},
    {{IDC_ELEMENTS_LABEL, IDC_ELEMENTS},
     "Number of elements: the electrodes across the aperture, 1 to 512. Apply cuts the values off "
     "at the end or adds zeros there."},
    {{IDC_APERTURE_LABEL, IDC_APERTURE},
     "Aperture: from the centre of the first element to that of the last, in metres (0 to 10). "
     "Takes effect with Apply."},
    {{IDC_LOW_LABEL, IDC_LOW},
     "Low limit: the bottom of the window the wizard folds the phase into, in parts of PI, or as a "
     "DAC code while the correction table is used. Takes effect with Apply."},
    {{IDC_HIGH_LABEL, IDC_HIGH},
     "High limit: the top of the window the wizard folds the phase into; above the low limit and "
     "at most the maximum phase. Takes effect with Apply."},
    {{IDC_USE_CORRECTION},
     "Use Correction Table: the codes go through a measured table of the liquid crystal when they "
     "are sent or exported; the limits are then given as DAC codes."},
    {{IDC_PATH_LABEL, IDC_CORRECTION_PATH}, "The file of the correction table in use."},
    {{IDC_BROWSE},
     "Browse: picks another file for the correction table, which is read and checked at once."},
    {{IDC_FROM_LIBRARY},
     "From library: makes the correction table for the profile's wave length from the calibration "
     "library's records (picked or interpolated) and switches it on."},
    {{IDC_APPLY_FRAME, IDC_APPLY},
     "Apply: checks the parameters and takes them into the profile. A field out of range gets a "
     "message and the keyboard focus."},
};

} // namespace

CTessaronView::CTessaronView(CTessaronDoc& document, QWidget* parent)
    : FormView(kFormWidth, kFormHeight, parent), m_document(document), m_fontText(ReportTextFont()),
      m_fontData(ReportDataFont()) {
    CreateControls();
    m_document.AddView(this);
}

CTessaronView::~CTessaronView() {
    m_document.RemoveView(this);
    m_pLayout.reset();
    m_pWizardPage.reset();
}

void CTessaronView::CreateControls() {
    const DialogUnits units(font());
    std::vector<QWidget*> tabOrder;
    auto place = [&](QWidget* control, int id, int x, int y, int width, int height) {
        if (id != 0) {
            control->setObjectName(QString::number(id));
        }
        units.Place(control, x, y, width, height);
        if (control->focusPolicy() & Qt::TabFocus) {
            tabOrder.push_back(control);
        }
    };
    auto label = [&](const char* text, int id, int x, int y, int width, int height) {
        auto* control = new QLabel(QString::fromLatin1(text), this);
        control->setTextFormat(Qt::PlainText);
        place(control, id, x, y, width, height);
        // Labels of two lines in the design break their text as the design does.
        if (height > 10) {
            control->setWordWrap(true);
            FitWrappedLabel(control, font());
        }
        return control;
    };
    auto group = [&](const char* text, int id, int x, int y, int width, int height) {
        auto* control = new QGroupBox(QString::fromLatin1(text), this);
        // A group box only frames: clicks go through to the controls inside it, also where
        // the anchoring stacks the box above them.
        control->setAttribute(Qt::WA_TransparentForMouseEvents);
        control->setFocusPolicy(Qt::NoFocus);
        place(control, id, x, y, width, height);
        return control;
    };
    auto edit = [&](int id, bool digitsOnly, int x, int y, int width, int height) {
        auto* control = new QLineEdit(this);
        if (digitsOnly) {
            control->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), control));
        }
        place(control, id, x, y, width, height);
        return control;
    };
    auto readout = [&](int id, int x, int y, int width, int height) {
        QLineEdit* control = edit(id, false, x, y, width, height);
        control->setReadOnly(true);
        return control;
    };
    auto button = [&](QPushButton* control, int id, int x, int y, int width, int height) {
        control->setAutoDefault(false);
        place(control, id, x, y, width, height);
        return control;
    };

    // Created in the order the Tab key visits them.
    m_modeDiopters = new QRadioButton(QStringLiteral("Diopters"), this);
    place(m_modeDiopters, IDC_MODE_DIOPTERS, 9, 15, 80, 10);
    m_modePolynomial = new QRadioButton(QStringLiteral("Polynomial coeffs"), this);
    place(m_modePolynomial, IDC_MODE_POLYNOMIAL, 9, 27, 71, 10);
    m_wizardGroup = group("Wizard: Properties...", IDC_WIZARD_GROUP, 3, 41, 95, 141);
    m_limitJumps = new WrappingCheckBox(QStringLiteral("Max. jumping (in numbers of 2PI):"), this);
    place(m_limitJumps, IDC_LIMIT_JUMPS, 8, 134, 66, 16);
    m_editMaxJumps = edit(IDC_MAX_JUMPS, true, 74, 137, 21, 14);
    m_minVoltage = new QCheckBox(QStringLiteral("Try minimum voltage"), this);
    place(m_minVoltage, IDC_MIN_VOLTAGE, 8, 153, 80, 10);
    m_generate = button(new QPushButton(QStringLiteral("&Generate data"), this), IDC_GENERATE, 6,
                        165, 89, 14);
    m_insertPath = button(new WrappingPushButton(QStringLiteral("Insert &Path"), this),
                          IDC_INSERT_PATH, 264, 168, 35, 21);
    m_editDigits = edit(IDC_DIGITS, true, 56, 199, 40, 14);
    m_editMaxPhase = edit(IDC_MAX_PHASE, false, 158, 199, 40, 14);
    m_editElements = edit(IDC_ELEMENTS, true, 56, 216, 40, 14);
    m_editAperture = edit(IDC_APERTURE, false, 158, 216, 40, 14);
    m_useCorrection = new QCheckBox(QStringLiteral("Use Correction Table"), this);
    place(m_useCorrection, IDC_USE_CORRECTION, 224, 202, 83, 10);
    m_editPath = readout(IDC_CORRECTION_PATH, 224, 216, 64, 14);
    QPushButton* fromLibrary = button(new QPushButton(QStringLiteral("From library"), this),
                                      IDC_FROM_LIBRARY, 290, 216, 49, 14);
    fromLibrary->setToolTip(QStringLiteral(
        "Use the calibration library's correction table for the profile's wave length"));
    m_editPath->setEnabled(false);
    m_browse =
        button(new QPushButton(QStringLiteral("Browse"), this), IDC_BROWSE, 341, 216, 36, 14);
    m_browse->setEnabled(false);
    m_apply = button(new QPushButton(QStringLiteral("&Apply"), this), IDC_APPLY, 325, 201, 52, 14);
    m_apply->setEnabled(false);
    label("Data (in parts of PI):", IDC_DATA_LABEL, 310, 7, 68, 8);
    m_list = new CProfileDataList(m_document, this);
    place(m_list, IDC_DATA_LIST, 302, 17, 79, 121);
    QPushButton* import =
        button(new QPushButton(QStringLiteral("&Import"), this), IDC_IMPORT, 302, 141, 39, 14);
    QPushButton* exportButton =
        button(new QPushButton(QStringLiteral("&Export"), this), IDC_EXPORT, 342, 141, 39, 14);
    label("Distance to center, m:", IDC_DISTANCE_LABEL, 302, 158, 36, 17);
    m_distance = readout(IDC_DISTANCE, 341, 160, 40, 13);
    label("Current el:", IDC_CURRENT_LABEL, 306, 177, 34, 8);
    m_current = readout(IDC_CURRENT, 341, 175, 40, 13);
    m_graph = new CGraphicWnd(this);
    place(m_graph, IDC_GRAPH, 101, 6, 197, 160);
    group("Wizard: Creation mode", IDC_MODE_GROUP, 3, 3, 95, 37);
    label("Digits in DAC:", IDC_DIGITS_LABEL, 10, 202, 44, 8);
    label("Maximum phase (in parts of PI):", IDC_MAX_PHASE_LABEL, 103, 198, 51, 17);
    label("Number of el.:", IDC_ELEMENTS_LABEL, 10, 219, 45, 8);
    label("Aperture, m:", IDC_APERTURE_LABEL, 116, 219, 40, 9);
    m_pathLabel = label("Path:", IDC_PATH_LABEL, 204, 219, 18, 8);
    m_pathLabel->setEnabled(false);
    group("Parametrs of current profile", IDC_PARAMS_GROUP, 3, 186, 378, 65);
    group("", IDC_APPLY_FRAME, 321, 198, 58, 18);
    m_note = new NoteEdit(m_document.GetPrompter(), this);
    m_note->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place(m_note, IDC_NOTE, 101, 168, 160, 21);
    m_lowLabel = label("Low limit (in parts of PI):", IDC_LOW_LABEL, 14, 232, 38, 16);
    m_editLow = edit(IDC_LOW, false, 56, 233, 40, 14);
    m_highLabel = label("High limit (in parts of PI):", IDC_HIGH_LABEL, 116, 232, 38, 16);
    m_editHigh = edit(IDC_HIGH, false, 158, 233, 40, 14);

    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    for (const ControlHelp& help : kControlHelp) {
        for (int id : help.ids) {
            if (id != 0) {
                Control(id)->setWhatsThis(QString::fromLatin1(help.text));
            }
        }
    }

    m_graph->SetDocument(&m_document);
    m_graph->SetCurrentElementSource([this] { return m_nCurElement; });

    connect(m_modeDiopters, &QRadioButton::clicked, this, &CTessaronView::OnCreationMode);
    connect(m_modePolynomial, &QRadioButton::clicked, this, &CTessaronView::OnCreationMode);
    connect(m_limitJumps, &QCheckBox::clicked, this, &CTessaronView::OnMaxJumping);
    connect(m_generate, &QPushButton::clicked, this, &CTessaronView::OnGenerate);
    connect(m_apply, &QPushButton::clicked, this, &CTessaronView::OnApply);
    connect(m_useCorrection, &QCheckBox::clicked, this, &CTessaronView::OnUseCorrection);
    connect(m_browse, &QPushButton::clicked, this, &CTessaronView::OnBrowse);
    connect(fromLibrary, &QPushButton::clicked, this, &CTessaronView::OnFromLibrary);
    connect(m_insertPath, &QPushButton::clicked, m_note, &NoteEdit::InsertPath);
    connect(import, &QPushButton::clicked, this, &CTessaronView::OnImport);
    connect(exportButton, &QPushButton::clicked, this, &CTessaronView::OnExport);
    connect(m_note, &NoteEdit::edited, this, [this] { m_document.SetNote(m_note->Text(), this); });
    for (QLineEdit* field :
         {m_editDigits, m_editMaxPhase, m_editElements, m_editAperture, m_editLow, m_editHigh}) {
        connect(field, &QLineEdit::textChanged, this, &CTessaronView::OnParamChange);
    }
    connect(m_list, &CProfileDataList::currentElementChanged, this,
            &CTessaronView::OnListSelection);
    connect(m_graph, &CGraphicWnd::elementClicked, m_list, &CProfileDataList::SelectElement);
}

void CTessaronView::OnInitialUpdate() {
    OnUpdate(nullptr, HINT_FULL);
    // Inside a child frame the frame takes exactly the form's size, which is then the least
    // size it can be dragged to.
    FitFrameToForm(false);
    // The anchoring starts from the design size, whatever size a frame not shown yet has
    // given the form for a moment; the controls still stand where the design put them.
    resize(sizeHint());
    m_pLayout =
        std::make_unique<CControlLayout>(kProfileFormAnchors, kProfileFormAnchorCount, *this);
}

void CTessaronView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_pLayout) {
        m_pLayout->Arrange();
    }
}

void CTessaronView::OnUpdate(DocumentView* /*sender*/, int hint) {
    const CTessaronDoc& doc = m_document;
    m_dAperture = doc.Aperture();
    m_dMaxPhase = doc.MaxPhase();
    m_nDacDigits = doc.DacDigits();
    m_nElements = doc.Elements();
    const bool inDigits = doc.UseCorrection() != 0;
    if (inDigits) {
        // The limits as the codes the table gives their levels; the document keeps the index
        // inside the table for any values loaded from a file.
        m_nLowCode = doc.PhaseToDigits(doc.LowLimit());
        m_nHighCode = doc.PhaseToDigits(doc.HighLimit());
    } else {
        m_dLowLimit = doc.LowLimit();
        m_dHighLimit = doc.HighLimit();
    }

    // Every bound control takes its value, in the order the form exchanges them.
    FormExchange::WriteDouble(m_editAperture, m_dAperture);
    FormExchange::WriteDouble(m_editMaxPhase, m_dMaxPhase);
    ShowCreationMode(doc.CreationMode());
    m_useCorrection->setChecked(inDigits);
    FormExchange::SetText(m_editPath,
                          QFile::decodeName(QByteArray::fromStdString(doc.CorrectionPath())));
    SetNoteText(doc.Note());
    FormExchange::WriteInt(m_editDigits, m_nDacDigits);
    FormExchange::WriteInt(m_editElements, m_nElements);
    if (inDigits) {
        FormExchange::WriteInt(m_editLow, m_nLowCode);
        FormExchange::WriteInt(m_editHigh, m_nHighCode);
    } else {
        FormExchange::WriteDouble(m_editLow, m_dLowLimit);
        FormExchange::WriteDouble(m_editHigh, m_dHighLimit);
    }

    if (hint == HINT_FULL) {
        RefreshWizardControls();
    }
    ShowLimitControls();

    const int values = static_cast<int>(doc.Phase().size());
    if (m_nCurElement >= values) {
        // The selection handler sets m_nCurElement to -1.
        m_list->DeselectElement();
    }
    m_list->SetItemCount(values);
    m_graph->update();
    // Showing the values raised change notifications of the fields; nothing is edited yet.
    m_apply->setEnabled(false);
}

void CTessaronView::ShowCreationMode(int mode) {
    // A mode other than the two (only a file can hold one) checks neither button; exclusive
    // buttons cannot be cleared while they are exclusive.
    const bool known = mode == CTessaronDoc::MODE_DIOPTERS || mode == CTessaronDoc::MODE_POLYNOMIAL;
    if (!known) {
        for (QRadioButton* radio : {m_modeDiopters, m_modePolynomial}) {
            radio->setAutoExclusive(false);
            radio->setChecked(false);
            radio->setAutoExclusive(true);
        }
        return;
    }
    (mode == CTessaronDoc::MODE_DIOPTERS ? m_modeDiopters : m_modePolynomial)->setChecked(true);
}

void CTessaronView::ShowLimitControls() {
    const bool inDigits = m_document.UseCorrection() != 0;
    m_editPath->setEnabled(inDigits);
    m_pathLabel->setEnabled(inDigits);
    m_browse->setEnabled(inDigits);
    m_lowLabel->setText(inDigits ? QStringLiteral("Low limit (in digits):")
                                 : QStringLiteral("Low limit (in parts of PI):"));
    m_highLabel->setText(inDigits ? QStringLiteral("High limit (in digits):")
                                  : QStringLiteral("High limit (in parts of PI):"));
    FitWrappedLabel(m_lowLabel, font());
    FitWrappedLabel(m_highLabel, font());
}

void CTessaronView::RefreshWizardControls() {
    const CTessaronDoc& doc = m_document;
    // The mode buttons go with the page: another view of the document may have switched it.
    ShowCreationMode(doc.CreationMode());
    ShowWizardPage();
    m_editMaxJumps->setEnabled(doc.LimitJumps() != 0);
    FormExchange::WriteInt(m_editMaxJumps, doc.MaxJumps());
    m_limitJumps->setChecked(doc.LimitJumps() != 0);
    m_minVoltage->setChecked(doc.MinVoltage() != 0);
}

void CTessaronView::ShowWizardPage() {
    const int mode = m_document.CreationMode();
    if (m_nPageMode == mode && m_pWizardPage) {
        m_pWizardPage->UpdateData(false);
        return;
    }
    m_pWizardPage.reset();
    m_nPageMode = mode;
    auto regenerate = [this] { RegenerateFromPage(); };
    if (mode == CTessaronDoc::MODE_DIOPTERS) {
        m_pWizardPage = std::make_unique<CDlgP1>(m_document, regenerate, this);
    } else if (mode == CTessaronDoc::MODE_POLYNOMIAL) {
        m_pWizardPage = std::make_unique<CDlgP2>(m_document, regenerate, this);
    } else {
        return; // no page generates in another mode
    }
    // Centred in the group box (each half truncated), at the top of the room the box leaves for
    // controls, below its title and the line of its frame.
    const QRect box = m_wizardGroup->geometry();
    const int left = (box.left() + box.left() + box.width()) / 2 - m_pWizardPage->width() / 2;
    m_pWizardPage->move(left, box.top() + m_wizardGroup->contentsRect().top());
    m_pWizardPage->show();

    // The Tab key visits the page's fields after the creation mode and before the jump
    // options, where the page stands.
    QWidget* previous = m_modePolynomial;
    for (QWidget* child : m_pWizardPage->findChildren<QWidget*>()) {
        if (child->focusPolicy() & Qt::TabFocus) {
            setTabOrder(previous, child);
            previous = child;
        }
    }
    setTabOrder(previous, m_limitJumps);
}

void CTessaronView::OnCreationMode() {
    // Every view shows the page of the new mode; the document is not modified by it.
    m_document.SetCreationMode(m_modeDiopters->isChecked() ? CTessaronDoc::MODE_DIOPTERS
                                                           : CTessaronDoc::MODE_POLYNOMIAL);
}

void CTessaronView::OnMaxJumping() {
    m_editMaxJumps->setEnabled(m_limitJumps->isChecked());
}

void CTessaronView::ReadJumpOptions() {
    m_document.SetJumpOptions(m_limitJumps->isChecked(),
                              numtext::ParseInt(m_editMaxJumps->text().toStdString()).value_or(0),
                              m_minVoltage->isChecked());
}

void CTessaronView::OnGenerate() {
    if (m_pWizardPage && !m_pWizardPage->UpdateData(true)) {
        return;
    }
    ReadJumpOptions();
    // Generation uses the applied parameters; its update of every view (HINT_FULL) replaces
    // edits not applied yet.
    m_document.GenerateData(true);
}

void CTessaronView::RegenerateFromPage() {
    if (m_pWizardPage && !m_pWizardPage->UpdateData(true)) {
        return;
    }
    ReadJumpOptions();
    m_document.GenerateData(false);
}

bool CTessaronView::OnApply() {
    CTessaronDoc& doc = m_document;
    // The fields in the form's exchange order; the first bad one stops the read with its
    // message and the focus on it. Nothing reaches the document before every field passed.
    ProfileParameters params;
    params.limitsInDigits = doc.UseCorrection() != 0;
    FormExchange dx(doc.GetPrompter());
    const bool read =
        dx.ReadDouble(m_editAperture, params.aperture, limits::kMinAperture,
                      limits::kMaxAperture) &&
        dx.ReadDouble(m_editMaxPhase, params.maxPhase, limits::kMinMaxPhase,
                      limits::kMaxMaxPhase) &&
        dx.ReadInt(m_editDigits, params.dacDigits, limits::kMinDacDigits, limits::kMaxDacDigits) &&
        dx.ReadInt(m_editElements, params.elements, limits::kMinElements, limits::kMaxElements) &&
        (params.limitsInDigits
             ? dx.ReadInt(m_editLow, params.lowCode, limits::kMinLimitCode,
                          limits::kMaxLimitCode) &&
                   dx.ReadInt(m_editHigh, params.highCode, limits::kMinLimitCode,
                              limits::kMaxLimitCode)
             : dx.ReadDouble(m_editLow, params.lowLimit, limits::kMinLimit, limits::kMaxLimit) &&
                   dx.ReadDouble(m_editHigh, params.highLimit, limits::kMinLimit,
                                 limits::kMaxLimit));
    if (!read) {
        return false;
    }
    m_dAperture = params.aperture;
    m_dMaxPhase = params.maxPhase;
    m_nDacDigits = params.dacDigits;
    m_nElements = params.elements;
    m_dLowLimit = params.lowLimit;
    m_dHighLimit = params.highLimit;
    m_nLowCode = params.lowCode;
    m_nHighCode = params.highCode;

    using Result = CTessaronDoc::ApplyResult;
    const Result result = doc.ApplyParameters(params);
    if (result == Result::Applied) {
        // The document has updated every view, which disabled "&Apply" here; a focus that was
        // on the button has moved on to the next control.
        if (m_apply->hasFocus()) {
            focusNextChild();
        }
        m_apply->setEnabled(false);
        return true;
    }
    FormExchange::FocusFieldOf<Result>(result, {{Result::BadAperture, m_editAperture},
                                                {Result::BadMaxPhase, m_editMaxPhase},
                                                {Result::DataOutOfRange, m_editMaxPhase},
                                                {Result::BadDacDigits, m_editDigits},
                                                {Result::BadElements, m_editElements},
                                                {Result::BadLowLimit, m_editLow},
                                                {Result::BadHighLimit, m_editHigh},
                                                {Result::BadLimits, m_editHigh}});
    return false;
}

void CTessaronView::FocusField(QWidget* field) {
    FormExchange::FocusField(field);
}

void CTessaronView::OnParamChange() {
    m_apply->setEnabled(true);
}

void CTessaronView::OnUseCorrection() {
    m_document.SetUseCorrection(m_useCorrection->isChecked());
}

void CTessaronView::OnBrowse() {
    m_document.BrowseCorrectionTable();
}

void CTessaronView::OnFromLibrary() {
    Prompter& prompter = m_document.GetPrompter();
    const double waveLength = m_document.WaveLength();
    if (!(waveLength > 0.0)) {
        prompter.MessageBox("The profile has no wave length: generate a lens at the wave length "
                            "of the light first.",
                            MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const auto written =
        calibration::WriteLibraryTable(calibration::CalibrationFolder(m_document.Settings()),
                                       waveLength, m_document.DacDigits(), m_document.MaxPhase());
    if (!written) {
        prompter.MessageBox(written.Message(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The document's own switch, with its checks and its message when the table is refused.
    if (m_document.UseCorrectionTable(written->path)) {
        prompter.MessageBox("The correction table " + written->path +
                                " is in use: " + written->description + ".",
                            MB_OK | MB_ICONINFORMATION);
    }
}

void CTessaronView::SetNoteText(const std::string& note) {
    m_note->SetText(note);
}

void CTessaronView::OnInsertPath() {
    m_note->InsertPath();
}

void CTessaronView::OnImport() {
    m_document.ImportData();
}

void CTessaronView::OnExport() {
    m_document.ExportData();
}

void CTessaronView::OnEditData() {
    m_list->EditCurrent();
}

void CTessaronView::OnListSelection(int element) {
    m_nCurElement = element;
    m_graph->update();
    RefreshElementReadouts();
    emit editDataStateChanged();
}

void CTessaronView::RefreshElementReadouts() {
    if (m_nCurElement == -1) {
        m_distance->clear();
        m_current->clear();
        return;
    }
    const CTessaronDoc& doc = m_document;
    const double i = m_nCurElement;
    const double n = doc.Elements();
    // With a single element there is no spread to measure: it stands at the centre.
    const double distance = n > 1.0 ? (i - (n - 1.0) / 2.0) / (n - 1.0) * doc.Aperture() : 0.0;
    m_distance->setText(QString::fromStdString(numtext::FormatExp(distance, 2, 3)));
    m_current->setText(QString::number(m_nCurElement));
}
