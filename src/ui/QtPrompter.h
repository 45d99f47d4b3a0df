// The window program's Prompter: message boxes, file dialogs and the wait cursor shown with
// Qt widgets, centred over the parent widget (the main window once there is one).
#pragma once

#include "framework/Prompter.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* parent = nullptr);
    // Restores any wait cursor still shown through this prompter.
    ~QtPrompter() override;
    QtPrompter(const QtPrompter&) = delete;
    QtPrompter& operator=(const QtPrompter&) = delete;

    // The widget the boxes and dialogs belong to; null shows them on their own.
    void SetParentWidget(QWidget* parent) { m_parent = parent; }

    int MessageBox(const std::string& text, unsigned type) override;
    int DetailedMessageBox(const std::string& text, const std::string& detail,
                           unsigned type) override;
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest& request) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // The file dialog's name filters for a "Name (*.ext)|*.ext|...||" filter string: one per
    // name and pattern pair, in order; "*" (all files) when the string holds none.
    static QStringList NameFilters(const std::string& filter);

private:
    std::optional<FileChoice> AskFile(const FileDialogRequest& request, bool save);

    QPointer<QWidget> m_parent;
    int m_waitDepth = 0;
};
