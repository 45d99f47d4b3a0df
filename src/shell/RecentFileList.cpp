#include "shell/RecentFileList.h"

#include "framework/SettingsStore.h"

#include <algorithm>

namespace {
constexpr const char* kSection = "Recent File List";

std::string Key(int index) {
    return "File" + std::to_string(index + 1);
}
} // namespace

void RecentFileList::ReadList() {
    m_paths.clear();
    for (int i = 0; i < kSize; ++i) {
        std::string path = m_settings.GetString(kSection, Key(i), "");
        if (!path.empty() && std::find(m_paths.begin(), m_paths.end(), path) == m_paths.end()) {
            m_paths.push_back(std::move(path));
        }
    }
}

void RecentFileList::WriteList() const {
    for (int i = 0; i < kSize; ++i) {
        if (i < static_cast<int>(m_paths.size())) {
            m_settings.WriteString(kSection, Key(i), m_paths[static_cast<std::size_t>(i)]);
        } else {
            m_settings.RemoveKey(kSection, Key(i));
        }
    }
}

void RecentFileList::Add(const std::string& path) {
    std::erase(m_paths, path);
    m_paths.insert(m_paths.begin(), path);
    if (m_paths.size() > static_cast<std::size_t>(kSize)) {
        m_paths.resize(kSize);
    }
    WriteList();
}

void RecentFileList::Remove(const std::string& path) {
    if (std::erase(m_paths, path) > 0) {
        WriteList();
    }
}
