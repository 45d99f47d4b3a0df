// The settings file: SettingsStore, which reads the file again on every call. The input is
// the whole file.
//
// Reads: a key that stands once in the file reads as the value written on its line (the
// file's documented form, read here independently); a number falls back to its default
// unless it is finite. Writes: a written string or integer reads back as written; a refused
// write leaves the file as it was; a write never disturbs a key it did not name.
#include "FuzzSupport.h"
#include "framework/SafeFile.h"
#include "framework/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kBlanks = " \t\r\f\v";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// A `key=value` line inside a section.
struct KeyLine {
    std::string_view section;
    std::string_view key;
    std::string_view value;    // trimmed, one pair of enclosing quotes removed
    std::string_view rawValue; // everything after the '=' up to the line end
};

// The key lines of an INI text as its documented form describes them.
std::vector<KeyLine> KeyLines(std::string_view text) {
    std::vector<KeyLine> keys;
    std::optional<std::string_view> section;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r' && newline != std::string_view::npos) {
            line.remove_suffix(1);
        }
        const std::string_view body = Trim(line);
        if (body.empty() || body.front() == ';') {
            continue;
        }
        if (body.front() == '[') {
            section = Trim(body.substr(1, body.find(']') - 1));
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || !section) {
            continue;
        }
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        keys.push_back({*section, Trim(line.substr(0, eq)), value, line.substr(eq + 1)});
    }
    return keys;
}

std::string FileText(const std::string& path) {
    return safefile::ReadAll(path).value_or("<unreadable>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::TempFolder() + "/settings.ini";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(input.data(), static_cast<std::streamsize>(input.size()));
        FUZZ_CHECK(file.good());
    }
    SettingsStore store(path);
    const std::vector<KeyLine> keys = KeyLines(input);

    const auto unique = [&keys](const KeyLine& line) {
        int same = 0;
        for (const KeyLine& other : keys) {
            same += SameName(other.key, line.key) ? 1 : 0;
        }
        return same == 1;
    };

    // Reads of the program's own keys and of the first keys the file holds.
    const int digits = store.GetIntInRange(settings::kSection, settings::kDacDigit, 16, 10, 16);
    FUZZ_CHECK(digits >= 10 && digits <= 16);
    (void)store.GetString(settings::kSection, settings::kComPort, "/dev/ttyS0");
    FUZZ_CHECK(std::isfinite(store.GetNumber(settings::kSection, settings::kAperture, "0.01")));
    const KeyLine* kept = nullptr; // a key named once in the file
    for (std::size_t i = 0; i < keys.size() && i < 4; ++i) {
        const KeyLine& line = keys[i];
        (void)store.GetInt(line.section, line.key, -1);
        FUZZ_CHECK(std::isfinite(store.GetNumber(line.section, line.key, "0.5")));
        if (unique(line)) {
            FUZZ_CHECK(store.GetString(line.section, line.key, "<absent>") == line.value);
            kept = kept != nullptr ? kept : &line;
        }
    }

    // A string write into the file's first section (or the program's own), under the name of
    // its last key, with the raw text of that key's value: blanks, quotes and stray
    // characters included, so that quoting and refusals get exercised.
    const std::string section(keys.empty() ? settings::kSection : keys.front().section);
    const std::string key(keys.empty() ? std::string_view("Fuzz Key") : keys.back().key);
    const std::string value(keys.empty() ? std::string_view(input).substr(0, 40)
                                         : keys.back().rawValue);
    const std::string beforeWrite = FileText(path);
    const bool written = store.WriteString(section, key, value);
    if (written) {
        FUZZ_CHECK(store.GetString(section, key, "<absent>") == value);
    } else {
        FUZZ_CHECK(FileText(path) == beforeWrite);
    }

    // An integer write under a name of its own.
    std::int32_t number = 0;
    std::memcpy(&number, input.data(), std::min<std::size_t>(input.size(), sizeof number));
    const std::string beforeInt = FileText(path);
    if (store.WriteInt(section, "Fuzz Int", number)) {
        FUZZ_CHECK(store.GetInt(section, "Fuzz Int", number ^ 1) == number);
        if (written && !SameName(key, "Fuzz Int")) {
            FUZZ_CHECK(store.GetString(section, key, "<absent>") == value);
        }
    } else {
        FUZZ_CHECK(FileText(path) == beforeInt);
    }

    // A key the writes did not name still reads as before.
    if (kept != nullptr && !(SameName(kept->section, section) &&
                             (SameName(kept->key, key) || SameName(kept->key, "Fuzz Int")))) {
        FUZZ_CHECK(store.GetString(kept->section, kept->key, "<absent>") == kept->value);
    }
    return 0;
}
