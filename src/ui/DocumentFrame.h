// The window of one view of a document inside the main frame's workspace.
//
// Closing a child frame asks its close guard first (the application's document manager: for
// the last window of a document that is the save prompt and the document's send guard).
// Frames that keep a fixed size set their size limits; -1 leaves a bound unset.
#pragma once

#include <QMdiSubWindow>
#include <QSize>
#include <functional>

class Document;

class DocumentFrame : public QMdiSubWindow {
    Q_OBJECT

public:
    explicit DocumentFrame(Document& document, QWidget* parent = nullptr);
    // Deletes the view first: the frame's destroyed signal, on which the document of its last
    // window goes, comes before Qt would delete the children.
    ~DocumentFrame() override;

    Document& GetDocument() const { return m_document; }

    // Asked when the frame is about to close; false keeps it open. Without a guard the frame
    // closes.
    void SetCloseGuard(std::function<bool(DocumentFrame&)> guard) {
        m_closeGuard = std::move(guard);
    }

    // Shows the frame in the workspace the way the frame type wants to be shown.
    virtual void ActivateFrame();

    // Makes the frame exactly as large as its view needs (the view's size hint plus the frame's
    // title bar and border), shrinking or growing.
    void ResizeParentToFit();
    // The size limits of the frame; applied at once. A width of -1 leaves that limit unset.
    void SetSizeLimits(QSize minimum, QSize maximum);
    QSize SizeMin() const { return m_sizeMin; }
    QSize SizeMax() const { return m_sizeMax; }

signals:
    // The frame has been closed and is about to be deleted.
    void frameClosed(DocumentFrame* frame);
    // The state of a command of the frame's view changed (such as "Edit Data" with the
    // selection of a list); the main frame updates its menus and tool bar.
    void commandStatesChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Document& m_document;
    std::function<bool(DocumentFrame&)> m_closeGuard;
    QSize m_sizeMin{-1, -1};
    QSize m_sizeMax{-1, -1};
};
