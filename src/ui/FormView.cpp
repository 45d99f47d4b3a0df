#include "ui/FormView.h"

#include "ui/DialogUnits.h"
#include "ui/DocumentFrame.h"

FormView::FormView(int designWidth, int designHeight, QWidget* parent)
    : QWidget(parent), m_designWidth(designWidth), m_designHeight(designHeight) {
    setFont(DialogUnits::FormFont());
    resize(sizeHint());
}

QWidget* FormView::Control(int id) const {
    return findChild<QWidget*>(QString::number(id), Qt::FindDirectChildrenOnly);
}

QSize FormView::sizeHint() const {
    return DialogUnits(font()).ToPixels(0, 0, m_designWidth, m_designHeight).size();
}

QSize FormView::minimumSizeHint() const {
    return sizeHint();
}

void FormView::FitFrameToForm(bool fixed) {
    if (auto* frame = qobject_cast<DocumentFrame*>(parentWidget())) {
        frame->ResizeParentToFit();
        frame->SetSizeLimits(frame->size(), fixed ? frame->size() : QSize(-1, -1));
    }
}

void Explain(std::initializer_list<QWidget*> controls, const QString& text) {
    for (QWidget* control : controls) {
        control->setWhatsThis(text);
    }
}
