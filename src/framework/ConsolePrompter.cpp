#include "framework/ConsolePrompter.h"

#include <ostream>

int ConsolePrompter::MessageBox(const std::string& text, unsigned type) {
    m_out << text << '\n';
    ++m_shown;
    switch (type & MB_BUTTON_MASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    default:
        return IDOK;
    }
}

std::optional<FileChoice> ConsolePrompter::AskOpenFile(const FileDialogRequest&) {
    return std::nullopt;
}

std::optional<FileChoice> ConsolePrompter::AskSaveFile(const FileDialogRequest&) {
    return std::nullopt;
}
