// A scripted Prompter for tests: records every message box and answers file dialogs from
// a queue. A message box that the test did not expect fails the test unless the fake is
// told to accept any.
#pragma once

#include "framework/Prompter.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class FakePrompter : public Prompter {
public:
    struct Shown {
        std::string text;
        unsigned type;
        std::string detail; // the detail line, kept apart from the text
    };

    int MessageBox(const std::string& text, unsigned type) override;
    int DetailedMessageBox(const std::string& text, const std::string& detail,
                           unsigned type) override;
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest& request) override;
    void BeginWaitCursor() override {
        ++waitCursorDepth;
        ++waitCursorShown;
    }
    void EndWaitCursor() override { --waitCursorDepth; }

    // The answer to the next message box (IDOK when none is queued).
    void QueueAnswer(int answer) { answers.push_back(answer); }
    // The answer to the next file dialog; nothing means Cancel.
    void QueueFile(std::optional<FileChoice> choice) { files.push_back(std::move(choice)); }
    // Message boxes are allowed without failing the test.
    void ExpectMessages() { allowMessages = true; }

    std::vector<Shown> shown;
    std::vector<FileDialogRequest> fileRequests;
    std::deque<int> answers;
    std::deque<std::optional<FileChoice>> files;
    bool allowMessages = false;
    int waitCursorDepth = 0;
    int waitCursorShown = 0;
};
