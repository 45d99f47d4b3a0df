// The measured-data file: one reading a line, "level,phase".
//
//   # 633 nm, 24 C, cell 7        lines starting with '#' are comments
//   level,phase[waves]            an optional header; a unit in brackets or parentheses
//   0,0.013                       (rad, waves or pi) says what the phases are in
//   512,0.021
//
// Levels are whole DAC levels from 0 to 2^(digits-1) - 1, phases numbers with a decimal
// point (never a comma); blank lines are skipped, white space around fields is allowed.
// Numbers are read the same way whatever the locale.
#pragma once

#include "calibration/Measurement.h"
#include "calibration/Result.h"

#include <optional>
#include <string>
#include <string_view>

namespace calibration {

struct CsvOptions {
    int digits = 16;
    // The phases' unit when the file names none; radians when neither does. A file that
    // names another unit than the one given here is refused.
    std::optional<PhaseUnit> unit;
    // The phases were folded into one period.
    bool wrapped = false;
    double duplicateTolerance = kDuplicateTolerance; // radians
};

// Reads and checks a measurement (see Prepare for the checks). Every refusal names the line.
Result<Measurement> ParseMeasurementCsv(std::string_view text, const CsvOptions& options);
Result<Measurement> ReadMeasurementCsv(const std::string& path, const CsvOptions& options);

// One "level,phase" line (without its line break) into `point`; the message when it is not
// one. Shared with the calibration record, whose readings have the same form.
std::optional<std::string> ParseReading(std::string_view line, int lineNumber,
                                        MeasuredPoint& point);

// A header line "level,phase", with or without a unit ("level,phase[waves]"): the message
// when it is not one; `unit` receives the unit it names (nothing when it names none).
std::optional<std::string> ParseHeader(std::string_view line, int lineNumber,
                                       std::optional<PhaseUnit>& unit);
// Whether a line is meant as that header (it begins with the word "level").
bool IsHeaderLine(std::string_view line);
// The refusal of a header that names another unit than the one asked.
std::string UnitMismatch(int lineNumber, PhaseUnit named, PhaseUnit asked);

// The text of a measurement in this form: the comment lines (each after "# "), the header with
// the measurement's unit, then one reading a line, every phase written so that it reads back
// exactly.
std::string FormatMeasurementCsv(const Measurement& measurement, const std::string& comment = "");
// Writes that text atomically; a failure leaves an existing file as it was.
Result<Done> WriteMeasurementCsv(const std::string& path, const Measurement& measurement,
                                 const std::string& comment = "");

// The lines of a text: without line breaks (LF or CR LF), a leading UTF-8 byte order mark
// dropped.
std::vector<std::string_view> SplitLines(std::string_view text);
// The text without white space at either end.
std::string_view Trim(std::string_view text);

} // namespace calibration
