// The prompter of runs without a screen (the command line tool, printing from the command
// line): messages go to a stream, exactly as the window would word them, a message's detail
// (the file, the system's reason) on a line of its own under it. Nobody is there to
// answer, so questions get the cautious answer (Cancel / No) and file dialogs are cancelled.
#pragma once

#include "framework/Prompter.h"

#include <iosfwd>

class ConsolePrompter : public Prompter {
public:
    explicit ConsolePrompter(std::ostream& out) : m_out(out) {}

    int MessageBox(const std::string& text, unsigned type) override;
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest& request) override;

    int MessagesShown() const { return m_shown; }

private:
    std::ostream& m_out;
    int m_shown = 0;
};
