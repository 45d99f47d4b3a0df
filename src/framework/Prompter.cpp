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

void DeferringPrompter::Release() {
    m_holding = false;
    // A notice may be shown while another waits (a box's event loop runs on); take the list.
    const std::vector<Notice> held = std::move(m_held);
    m_held.clear();
    for (const Notice& notice : held) {
        m_target.DetailedMessageBox(notice.text, notice.detail, notice.type);
    }
}

int DeferringPrompter::MessageBox(const std::string& text, unsigned type) {
    return DetailedMessageBox(text, {}, type);
}

int DeferringPrompter::DetailedMessageBox(const std::string& text, const std::string& detail,
                                          unsigned type) {
    if (m_holding && (type & MB_BUTTON_MASK) == MB_OK) {
        m_held.push_back({text, detail, type});
        return IDOK;
    }
    return m_target.DetailedMessageBox(text, detail, type);
}
