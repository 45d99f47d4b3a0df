#include "calibration/MeasurementCsv.h"

#include "framework/NumberText.h"
#include "framework/SafeFile.h"

#include <cctype>
#include <charconv>

namespace calibration {

namespace {

bool StartsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
            return false;
        }
    }
    return true;
}

std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    return "\"" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "...\"" : "\"");
}

} // namespace

std::string UnitMismatch(int lineNumber, PhaseUnit named, PhaseUnit asked) {
    return "Line " + std::to_string(lineNumber) + ": the file gives its phases in " +
           std::string(UnitWords(named)) + ", but " + std::string(UnitWords(asked)) +
           " were asked.";
}

std::optional<std::string> ParseHeader(std::string_view line, int lineNumber,
                                       std::optional<PhaseUnit>& unit) {
    unit.reset();
    const auto comma = line.find(',');
    const std::string_view second = Trim(line.substr(comma + 1));
    const std::string where = "Line " + std::to_string(lineNumber) + ": ";
    if (comma == std::string_view::npos || Trim(line.substr(0, comma)).size() != 5 ||
        !StartsWithWord(second, "phase")) {
        return where + "the header " + Quoted(line) + " is not \"level,phase\".";
    }
    const std::string_view rest = Trim(second.substr(5));
    if (rest.empty()) {
        return std::nullopt;
    }
    const char close = rest.front() == '[' ? ']' : rest.front() == '(' ? ')' : '\0';
    if (close == '\0' || rest.back() != close) {
        return where + "the header " + Quoted(line) +
               " is not \"level,phase\" with a unit such as \"[rad]\".";
    }
    const std::string_view name = Trim(rest.substr(1, rest.size() - 2));
    unit = ParseUnit(name);
    if (!unit) {
        return where + "the unit " + Quoted(name) + " is none of rad, waves and pi.";
    }
    return std::nullopt;
}

bool IsHeaderLine(std::string_view line) {
    return StartsWithWord(Trim(line), "level");
}

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<std::string> ParseReading(std::string_view line, int lineNumber,
                                        MeasuredPoint& point) {
    const std::string where = "Line " + std::to_string(lineNumber) + ": ";
    const auto comma = line.find(',');
    if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos) {
        return where + Quoted(line) + " is not a reading \"level,phase\" (two numbers " +
               "separated by one comma; phases take a decimal point).";
    }
    const std::string_view levelText = line.substr(0, comma);
    const std::string_view phaseText = line.substr(comma + 1);
    const auto level = numtext::ParseInt(levelText);
    if (!level) {
        return where + "the level " + Quoted(Trim(levelText)) + " is not a whole number.";
    }
    const auto phase = numtext::ParseDouble(phaseText);
    if (!phase) {
        return where + "the phase " + Quoted(Trim(phaseText)) + " is not a number.";
    }
    point = MeasuredPoint{*level, *phase, lineNumber};
    return std::nullopt;
}

Result<Measurement> ParseMeasurementCsv(std::string_view text, const CsvOptions& options) {
    Measurement m;
    m.digits = options.digits;
    m.wrapped = options.wrapped;
    std::optional<PhaseUnit> unit = options.unit;
    bool first = true;
    int lineNumber = 0;
    for (const std::string_view raw : SplitLines(text)) {
        ++lineNumber;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (first && IsHeaderLine(line)) {
            std::optional<PhaseUnit> named;
            if (const auto error = ParseHeader(line, lineNumber, named)) {
                return Refuse(*error);
            }
            if (named && unit && *named != *unit) {
                return Refuse(UnitMismatch(lineNumber, *named, *unit));
            }
            unit = named ? named : unit;
            first = false;
            continue;
        }
        first = false;
        MeasuredPoint point;
        if (const auto error = ParseReading(line, lineNumber, point)) {
            return Refuse(*error);
        }
        m.points.push_back(point);
    }
    m.unit = unit.value_or(PhaseUnit::Radians);
    const auto checked = Prepare(m, options.duplicateTolerance);
    if (!checked) {
        return Refuse(checked.Message());
    }
    return m;
}

Result<Measurement> ReadMeasurementCsv(const std::string& path, const CsvOptions& options) {
    const auto text = safefile::ReadAll(path);
    if (!text) {
        return Refuse("Can't read the measured data " + path + ".");
    }
    auto m = ParseMeasurementCsv(*text, options);
    if (!m) {
        return Refuse(path + ": " + m.Message());
    }
    return m;
}

std::string FormatMeasurementCsv(const Measurement& measurement, const std::string& comment) {
    std::string text;
    for (const std::string_view line : SplitLines(comment)) {
        text += "# " + std::string(line) + "\n";
    }
    text += "level,phase[" + std::string(UnitName(measurement.unit)) + "]\n";
    for (const MeasuredPoint& p : measurement.points) {
        // The shortest text that reads back as the same number.
        char phase[32];
        const auto end = std::to_chars(phase, phase + sizeof phase, p.phase).ptr;
        text += std::to_string(p.level) + "," + std::string(phase, end) + "\n";
    }
    return text;
}

Result<Done> WriteMeasurementCsv(const std::string& path, const Measurement& measurement,
                                 const std::string& comment) {
    int error = 0;
    if (!safefile::WriteAtomically(path, FormatMeasurementCsv(measurement, comment), &error)) {
        return Refuse("Can't write the readings " + safefile::Detail(path, error) + ".");
    }
    return Done{};
}

} // namespace calibration
