// The window of a volt-phase form inside the main frame's workspace.
//
// The form has one fixed size, so the frame has no maximise button and is never shown
// maximised; the view fixes the frame's size to the form's when it is first shown.
#pragma once

#include "ui/DocumentFrame.h"

class CVoltChildFrame : public DocumentFrame {
    Q_OBJECT

public:
    explicit CVoltChildFrame(Document& document, QWidget* parent = nullptr);

    // Shows the frame at its normal size, whatever state it was in.
    void ActivateFrame() override;

protected:
    // A maximise from elsewhere (the workspace maximising every window along with the active
    // one, a double click on the title) is undone.
    void changeEvent(QEvent* event) override;
};
