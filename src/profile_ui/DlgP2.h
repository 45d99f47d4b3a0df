// The wizard page of the "Polynomial coeffs" creation mode: the coefficients a0 to a3, each
// with spin arrows that step it and generate the profile again, and "Use Arepture" (the
// polynomial's abscissa in metres instead of element steps).
#pragma once

#include "profile_ui/WizardPage.h"

#include <array>

class CDlgP2 : public WizardPage {
    Q_OBJECT

public:
    // `regenerate` generates the profile again from the page (the view's RegenerateFromPage).
    CDlgP2(CTessaronDoc& doc, std::function<void()> regenerate, QWidget* parent = nullptr);
    ~CDlgP2() override;

    // a0 to a3, each within its range (limits::kCoeffBounds), then "Use Arepture".
    bool UpdateData(bool saveAndValidate) override;

    // One step of coefficient `index` (0 to 3): +1 up, -1 down (see WizardPage::StepValue).
    void OnDeltaPosSpin(int index, int delta);

private:
    std::array<QLineEdit*, 4> m_editCoeff{};
    std::array<SpinArrows*, 4> m_spinCoeff{};
    QCheckBox* m_checkUseAperture = nullptr;
};
