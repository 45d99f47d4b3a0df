// A parameter page of the profile editor's generation wizard, embedded in the profile form.
//
// A page edits the document's wizard parameters through its operations: there are no copies in
// the view. What is typed reaches the document only through UpdateData(true), which the view
// calls on "&Generate data" and the page itself before every step of a spin arrow. A spin arrow
// changes its value by the document's decimal step for it and has the profile generated again
// at once through the view (the `regenerate` callback), so the graph follows while a lens is
// tuned.
// Before the first successful "&Generate data" of the page's mode there is no step and the
// arrows do nothing.
//
// The page has the fixed size of its design (in dialog units of the form font) and takes part
// in the form's keyboard navigation. It leaves every key but Up and Down in its fields alone,
// so the main window's shortcuts (F9, F10, Ctrl+N, ...) work while the focus is in a page.
#pragma once

#include <QWidget>
#include <functional>
#include <limits>

class CTessaronDoc;
class QCheckBox;
class QLabel;
class QLineEdit;
class SpinArrows;

class WizardPage : public QWidget {
    Q_OBJECT

public:
    ~WizardPage() override;

    // true: reads every field with its checks; a rejected field gets its message and the
    // focus, and then nothing at all is taken into the document. false: shows the document's
    // values. Returns whether the read succeeded (always true for showing).
    virtual bool UpdateData(bool saveAndValidate) = 0;

    CTessaronDoc& GetDocument() const { return m_doc; }

    // The design size in dialog units of the page's font.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    // `widthUnits` x `heightUnits` is the design size in dialog units.
    WizardPage(CTessaronDoc& doc, std::function<void()> regenerate, int widthUnits, int heightUnits,
               QWidget* parent);

    // Controls at rectangles in dialog units, created in the order the Tab key visits them.
    QLabel* AddLabel(const char* text, int x, int y, int width, int height);
    QLineEdit* AddEdit(const char* name, int x, int y, int width, int height);
    // Arrows for `buddy`, at the buddy's right edge; `step(delta)` runs for every arrow step.
    SpinArrows* AddSpin(const char* name, QLineEdit* buddy, int x, int y, int width, int height,
                        std::function<void(int)> step);
    QCheckBox* AddCheck(const char* name, const char* text, int x, int y, int width, int height);

    // One arrow step of a value of the document by `step`, valid when `stepValid`: nothing
    // without a valid step; otherwise the page is read (a rejected field ends it), the value
    // (`current()`, as the read left it) moves up for a positive `delta` and down for a
    // negative one, `store` takes it into the document, the page shows it and the profile is
    // generated again. The value is stepped to what its field will show, and a step that
    // would leave [minValue, maxValue] is not taken.
    void StepValue(const std::function<double()>& current, const std::function<void(double)>& store,
                   double step, bool stepValid, int delta,
                   double minValue = -std::numeric_limits<double>::infinity(),
                   double maxValue = std::numeric_limits<double>::infinity());

private:
    CTessaronDoc& m_doc;
    std::function<void()> m_regenerate;
    int m_widthUnits;
    int m_heightUnits;
};
