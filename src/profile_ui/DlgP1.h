// The wizard page of the "Diopters" creation mode: the optical power of a thin lens and the
// laser's wave length, with spin arrows that step the power and generate the profile again.
#pragma once

#include "profile_ui/WizardPage.h"

class CDlgP1 : public WizardPage {
    Q_OBJECT

public:
    // `regenerate` generates the profile again from the page (the view's RegenerateFromPage).
    CDlgP1(CTessaronDoc& doc, std::function<void()> regenerate, QWidget* parent = nullptr);
    ~CDlgP1() override;

    // Diopters, then the wave length; neither has a range.
    bool UpdateData(bool saveAndValidate) override;

    // One step of the diopters: +1 up, -1 down (see WizardPage::StepValue).
    void OnDeltaPosSpin(int delta);

private:
    QLineEdit* m_editDiopters = nullptr;
    SpinArrows* m_spin = nullptr;
    QLineEdit* m_editWaveLength = nullptr;
};
