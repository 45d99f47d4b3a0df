#include "framework/SettingsStore.h"

#include "framework/AsciiText.h"
#include "framework/NumberText.h"
#include "framework/SafeFile.h"

#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

namespace {

// A settings file is a few hundred bytes; anything beyond this is not one of ours, and is
// neither read nor rewritten.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

// Blanks around names and values; a line's end is not part of the line.
std::string_view Trim(std::string_view text) {
    return asciitext::Trim(text, asciitext::kSpaces);
}

using asciitext::EqualNoCase;

enum class Kind { Blank, Comment, Section, Key, Other };

// One line of the file. Offsets index the file text; `end` excludes the line end
// (LF or CR LF), `next` is where the following line starts.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    Kind kind = Kind::Other;
    std::string_view name;      // section or key name, trimmed
    std::size_t valueBegin = 0; // key lines: just after the '='
    std::string_view value;     // key lines: trimmed, quotes removed
};

std::vector<Line> Parse(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        const auto newline = text.find('\n', pos);
        if (newline == std::string_view::npos) {
            line.end = line.next = text.size();
        } else {
            line.end = (newline > pos && text[newline - 1] == '\r') ? newline - 1 : newline;
            line.next = newline + 1;
        }
        pos = line.next;

        const std::string_view raw = text.substr(line.begin, line.end - line.begin);
        const std::string_view body = Trim(raw);
        if (body.empty()) {
            line.kind = Kind::Blank;
        } else if (body.front() == ';') {
            line.kind = Kind::Comment;
        } else if (body.front() == '[') {
            line.kind = Kind::Section;
            line.name = Trim(body.substr(1, body.find(']') - 1));
        } else if (const auto eq = raw.find('='); eq != std::string_view::npos) {
            line.kind = Kind::Key;
            line.name = Trim(raw.substr(0, eq));
            line.valueBegin = line.begin + eq + 1;
            std::string_view value = Trim(raw.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                value = value.substr(1, value.size() - 2);
            }
            line.value = value;
        }
        lines.push_back(line);
    }
    return lines;
}

// Where a key stands in the parsed file. Sections may appear more than once; their keys
// are looked up in file order, so the first matching key line is the one read and written.
struct Lookup {
    std::optional<std::size_t> section; // index of the first matching section header
    std::optional<std::size_t> key;     // index of the first matching key line
};

Lookup Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Lookup found;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Kind::Section) {
            inSection = EqualNoCase(line.name, section);
            if (inSection && !found.section) {
                found.section = i;
            }
        } else if (inSection && line.kind == Kind::Key && EqualNoCase(line.name, key)) {
            found.key = i;
            break;
        }
    }
    return found;
}

enum class FileState { Absent, Loaded, Unusable };

struct FileText {
    FileState state = FileState::Absent;
    std::string text;
};

FileText Load(const std::string& path) {
    if (auto data = safefile::ReadAll(path, kMaxFileBytes)) {
        return {FileState::Loaded, std::move(*data)};
    }
    // Only a file that is really missing counts as empty; one that is there but cannot be
    // read (a folder, no permission, far too big) must not be overwritten.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return {FileState::Absent, {}};
    }
    return {FileState::Unusable, {}};
}

// The line end the file uses: that of its first line; LF for a new file.
std::string_view LineEnd(std::string_view text) {
    const auto newline = text.find('\n');
    return (newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r') ? "\r\n"
                                                                                           : "\n";
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Names that would not read back as the same name once written are refused.
bool IsWritableSection(std::string_view section) {
    return !section.empty() && Trim(section) == section && !HasLineBreakOrNul(section) &&
           section.find(']') == std::string_view::npos;
}

bool IsWritableKey(std::string_view key) {
    return !key.empty() && Trim(key) == key && !HasLineBreakOrNul(key) &&
           key.find('=') == std::string_view::npos && key.front() != ';' && key.front() != '[';
}

// The value as it goes into the file. Values with blanks at either end, or enclosed in
// quotes, are quoted, because reading trims the blanks and removes one pair of quotes.
std::string ValueText(std::string_view value) {
    const bool needsQuotes =
        !value.empty() && (asciitext::kSpaces.find(value.front()) != std::string_view::npos ||
                           asciitext::kSpaces.find(value.back()) != std::string_view::npos ||
                           (value.size() >= 2 && value.front() == '"' && value.back() == '"'));
    if (!needsQuotes) {
        return std::string(value);
    }
    std::string quoted;
    quoted.reserve(value.size() + 2);
    quoted.append(1, '"').append(value).append(1, '"');
    return quoted;
}

// The file text with `key` set to `value` in `section`.
std::string WithValue(const std::string& text, std::string_view section, std::string_view key,
                      const std::string& value) {
    const auto lines = Parse(text);
    const auto found = Locate(lines, section, key);
    const std::string_view eol = LineEnd(text);
    std::string result = text;

    if (found.key) {
        const Line& line = lines[*found.key];
        result.replace(line.valueBegin, line.end - line.valueBegin, value);
        return result;
    }

    std::string keyLine = std::string(key).append("=").append(value);
    if (found.section) {
        // After the section's last setting (or its header), so that blank lines and
        // comments that precede the next section stay where they are.
        std::size_t anchor = *found.section;
        for (std::size_t i = anchor + 1; i < lines.size() && lines[i].kind != Kind::Section; ++i) {
            if (lines[i].kind == Kind::Key || lines[i].kind == Kind::Other) {
                anchor = i;
            }
        }
        const Line& line = lines[anchor];
        if (line.next > line.end) {
            result.insert(line.next, keyLine.append(eol));
        } else {
            // The last line of a file without a final line end: complete it first.
            result.append(eol).append(keyLine).append(eol);
        }
        return result;
    }

    if (!result.empty()) {
        if (result.back() != '\n') {
            result += eol;
        }
        if (lines.back().kind != Kind::Blank) {
            result += eol;
        }
    }
    result.append("[").append(section).append("]").append(eol);
    result.append(keyLine).append(eol);
    return result;
}

// The file text with every line of `key` in `section` removed.
std::string WithoutKey(const std::string& text, std::string_view section, std::string_view key) {
    std::string result;
    result.reserve(text.size());
    bool inSection = false;
    for (const Line& line : Parse(text)) {
        if (line.kind == Kind::Section) {
            inSection = EqualNoCase(line.name, section);
        } else if (inSection && line.kind == Kind::Key && EqualNoCase(line.name, key)) {
            continue;
        }
        result.append(text, line.begin, line.next - line.begin);
    }
    return result;
}

// Writes a new file text unless it is unchanged; refuses texts the readers would ignore.
bool Save(const std::string& path, const FileText& old, const std::string& text) {
    if (old.state == FileState::Loaded && text == old.text) {
        return true;
    }
    return text.size() <= kMaxFileBytes && safefile::WriteAtomically(path, text);
}

} // namespace

SettingsStore::SettingsStore(std::string path) : m_path(std::move(path)) {}

std::optional<std::string> SettingsStore::Find(std::string_view section,
                                               std::string_view key) const {
    std::lock_guard lock(m_mutex);
    const FileText file = Load(m_path);
    if (file.state != FileState::Loaded) {
        return std::nullopt;
    }
    const auto lines = Parse(file.text);
    const auto found = Locate(lines, section, key);
    if (!found.key) {
        return std::nullopt;
    }
    return std::string(lines[*found.key].value);
}

int SettingsStore::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto text = Find(section, key);
    return text ? numtext::ProfileInt(*text) : defaultValue;
}

int SettingsStore::GetIntInRange(std::string_view section, std::string_view key, int defaultValue,
                                 int low, int high) const {
    const int value = GetInt(section, key, defaultValue);
    return value >= low && value <= high ? value : defaultValue;
}

std::string SettingsStore::GetString(std::string_view section, std::string_view key,
                                     std::string_view defaultText) const {
    auto text = Find(section, key);
    return text ? std::move(*text) : std::string(defaultText);
}

double SettingsStore::GetNumber(std::string_view section, std::string_view key,
                                std::string_view defaultText) const {
    if (const auto text = Find(section, key)) {
        if (const auto value = numtext::ScanDouble(*text)) {
            return *value;
        }
    }
    return numtext::ScanDouble(defaultText).value_or(0.0);
}

bool SettingsStore::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool SettingsStore::WriteNumber(std::string_view section, std::string_view key, double value) {
    // "nan" or "inf" in the file would only read back as the default.
    if (!std::isfinite(value)) {
        return false;
    }
    return WriteString(section, key, numtext::FormatFixed(value, 6));
}

bool SettingsStore::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
    // A line break in any part would add lines of its own to the file.
    if (!IsWritableSection(section) || !IsWritableKey(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    const FileText file = Load(m_path);
    if (file.state == FileState::Unusable) {
        return false;
    }
    return Save(m_path, file, WithValue(file.text, section, key, ValueText(value)));
}

bool SettingsStore::RemoveKey(std::string_view section, std::string_view key) {
    std::lock_guard lock(m_mutex);
    const FileText file = Load(m_path);
    if (file.state == FileState::Unusable) {
        return false;
    }
    if (file.state == FileState::Absent) {
        return true;
    }
    return Save(m_path, file, WithoutKey(file.text, section, key));
}
