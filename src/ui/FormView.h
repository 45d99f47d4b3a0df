// A form laid out in dialog units (the documents' views, the options page): it has the form
// font, which its controls inherit and its dialog units derive from, and a design size in
// those units, which is its size hint and least size. Its controls carry their numeric IDs as
// object names.
#pragma once

#include <QWidget>
#include <initializer_list>

class FormView : public QWidget {
public:
    // The design size in dialog units.
    FormView(int designWidth, int designHeight, QWidget* parent = nullptr);

    // The control with the given ID (a direct child of the form), or nullptr.
    QWidget* Control(int id) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    // Inside a document frame: makes the frame exactly as large as the form; `fixed` keeps it
    // at that size, else that size is the least the frame can be dragged to.
    void FitFrameToForm(bool fixed);

private:
    int m_designWidth;
    int m_designHeight;
};

// Gives each of `controls` the context help ("?" and a click, or Shift+F1): what it does.
void Explain(std::initializer_list<QWidget*> controls, const QString& text);
