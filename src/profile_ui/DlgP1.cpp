#include "profile_ui/DlgP1.h"

#include "profile/TessaronDoc.h"
#include "ui/FormExchange.h"
#include "ui/FormView.h"
#include "ui/SpinArrows.h"

#include <QLabel>
#include <QLineEdit>

namespace {
// The page measures 87 x 74 dialog units.
constexpr int kPageWidth = 87;
constexpr int kPageHeight = 74;
} // namespace

CDlgP1::CDlgP1(CTessaronDoc& doc, std::function<void()> regenerate, QWidget* parent)
    : WizardPage(doc, std::move(regenerate), kPageWidth, kPageHeight, parent) {
    QLabel* dioptersLabel = AddLabel("Diopters, 1/m:", 5, 7, 46, 8);
    m_editDiopters = AddEdit("diopters", 11, 21, 65, 14);
    m_spin = AddSpin("spin", m_editDiopters, 72, 21, 11, 14,
                     [this](int delta) { OnDeltaPosSpin(delta); });
    QLabel* waveLengthLabel = AddLabel("Laser's wave length, m:", 5, 42, 75, 8);
    m_editWaveLength = AddEdit("wavelength", 11, 55, 65, 14);
    Explain({dioptersLabel, m_editDiopters},
            "Diopters: the optical power of the lens in 1/m. Generate data computes the lens; then "
            "the arrows beside the field, or the Up and Down keys in it, step the power.");
    Explain({m_spin}, "Steps the diopters up or down by one unit of their last decimal place and "
                      "generates the profile again at once.");
    Explain({waveLengthLabel, m_editWaveLength},
            "The laser's wave length in metres, such as 6.33e-07 for 633 nm.");
    UpdateData(false);
}

CDlgP1::~CDlgP1() = default;

bool CDlgP1::UpdateData(bool saveAndValidate) {
    CTessaronDoc& doc = GetDocument();
    if (!saveAndValidate) {
        FormExchange::WriteDouble(m_editDiopters, doc.Diopters());
        FormExchange::WriteDouble(m_editWaveLength, doc.WaveLength());
        return true;
    }
    FormExchange dx(doc.GetPrompter());
    double diopters = 0.0;
    double waveLength = 0.0;
    if (!dx.ReadDouble(m_editDiopters, diopters) || !dx.ReadDouble(m_editWaveLength, waveLength)) {
        return false;
    }
    doc.SetLensParameters(diopters, waveLength);
    return true;
}

void CDlgP1::OnDeltaPosSpin(int delta) {
    CTessaronDoc& doc = GetDocument();
    StepValue([&doc] { return doc.Diopters(); },
              [&doc](double diopters) { doc.SetLensParameters(diopters, doc.WaveLength()); },
              doc.DioptersStep(), doc.DioptersStepValid(), delta);
}
