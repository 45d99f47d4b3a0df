#include "profile_ui/WizardPage.h"

#include "framework/NumberText.h"
#include "ui/DialogUnits.h"
#include "ui/SpinArrows.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <utility>

WizardPage::WizardPage(CTessaronDoc& doc, std::function<void()> regenerate, int widthUnits,
                       int heightUnits, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_regenerate(std::move(regenerate)), m_widthUnits(widthUnits),
      m_heightUnits(heightUnits) {
    // The font first: the controls inherit it and the dialog units derive from it.
    setFont(DialogUnits::FormFont());
    setFixedSize(sizeHint());
}

WizardPage::~WizardPage() = default;

QSize WizardPage::sizeHint() const {
    return DialogUnits(font()).ToPixels(0, 0, m_widthUnits, m_heightUnits).size();
}

QLabel* WizardPage::AddLabel(const char* text, int x, int y, int width, int height) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    label->setTextFormat(Qt::PlainText);
    DialogUnits(font()).Place(label, x, y, width, height);
    return label;
}

QLineEdit* WizardPage::AddEdit(const char* name, int x, int y, int width, int height) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    DialogUnits(font()).Place(edit, x, y, width, height);
    return edit;
}

SpinArrows* WizardPage::AddSpin(const char* name, QLineEdit* buddy, int x, int y, int width,
                                int height, std::function<void(int)> step) {
    auto* spin = new SpinArrows(this);
    spin->setObjectName(QString::fromLatin1(name));
    DialogUnits(font()).Place(spin, x, y, width, height);
    spin->SetBuddy(buddy);
    // The arrows keep their width and move to the field's right edge; the field gives up
    // that room, so field and arrows together fill the field's rectangle.
    spin->AlignToBuddy();
    connect(spin, &SpinArrows::deltaPos, this, std::move(step));
    return spin;
}

QCheckBox* WizardPage::AddCheck(const char* name, const char* text, int x, int y, int width,
                                int height) {
    auto* check = new QCheckBox(QString::fromLatin1(text), this);
    check->setObjectName(QString::fromLatin1(name));
    DialogUnits(font()).Place(check, x, y, width, height);
    return check;
}

void WizardPage::StepValue(const std::function<double()>& current,
                           const std::function<void(double)>& store, double step, bool stepValid,
                           int delta, double minValue, double maxValue) {
    if (!stepValid || delta == 0) {
        return;
    }
    if (!UpdateData(true)) {
        return;
    }
    const double value = current();
    const double stepped = delta > 0 ? value + step : value - step;
    // The field shows 15 significant digits and the next read takes exactly those, so the
    // document gets that value now: 2.5 + 0.1 becomes 2.6, not 2.6000000000000001. Checking
    // the shown value also keeps a step from reaching a value that its field would refuse.
    const double shown =
        numtext::ParseDouble(numtext::FormatGeneral(stepped, 15)).value_or(stepped);
    if (!(shown >= minValue && shown <= maxValue)) {
        return;
    }
    store(shown);
    UpdateData(false);
    // Called through a copy: the regeneration refreshes the view, which may replace this page.
    if (const std::function<void()> regenerate = m_regenerate) {
        regenerate();
    }
}
