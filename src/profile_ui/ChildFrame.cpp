#include "profile_ui/ChildFrame.h"

CChildFrame::CChildFrame(Document& document, QWidget* parent) : DocumentFrame(document, parent) {
    // The workspace's usual window: title, system menu, minimise, maximise and close.
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
}

CChildFrame::~CChildFrame() = default;
