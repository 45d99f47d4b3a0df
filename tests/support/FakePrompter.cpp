#include "support/FakePrompter.h"

#include <gtest/gtest.h>

int FakePrompter::MessageBox(const std::string& text, unsigned type) {
    shown.push_back({text, type});
    if (!allowMessages && answers.empty()) {
        ADD_FAILURE() << "unexpected message box: " << text;
    }
    if (answers.empty()) {
        return IDOK;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<FileChoice> FakePrompter::AskOpenFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    if (files.empty()) {
        ADD_FAILURE() << "unexpected open-file dialog";
        return std::nullopt;
    }
    auto choice = files.front();
    files.pop_front();
    return choice;
}

std::optional<FileChoice> FakePrompter::AskSaveFile(const FileDialogRequest& request) {
    return AskOpenFile(request);
}
