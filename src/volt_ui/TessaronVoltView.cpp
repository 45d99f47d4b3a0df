#include "volt_ui/TessaronVoltView.h"

#include "framework/NumberText.h"
#include "framework/Prompter.h"
#include "graphs/GraphicVolt.h"
#include "ui/DialogUnits.h"
#include "ui/FormExchange.h"
#include "ui/NoteEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>

namespace {

// The form measures 251 x 203 dialog units.
constexpr int kFormWidth = 251;
constexpr int kFormHeight = 203;

// The height of a parameter field, in dialog units.
constexpr int kFieldHeight = 13;

// Where the labels of the two columns of fields start and how wide they may be, and where
// the fields start and how wide they are. The left labels have room for their longest text,
// "Number of elements in section:", on one line.
constexpr int kLeftLabelX = 4, kLeftLabelWidth = 99, kLeftFieldX = 105, kLeftFieldWidth = 36;
constexpr int kRightLabelX = 145, kRightLabelWidth = 60, kRightFieldX = 207, kRightFieldWidth = 40;
// The voltages stand in the right column's label room, after their "Voltage:"; their texts
// may grow up to the column of the Apply button.
constexpr int kVoltageLabelWidth = 26, kVoltageX = 172, kVoltageWidth = 32;
constexpr int kVoltageRight = 205;

QLabel* AddLabel(QWidget* form, const DialogUnits& units, const char* text, int x, int y,
                 int width) {
    auto* label = new QLabel(QString::fromLatin1(text), form);
    label->setTextFormat(Qt::PlainText);
    units.Place(label, x, y, width, DialogUnits::kLabelHeight);
    return label;
}

// The label left of a field whose top is at `fieldY`. A text too long for its room (in a wide
// font) breaks into two lines centred on the field instead of being cut off.
QLabel* AddFieldLabel(QWidget* form, const DialogUnits& units, const char* text, int x, int fieldY,
                      int width) {
    QLabel* label = AddLabel(form, units, text, x, fieldY + DialogUnits::kLabelDrop, width);
    if (label->sizeHint().width() <= label->width()) {
        return label;
    }
    label->setWordWrap(true);
    const int height = label->heightForWidth(label->width());
    const int middle = units.ToPixels(x, fieldY, width, kFieldHeight).center().y();
    label->setGeometry(label->x(), std::max(0, middle - height / 2), label->width(), height);
    return label;
}

} // namespace

CTessaronVoltView::CTessaronVoltView(CLC_VoltDoc& document, QWidget* parent)
    : FormView(kFormWidth, kFormHeight, parent), m_document(document) {
    CreateControls();
    m_document.AddView(this);
}

CTessaronVoltView::~CTessaronVoltView() {
    m_document.RemoveView(this);
}

QLineEdit* CTessaronVoltView::AddField(int id, bool digitsOnly, int x, int y, int width) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::number(id));
    if (digitsOnly) {
        field->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
    }
    DialogUnits(font()).Place(field, x, y, width, kFieldHeight);
    connect(field, &QLineEdit::textChanged, this, &CTessaronVoltView::OnParamChange);
    // Enter presses the default button, as on any form.
    connect(field, &QLineEdit::returnPressed, this, [this] {
        if (m_apply->isEnabled()) {
            m_apply->click();
        }
    });
    return field;
}

void CTessaronVoltView::CreateControls() {
    const DialogUnits units(font());

    // The parameter fields, each with its label before it, in the order the Tab key visits
    // them: the left column, then the right one.
    const struct {
        const char* label;
        int id;
        bool digitsOnly;
        bool rightColumn;
        int y;
        QLineEdit*& field;
        const char* help;
    } fields[] = {
        {"Number of elements in section:", IDC_SECTION, true, false, 4, m_editSection,
         "Number of elements in section: how many neighbouring elements share a level. The row "
         "starts with that many elements at level 1, then as many at level 0, and so on. Takes "
         "effect with Apply."},
        {"Number of elements:", IDC_ELEMENTS, true, false, 18, m_editElements,
         "Number of elements: the electrodes of the row, 1 to 512. Takes effect with Apply."},
        {"Code for DAC (Level 1):", IDC_LEVEL1, true, false, 32, m_editLevel1,
         "Code for DAC (Level 1): the DAC code of the first section and of every second one after "
         "it, from 0 to half the DAC's range less one. Takes effect with Apply."},
        {"Code for DAC (Level 0):", IDC_LEVEL0, true, false, 46, m_editLevel0,
         "Code for DAC (Level 0): the DAC code of the sections between those of level 1, from 0 "
         "to half the DAC's range less one. Takes effect with Apply."},
        {"Reference voltage:", IDC_REF_VOLTAGE, false, true, 4, m_editRefVoltage,
         "Reference voltage: the voltage of the DAC's full range, from which the voltages of the "
         "two levels are worked out. Takes effect with Apply."},
        {"Digits in DAC:", IDC_DAC_DIGITS, true, true, 18, m_editDacDigits,
         "Digits in DAC: the resolution of the controller's DAC, 10 to 16 bits. Takes effect "
         "with Apply."},
    };
    for (const auto& row : fields) {
        QLabel* label =
            AddFieldLabel(this, units, row.label, row.rightColumn ? kRightLabelX : kLeftLabelX,
                          row.y, row.rightColumn ? kRightLabelWidth : kLeftLabelWidth);
        row.field = AddField(row.id, row.digitsOnly, row.rightColumn ? kRightFieldX : kLeftFieldX,
                             row.y, row.rightColumn ? kRightFieldWidth : kLeftFieldWidth);
        Explain({label, row.field}, row.help);
    }

    // The voltages stand in the rows of the two level codes.
    QLabel* voltage1Label = AddLabel(this, units, "Voltage:", kRightLabelX, 34, kVoltageLabelWidth);
    m_voltage1 = AddLabel(this, units, "", kVoltageX, 34, kVoltageWidth);
    m_voltage1->setObjectName(QString::number(IDC_VOLTAGE1));
    Explain({voltage1Label, m_voltage1},
            "The voltage level 1 stands for: its code times the reference voltage over the DAC's "
            "steps, as applied last.");
    QLabel* voltage0Label = AddLabel(this, units, "Voltage:", kRightLabelX, 48, kVoltageLabelWidth);
    m_voltage0 = AddLabel(this, units, "", kVoltageX, 48, kVoltageWidth);
    m_voltage0->setObjectName(QString::number(IDC_VOLTAGE0));
    Explain({voltage0Label, m_voltage0},
            "The voltage level 0 stands for: its code times the reference voltage over the DAC's "
            "steps, as applied last.");

    m_apply = new QPushButton(QStringLiteral("&Apply"), this);
    m_apply->setObjectName(QString::number(IDC_APPLY));
    m_apply->setDefault(true);
    m_apply->setEnabled(false);
    units.Place(m_apply, 207, 45, 40, 14);
    connect(m_apply, &QPushButton::clicked, this, &CTessaronVoltView::OnApply);
    Explain({m_apply},
            "Apply: checks the fields, takes them into the table and builds its pattern "
            "of codes anew. A field out of range gets a message and the keyboard focus.");

    m_graph = new CGraphicVolt(this);
    m_graph->setObjectName(QString::number(IDC_GRAPH));
    m_graph->SetDocument(&m_document);
    units.Place(m_graph, 4, 63, 243, 115);
    Explain({m_graph}, "The codes of the elements, left to right, as applied last: the sections of "
                       "level 1 and level 0 in turn.");

    // The comment's label may reach up to the comment itself.
    QLabel* commentLabel = AddLabel(this, units, "Comment:", 4, 181 + DialogUnits::kLabelDrop, 32);
    commentLabel->resize(std::clamp(commentLabel->sizeHint().width(), commentLabel->width(),
                                    units.ToPixelsX(37) - commentLabel->x()),
                         commentLabel->height());
    m_comment = new NoteEdit(m_document.GetPrompter(), this);
    m_comment->setObjectName(QString::number(IDC_COMMENT));
    units.Place(m_comment, 37, 181, 157, 21);
    // The comment goes to the document at every keystroke.
    connect(m_comment, &NoteEdit::edited, this,
            [this] { m_document.SetComment(m_comment->Text(), this); });
    Explain({commentLabel, m_comment},
            "A free comment kept with the table in its file, such as what it was made for.");

    m_insertPath = new QPushButton(QStringLiteral("Insert &Path"), this);
    m_insertPath->setObjectName(QString::number(IDC_INSERT_PATH));
    units.Place(m_insertPath, 197, 181, 50, 21);
    connect(m_insertPath, &QPushButton::clicked, m_comment, &NoteEdit::InsertPath);
    Explain({m_insertPath},
            "Insert Path: asks for a file and puts its path into the comment at the cursor.");

    QWidget* const order[] = {m_editSection, m_editElements,   m_editLevel1,
                              m_editLevel0,  m_editRefVoltage, m_editDacDigits,
                              m_apply,       m_comment,        m_insertPath};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void CTessaronVoltView::OnInitialUpdate() {
    OnUpdate(nullptr, HINT_FULL);
    // Inside a child frame the frame takes exactly the form's size and keeps it.
    FitFrameToForm(true);
}

void CTessaronVoltView::OnUpdate(DocumentView* /*sender*/, int /*hint*/) {
    const CLC_VoltDoc& doc = m_document;
    m_filling = true;
    FormExchange::WriteInt(m_editElements, doc.Elements());
    FormExchange::WriteInt(m_editDacDigits, doc.DacDigits());
    FormExchange::WriteInt(m_editSection, doc.Section());
    FormExchange::WriteInt(m_editLevel1, doc.Level1());
    FormExchange::WriteInt(m_editLevel0, doc.Level0());
    FormExchange::WriteDouble(m_editRefVoltage, doc.RefVoltage());
    m_filling = false;
    SetCommentText(doc.Comment());

    m_apply->setEnabled(false);
    m_graph->update();
    ShowVoltage(m_voltage0, doc.Level0());
    ShowVoltage(m_voltage1, doc.Level1());
}

void CTessaronVoltView::ShowVoltage(QLabel* label, int code) {
    // Six decimals in the C locale's notation, whatever the user's locale.
    const QString text = QString::fromStdString(numtext::FormatFixed(m_document.CodeVoltage(code)));
    label->setText(text);
    // A large voltage widens its text up to the Apply button's column; what still does not fit
    // is shown in full in the tip.
    const DialogUnits units(font());
    const int room = units.ToPixelsX(kVoltageRight) - label->x();
    const int needed = label->fontMetrics().horizontalAdvance(text);
    label->resize(std::clamp(needed, units.ToPixelsX(kVoltageWidth), room), label->height());
    label->setToolTip(needed > room ? text : QString());
}

void CTessaronVoltView::SetCommentText(const std::string& comment) {
    m_comment->SetText(comment);
}

void CTessaronVoltView::OnParamChange() {
    if (!m_filling) {
        m_apply->setEnabled(true);
    }
}

bool CTessaronVoltView::OnApply() {
    const auto text = [](const QLineEdit* field) { return field->text().toStdString(); };
    VoltFormTexts texts;
    texts.elements = text(m_editElements);
    texts.dacDigits = text(m_editDacDigits);
    texts.section = text(m_editSection);
    texts.level1 = text(m_editLevel1);
    texts.level0 = text(m_editLevel0);
    texts.comment = m_comment->Text();
    texts.refVoltage = text(m_editRefVoltage);

    using Result = CLC_VoltDoc::ApplyResult;
    const Result result = m_document.ApplyParameters(texts);
    if (result == Result::Applied) {
        // The document has updated every view, this one included.
        m_apply->setEnabled(false);
        return true;
    }
    // The message has been shown; the field is for the user to correct, and Apply stays.
    FormExchange::FocusFieldOf<Result>(result, {{Result::BadElements, m_editElements},
                                                {Result::BadDacDigits, m_editDacDigits},
                                                {Result::BadSection, m_editSection},
                                                {Result::BadLevel1, m_editLevel1},
                                                {Result::BadLevel0, m_editLevel0},
                                                {Result::BadRefVoltage, m_editRefVoltage}});
    return false;
}

void CTessaronVoltView::OnInsertPath() {
    m_comment->InsertPath();
}
