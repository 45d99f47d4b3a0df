#include "volt_ui/VoltChildFrame.h"

#include <QEvent>

CVoltChildFrame::CVoltChildFrame(Document& document, QWidget* parent)
    : DocumentFrame(document, parent) {
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
}

void CVoltChildFrame::ActivateFrame() {
    showNormal();
    DocumentFrame::ActivateFrame();
}

void CVoltChildFrame::changeEvent(QEvent* event) {
    DocumentFrame::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        setWindowState(windowState() & ~Qt::WindowMaximized);
    }
}
