// One calibration from start to end: the measured-data file in, the correction table and the
// calibration record out. Every check comes before the first file is written, so a refused
// calibration writes nothing.
#pragma once

#include "calibration/CalibrationRecord.h"
#include "calibration/MeasurementCsv.h"
#include "calibration/ResponseCurve.h"
#include "calibration/Result.h"
#include "calibration/TableLibrary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace calibration {

struct CalibrationJob {
    std::string measurementPath; // the measured-data file ("level,phase" lines)
    CsvOptions csv;              // digits, unit, wrapped
    double maxPhase = 0.0;       // the phase of the table's last entry
    PhaseUnit maxPhaseUnit = PhaseUnit::PartsOfPi;
    double waveLength = 0.0; // metres; required for the record
    std::optional<double> temperature;
    std::string comment;
    FitOptions fit;
    std::string tablePath;  // written when not empty
    std::string recordPath; // written when not empty
};

struct CalibrationOutcome {
    ResponseCurve curve;
    std::vector<std::uint16_t> table;
    CalibrationRecord record;
};

Result<CalibrationOutcome> RunCalibration(const CalibrationJob& job);
// The same for readings at hand (the job's measurement path and CSV reading unused but for
// the duplicate tolerance); a refusal of the fit begins with `source` ("measured.csv: ").
Result<CalibrationOutcome> CalibrateMeasurement(const Measurement& measurement,
                                                const CalibrationJob& job,
                                                const std::string& source = "");

// The table a stored record gives for a maximum phase (in `unit`).
Result<std::vector<std::uint16_t>> TableFromRecord(const CalibrationRecord& record, double maxPhase,
                                                   PhaseUnit unit = PhaseUnit::PartsOfPi,
                                                   const FitOptions& fit = {});

// The figures of a fitted curve for the person, as name and value: "levels" ("64, 0 to
// 32767"), "outliers", "rms" and "max residual" (radians) and "stroke" (radians and parts of
// PI). A curve that was not fitted has its levels and stroke only.
struct FitFigure {
    std::string name;
    std::string value;
};
std::vector<FitFigure> FitFigures(const ResponseCurve& curve);

// The correction table that the library (a folder of records) gives for a wave length
// (metres): from the record measured there, or interpolated between its neighbours. The
// records must be of `digits` DAC digits when digits are given.
struct LibraryTable {
    PickedCurve picked; // the curve, its digits, the records used and their description
    std::vector<std::uint16_t> table;
};
Result<LibraryTable> TableFromLibrary(const std::string& folder, double waveLength,
                                      std::optional<int> digits, double maxPhase,
                                      PhaseUnit unit = PhaseUnit::PartsOfPi);

// The file name under which the library folder keeps such a table:
// "table-632.8nm-16digits-2pi.txt".
std::string LibraryTableName(double waveLength, int digits, double maxPhase);

// The library's table for a profile: made as TableFromLibrary makes it and written into the
// library folder under LibraryTableName, where a profile can keep using it.
struct LibraryTableFile {
    std::string path;
    std::string description; // which record(s), and whether interpolated
};
Result<LibraryTableFile> WriteLibraryTable(const std::string& folder, double waveLength, int digits,
                                           double maxPhase);

} // namespace calibration
