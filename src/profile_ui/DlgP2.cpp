#include "profile_ui/DlgP2.h"

#include "framework/NumberText.h"
#include "profile/TessaronDoc.h"
#include "ui/FormExchange.h"
#include "ui/FormView.h"
#include "ui/SpinArrows.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

namespace {

// The page measures 87 x 78 dialog units.
constexpr int kPageWidth = 87;
constexpr int kPageHeight = 78;

// One row per coefficient: label, edit and arrows, x, y, width, height in dialog units.
struct CoeffRow {
    const char* label;
    const char* edit;
    const char* spin;
    int labelY, editY, spinY;
    const char* meaning; // for context help
};
constexpr CoeffRow kRows[] = {
    {"a0:", "a0", "spinA0", 10, 7, 7, "the constant phase"},
    {"a1:", "a1", "spinA1", 25, 22, 22, "the phase's slope, times x"},
    {"a2:", "a2", "spinA2", 40, 37, 38, "the factor of x squared"},
    {"a3:", "a3", "spinA3", 54, 51, 53, "the factor of x cubed"},
};

} // namespace

CDlgP2::CDlgP2(CTessaronDoc& doc, std::function<void()> regenerate, QWidget* parent)
    : WizardPage(doc, std::move(regenerate), kPageWidth, kPageHeight, parent) {
    for (int i = 0; i < 4; ++i) {
        const CoeffRow& row = kRows[i];
        QLabel* label = AddLabel(row.label, 7, row.labelY, 11, 8);
        m_editCoeff[i] = AddEdit(row.edit, 20, row.editY, 51, 14);
        m_spinCoeff[i] = AddSpin(row.spin, m_editCoeff[i], 72, row.spinY, 10, 14,
                                 [this, i](int delta) { OnDeltaPosSpin(i, delta); });
        const QString bound =
            QString::fromStdString(numtext::FormatGeneral(limits::kCoeffBounds[i], 6));
        Explain({label, m_editCoeff[i]},
                QStringLiteral("%1 of the polynomial a0 + a1*x + a2*x^2 + a3*x^3 that gives the "
                               "phase in radians: %2, from -%3 to %3.")
                    .arg(QString::fromLatin1(row.edit), QString::fromLatin1(row.meaning), bound));
        Explain({m_spinCoeff[i]},
                QStringLiteral("Steps %1 up or down by one unit of its last decimal place and "
                               "generates the profile again at once.")
                    .arg(QString::fromLatin1(row.edit)));
    }
    m_checkUseAperture = AddCheck("useAperture", "Use Arepture", 12, 67, 57, 10);
    Explain({m_checkUseAperture},
            "Use Arepture: x counts metres across the aperture; otherwise it counts elements from "
            "the centre of the aperture.");
    UpdateData(false);
}

CDlgP2::~CDlgP2() = default;

bool CDlgP2::UpdateData(bool saveAndValidate) {
    CTessaronDoc& doc = GetDocument();
    if (!saveAndValidate) {
        for (std::size_t i = 0; i < m_editCoeff.size(); ++i) {
            FormExchange::WriteDouble(m_editCoeff[i], doc.Coeff()[i]);
        }
        m_checkUseAperture->setChecked(doc.UseAperture() != 0);
        return true;
    }
    FormExchange dx(doc.GetPrompter());
    std::array<double, 4> coeff{};
    for (std::size_t i = 0; i < m_editCoeff.size(); ++i) {
        const double bound = limits::kCoeffBounds[i];
        if (!dx.ReadDouble(m_editCoeff[i], coeff[i], -bound, bound)) {
            return false;
        }
    }
    return doc.SetPolynomialParameters(coeff, m_checkUseAperture->isChecked());
}

void CDlgP2::OnDeltaPosSpin(int index, int delta) {
    if (index < 0 || index >= static_cast<int>(m_editCoeff.size())) {
        return;
    }
    CTessaronDoc& doc = GetDocument();
    const auto i = static_cast<std::size_t>(index);
    const double bound = limits::kCoeffBounds[i];
    StepValue([&doc, i] { return doc.Coeff()[i]; },
              [&doc, i](double value) {
                  std::array<double, 4> coeff = doc.Coeff();
                  coeff[i] = value;
                  doc.SetPolynomialParameters(coeff, doc.UseAperture() != 0);
              },
              doc.CoeffStep()[i], doc.CoeffStepValid(), delta, -bound, bound);
}
