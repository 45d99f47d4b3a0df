#include "support/FakePrompter.h"

#include <gtest/gtest.h>

int FakePrompter::MessageBox(const std::string& text, unsigned type) {
    return DetailedMessageBox(text, {}, type);
}

int FakePrompter::DetailedMessageBox(const std::string& text, const std::string& detail,
                                     unsigned type) {
    shown.push_back({text, type, detail});
    if (answers.empty()) {
        EXPECT_TRUE(allowMessages) << "unexpected message box: " << text;
        return IDOK;
    }
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<FileChoice> FakePrompter::AskOpenFile(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    EXPECT_FALSE(files.empty()) << "unexpected file dialog";
    if (files.empty()) {
        return std::nullopt;
    }
    auto choice = files.front();
    files.pop_front();
    return choice;
}

std::optional<FileChoice> FakePrompter::AskSaveFile(const FileDialogRequest& request) {
    return AskOpenFile(request);
}
