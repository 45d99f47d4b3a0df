// The list of recently used files under File: at most four paths, the latest first, kept in
// the settings file's "Recent File List" section as File1..File4.
#pragma once

#include <string>
#include <vector>

class SettingsStore;

class RecentFileList {
public:
    static constexpr int kSize = 4;

    explicit RecentFileList(SettingsStore& settings) : m_settings(settings) {}

    void ReadList();
    void WriteList() const;
    // Puts `path` first (moving it up when it is already listed) and stores the list.
    void Add(const std::string& path);
    // Takes a path off the list (a file that could not be opened) and stores the list.
    void Remove(const std::string& path);

    const std::vector<std::string>& Paths() const { return m_paths; }

private:
    SettingsStore& m_settings;
    std::vector<std::string> m_paths;
};
