#include "ui/DocumentFrame.h"

#include <QCloseEvent>
#include <QStyle>

DocumentFrame::DocumentFrame(Document& document, QWidget* parent)
    : QMdiSubWindow(parent), m_document(document) {
    setAttribute(Qt::WA_DeleteOnClose);
}

DocumentFrame::~DocumentFrame() {
    delete widget();
}

void DocumentFrame::ActivateFrame() {
    show();
    setFocus();
}

void DocumentFrame::ResizeParentToFit() {
    QWidget* view = widget();
    if (view == nullptr) {
        return;
    }
    // The frame around the view: what the sub-window adds to its widget's size.
    const QSize extra = size() - view->size();
    const QSize target = view->sizeHint().expandedTo(view->minimumSizeHint());
    resize(target + (extra.isValid() && isVisible() ? extra : QSize(0, 0)));
    if (!isVisible() || extra.isEmpty()) {
        // Before the first show the frame has not laid itself out: let it compute its own
        // margins from the view's hint.
        adjustSize();
    }
}

void DocumentFrame::SetSizeLimits(QSize minimum, QSize maximum) {
    m_sizeMin = minimum;
    m_sizeMax = maximum;
    setMinimumSize(minimum.width() != -1 ? minimum : QSize(0, 0));
    setMaximumSize(maximum.width() != -1 ? maximum : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void DocumentFrame::closeEvent(QCloseEvent* event) {
    if (m_closeGuard && !m_closeGuard(*this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) {
        emit frameClosed(this);
    }
}
