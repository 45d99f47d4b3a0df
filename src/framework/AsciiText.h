// Trimming and case-folding of ASCII text: the program's file formats, switches and key
// names are ASCII, and their comparison must not depend on the locale (std::tolower does).
#pragma once

#include <string>
#include <string_view>

namespace asciitext {

// Blanks inside a line: space and tab.
inline constexpr std::string_view kBlanks = " \t";
// Every ASCII white-space character but the line feed.
inline constexpr std::string_view kSpaces = " \t\r\f\v";

// `text` without the characters of `blanks` at either end.
inline std::string_view Trim(std::string_view text, std::string_view blanks = kBlanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

inline char ToLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string ToLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = ToLower(c);
    }
    return lower;
}

// Whether the two are the same but for the case of ASCII letters.
inline bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLower(a[i]) != ToLower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace asciitext
