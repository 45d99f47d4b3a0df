// The seam through which the model talks to the person at the screen: message boxes,
// file dialogs and the wait cursor. The window program shows real dialogs, the command
// line tool prints to the console, and tests script the answers.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Message box types: one button set combined with at most one icon. A box asked for
// without an icon shows the exclamation icon.
enum MessageBoxType : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_BUTTON_MASK = 0x0F,
    MB_ICON_MASK = 0xF0,
};

// Answers of a message box.
enum DialogAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// What a file dialog is asked to show. The filter has the "Name (*.ext)|*.ext|...||" form;
// an empty filter means all files.
struct FileDialogRequest {
    std::string filter;
    std::optional<std::string> defaultExtension; // nothing: no default extension at all
    std::string initialName;
    int filterIndex = 1;          // 1-based, the filter selected at first
    bool overwritePrompt = false; // save dialogs: ask before replacing a file
};

struct FileChoice {
    std::string path;
    int filterIndex = 1; // 1-based index of the filter the user picked
};

class Prompter {
public:
    virtual ~Prompter() = default;

    // Shows `text` in a modal message box of `type`; returns the button pressed.
    virtual int MessageBox(const std::string& text, unsigned type) = 0;
    // The same with a detail under the text: the file concerned, the system's reason. The
    // window shows it as the box's informative text; by default it is a line of its own
    // under the text (how the console prints it).
    virtual int DetailedMessageBox(const std::string& text, const std::string& detail,
                                   unsigned type);
    virtual std::optional<FileChoice> AskOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<FileChoice> AskSaveFile(const FileDialogRequest& request) = 0;
    virtual void BeginWaitCursor() {}
    virtual void EndWaitCursor() {}

    // A message from the string table, with a detail line when one is given.
    int Message(int stringId, unsigned type = MB_OK);
    int Message(int stringId, const std::string& detail, unsigned type = MB_OK);
};

// A Prompter in front of another that can hold back plain notices (boxes with nothing but an
// OK button) while a batch of work runs and show them, in order, once it is done: opening
// the files named on a command line goes on past one that fails, and its message follows.
// Questions, file dialogs and the wait cursor always pass straight through.
class DeferringPrompter : public Prompter {
public:
    explicit DeferringPrompter(Prompter& target) : m_target(target) {}

    // From now on notices are held.
    void Hold() { m_holding = true; }
    // Stops holding and shows what was held.
    void Release();

    int MessageBox(const std::string& text, unsigned type) override;
    int DetailedMessageBox(const std::string& text, const std::string& detail,
                           unsigned type) override;
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest& request) override {
        return m_target.AskOpenFile(request);
    }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest& request) override {
        return m_target.AskSaveFile(request);
    }
    void BeginWaitCursor() override { m_target.BeginWaitCursor(); }
    void EndWaitCursor() override { m_target.EndWaitCursor(); }

private:
    struct Notice {
        std::string text;
        std::string detail;
        unsigned type;
    };

    Prompter& m_target;
    std::vector<Notice> m_held;
    bool m_holding = false;
};

// Shows the wait cursor for the lifetime of the object.
class WaitCursor {
public:
    explicit WaitCursor(Prompter& prompter) : m_prompter(prompter) { m_prompter.BeginWaitCursor(); }
    ~WaitCursor() { m_prompter.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Prompter& m_prompter;
};
