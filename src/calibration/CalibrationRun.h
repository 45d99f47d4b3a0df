// One calibration from start to end: the measured-data file in, the correction table and the
// calibration record out. Every check comes before the first file is written, so a refused
// calibration writes nothing.
#pragma once

#include "calibration/CalibrationRecord.h"
#include "calibration/MeasurementCsv.h"
#include "calibration/ResponseCurve.h"
#include "calibration/Result.h"

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
    double waveLength = 0.0; // metres
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

// The table a stored record gives for a maximum phase (in `unit`).
Result<std::vector<std::uint16_t>> TableFromRecord(const CalibrationRecord& record, double maxPhase,
                                                   PhaseUnit unit = PhaseUnit::PartsOfPi,
                                                   const FitOptions& fit = {});

} // namespace calibration
