// The window of a profile form inside the main frame's workspace.
//
// Unlike the volt-phase window it can be resized and maximised: the form's controls follow its
// size. It never becomes smaller than the form's design size, which the view sets as the
// frame's minimum size when it is first shown.
#pragma once

#include "ui/DocumentFrame.h"

class CChildFrame : public DocumentFrame {
    Q_OBJECT

public:
    explicit CChildFrame(Document& document, QWidget* parent = nullptr);
    ~CChildFrame() override;
};
