#include "framework/Prompter.h"

#include "framework/StringTable.h"

int Prompter::Message(int stringId, unsigned type) {
    return MessageBox(LoadString(stringId), type);
}

int Prompter::Message(int stringId, const std::string& detail, unsigned type) {
    return DetailedMessageBox(LoadString(stringId), detail, type);
}

int Prompter::DetailedMessageBox(const std::string& text, const std::string& detail,
                                 unsigned type) {
    return MessageBox(detail.empty() ? text : text + "\n" + detail, type);
}
