// A calibration record: one measurement of the liquid crystal's response, with what it was
// measured under and how well the curve fitted it. A small text file (extension ".tcal"),
// written by the program and writable by hand; docs/calibration-record.md describes it:
//
//   tessaron calibration record 1
//   # a comment
//   wavelength_nm = 632.8
//   temperature_c = 24.5
//   digits = 16
//   unit = rad
//   wrapped = no
//   date = 2025-03-14T09:30:00Z
//   comment = cell 7, second sweep
//   fit_rms = 0.0171
//   fit_max_residual = 0.0452
//   stroke = 8.437
//   readings = 64
//   level,phase
//   0,0.0123
//   ...
//   end
//
// The first line names the format and its version. Then one "key = value" line each;
// wavelength_nm, digits and unit are required, comment may repeat (one line each), the rest
// are optional. The readings follow the line "level,phase" in the measured-data form, and
// the line "end" closes the file, so a cut-off file is recognised. The fit's figures (in
// radians) are written for the reader's information; the program fits the readings again
// whenever it uses a record.
#pragma once

#include "calibration/Measurement.h"
#include "calibration/ResponseCurve.h"
#include "calibration/Result.h"

#include <optional>
#include <string>
#include <string_view>

namespace calibration {

inline constexpr int kRecordVersion = 1;
inline constexpr std::string_view kRecordExtension = ".tcal";

struct CalibrationRecord {
    Measurement measurement;
    double waveLength = 0.0;           // metres
    std::optional<double> temperature; // degrees Celsius
    std::string date;                  // when it was measured; written as UTC, ISO 8601
    std::string comment;               // may span lines
    // The fit's figures when the record was made, radians.
    std::optional<double> fitRms;
    std::optional<double> fitMaxResidual;
    std::optional<double> stroke;
};

// A record of a measurement and the curve fitted to it, dated now.
CalibrationRecord MakeRecord(const Measurement& measurement, const ResponseCurve& curve,
                             double waveLength, std::optional<double> temperature,
                             std::string comment);

// The present time as "2025-03-14T09:30:00Z".
std::string CurrentDate();

std::string FormatRecord(const CalibrationRecord& record);
// Reads and checks a record: the version, every entry, the readings (as Prepare checks
// them). Every refusal names the line.
Result<CalibrationRecord> ParseRecord(std::string_view text);
Result<CalibrationRecord> ReadRecord(const std::string& path);
// Writes atomically; a record that would not read back is refused and nothing is written.
Result<Done> WriteRecord(const std::string& path, const CalibrationRecord& record);

} // namespace calibration
