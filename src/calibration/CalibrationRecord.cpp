#include "calibration/CalibrationRecord.h"

#include "calibration/MeasurementCsv.h"
#include "framework/NumberText.h"
#include "framework/SafeFile.h"

#include <cmath>
#include <ctime>
#include <set>

namespace calibration {

namespace {

constexpr std::string_view kMagic = "tessaron calibration record";

std::string Number(double value) {
    return numtext::FormatGeneral(value, 10);
}

std::string LineName(int line) {
    return "Line " + std::to_string(line) + ": ";
}

// A finite number in [low, high], or the message.
std::optional<std::string> ReadNumber(std::string_view value, int line, std::string_view key,
                                      double low, double high, double& out) {
    const auto number = numtext::ParseDouble(value);
    if (!number || *number < low || *number > high) {
        return LineName(line) + std::string(key) + " must be a number from " +
               numtext::FormatGeneral(low) + " to " + numtext::FormatGeneral(high) + ", not \"" +
               std::string(value) + "\".";
    }
    out = *number;
    return std::nullopt;
}

// Applies one "key = value" entry to the record; the message when it is not one.
std::optional<std::string> ReadEntry(std::string_view key, std::string_view value, int line,
                                     CalibrationRecord& r) {
    double number = 0.0;
    std::optional<std::string> error;
    if (key == "wavelength_nm") {
        error = ReadNumber(value, line, key, 100.0, 20000.0, number);
        r.waveLength = number * 1e-9;
    } else if (key == "temperature_c") {
        error = ReadNumber(value, line, key, -273.15, 1000.0, number);
        r.temperature = number;
    } else if (key == "digits") {
        const auto digits = numtext::ParseInt(value);
        if (!digits || *digits < 10 || *digits > 16) {
            return LineName(line) + "digits must be a whole number from 10 to 16, not \"" +
                   std::string(value) + "\".";
        }
        r.measurement.digits = *digits;
    } else if (key == "unit") {
        const auto unit = ParseUnit(value);
        if (!unit) {
            return LineName(line) + "unit must be rad, waves or pi, not \"" + std::string(value) +
                   "\".";
        }
        r.measurement.unit = *unit;
    } else if (key == "wrapped") {
        if (value != "yes" && value != "no") {
            return LineName(line) + "wrapped must be yes or no, not \"" + std::string(value) +
                   "\".";
        }
        r.measurement.wrapped = value == "yes";
    } else if (key == "date") {
        r.date = std::string(value);
    } else if (key == "comment") {
        r.comment += (r.comment.empty() ? "" : "\n") + std::string(value);
    } else if (key == "fit_rms" || key == "fit_max_residual" || key == "stroke") {
        error = ReadNumber(value, line, key, 0.0, 1e6, number);
        (key == "fit_rms" ? r.fitRms : key == "stroke" ? r.stroke : r.fitMaxResidual) = number;
    } else {
        return LineName(line) + "\"" + std::string(key) +
               "\" is not an entry of a calibration record.";
    }
    return error;
}

} // namespace

CalibrationRecord MakeRecord(const Measurement& measurement, const ResponseCurve& curve,
                             double waveLength, std::optional<double> temperature,
                             std::string comment) {
    CalibrationRecord r;
    r.measurement = measurement;
    r.waveLength = waveLength;
    r.temperature = temperature;
    r.date = CurrentDate();
    r.comment = std::move(comment);
    if (curve.Report()) {
        r.fitRms = curve.Report()->rms;
        r.fitMaxResidual = curve.Report()->maxResidual;
    }
    r.stroke = curve.Stroke();
    return r;
}

std::string CurrentDate() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string FormatRecord(const CalibrationRecord& r) {
    std::string out = std::string(kMagic) + " " + std::to_string(kRecordVersion) + "\n";
    out += "wavelength_nm = " + Number(r.waveLength * 1e9) + "\n";
    if (r.temperature) {
        out += "temperature_c = " + Number(*r.temperature) + "\n";
    }
    out += "digits = " + std::to_string(r.measurement.digits) + "\n";
    out += "unit = " + std::string(UnitName(r.measurement.unit)) + "\n";
    out += std::string("wrapped = ") + (r.measurement.wrapped ? "yes" : "no") + "\n";
    if (!r.date.empty()) {
        out += "date = " + r.date + "\n";
    }
    for (const std::string_view line : SplitLines(r.comment)) {
        out += "comment = " + std::string(Trim(line)) + "\n";
    }
    if (r.fitRms) {
        out += "fit_rms = " + Number(*r.fitRms) + "\n";
    }
    if (r.fitMaxResidual) {
        out += "fit_max_residual = " + Number(*r.fitMaxResidual) + "\n";
    }
    if (r.stroke) {
        out += "stroke = " + Number(*r.stroke) + "\n";
    }
    out += "readings = " + std::to_string(r.measurement.points.size()) + "\n";
    out += "level,phase\n";
    for (const MeasuredPoint& p : r.measurement.points) {
        out += std::to_string(p.level) + "," + numtext::FormatGeneral(p.phase, 17) + "\n";
    }
    out += "end\n";
    return out;
}

Result<CalibrationRecord> ParseRecord(std::string_view text) {
    enum class Part { Magic, Entries, Readings, End };
    Part part = Part::Magic;
    CalibrationRecord r;
    std::set<std::string, std::less<>> seen;
    std::optional<long> readings;
    int lineNumber = 0;
    for (const std::string_view raw : SplitLines(text)) {
        ++lineNumber;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        switch (part) {
        case Part::Magic: {
            if (line.substr(0, kMagic.size()) != kMagic) {
                return Refuse("This is not a calibration record: its first line is not \"" +
                              std::string(kMagic) + " " + std::to_string(kRecordVersion) + "\".");
            }
            const auto version = numtext::ParseInt(line.substr(kMagic.size()));
            if (!version) {
                return Refuse(LineName(lineNumber) +
                              "the record's version is missing or not a number.");
            }
            if (*version != kRecordVersion) {
                return Refuse("The record is of version " + std::to_string(*version) +
                              "; this program reads version " + std::to_string(kRecordVersion) +
                              ".");
            }
            part = Part::Entries;
            break;
        }
        case Part::Entries: {
            if (line == "level,phase") {
                part = Part::Readings;
                break;
            }
            const auto equals = line.find('=');
            if (equals == std::string_view::npos) {
                return Refuse(LineName(lineNumber) + "\"" + std::string(line.substr(0, 40)) +
                              "\" is no \"key = value\" entry (the readings begin after a line "
                              "\"level,phase\").");
            }
            const std::string_view key = Trim(line.substr(0, equals));
            if (key != "comment" && !seen.emplace(key).second) {
                return Refuse(LineName(lineNumber) + std::string(key) + " is given twice.");
            }
            if (key == "readings") {
                const auto count = numtext::ParseInt(line.substr(equals + 1));
                if (!count || *count < 0) {
                    return Refuse(LineName(lineNumber) + "readings must be a whole number.");
                }
                readings = *count;
            } else if (const auto error =
                           ReadEntry(key, Trim(line.substr(equals + 1)), lineNumber, r)) {
                return Refuse(*error);
            }
            break;
        }
        case Part::Readings: {
            if (line == "end") {
                part = Part::End;
                break;
            }
            MeasuredPoint point;
            if (const auto error = ParseReading(line, lineNumber, point)) {
                return Refuse(*error);
            }
            r.measurement.points.push_back(point);
            break;
        }
        case Part::End:
            return Refuse(LineName(lineNumber) + "text after the closing \"end\".");
        }
    }
    if (part == Part::Magic) {
        return Refuse("The calibration record is empty.");
    }
    for (const std::string_view key : {"wavelength_nm", "digits", "unit"}) {
        if (!seen.contains(key)) {
            return Refuse("The calibration record lacks its " + std::string(key) + " entry.");
        }
    }
    if (part != Part::End) {
        return Refuse(part == Part::Entries
                          ? std::string("The calibration record has no readings (a line "
                                        "\"level,phase\" and the readings after it).")
                          : "The calibration record ends without its closing \"end\" line: it "
                            "was cut off.");
    }
    if (readings && *readings != static_cast<long>(r.measurement.points.size())) {
        return Refuse("The calibration record announces " + std::to_string(*readings) +
                      " readings but holds " + std::to_string(r.measurement.points.size()) + ".");
    }
    const auto checked = Prepare(r.measurement);
    if (!checked) {
        return Refuse(checked.Message());
    }
    return r;
}

Result<CalibrationRecord> ReadRecord(const std::string& path) {
    const auto text = safefile::ReadAll(path, std::size_t{16} << 20);
    if (!text) {
        return Refuse("Can't read the calibration record " + path + ".");
    }
    auto record = ParseRecord(*text);
    if (!record) {
        return Refuse(path + ": " + record.Message());
    }
    return record;
}

Result<Done> WriteRecord(const std::string& path, const CalibrationRecord& record) {
    const std::string text = FormatRecord(record);
    const auto reread = ParseRecord(text);
    if (!reread) {
        return Refuse("The calibration record was not written: " + reread.Message());
    }
    int error = 0;
    if (!safefile::WriteAtomically(path, text, &error)) {
        return Refuse("Can't write the calibration record " + safefile::Detail(path, error) + ".");
    }
    return Done{};
}

} // namespace calibration
