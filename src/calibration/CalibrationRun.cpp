#include "calibration/CalibrationRun.h"

#include "calibration/CorrectionTableFile.h"

#include <cmath>

namespace calibration {

Result<CalibrationOutcome> RunCalibration(const CalibrationJob& job) {
    if (!(job.waveLength > 0.0) || !std::isfinite(job.waveLength)) {
        return Refuse("The wave length must be a number above 0.");
    }
    auto measurement = ReadMeasurementCsv(job.measurementPath, job.csv);
    if (!measurement) {
        return Refuse(measurement.Message());
    }
    FitOptions fit = job.fit;
    fit.duplicateTolerance = job.csv.duplicateTolerance;
    auto curve = ResponseCurve::Fit(*measurement, fit);
    if (!curve) {
        return Refuse(job.measurementPath + ": " + curve.Message());
    }
    auto table = curve->BuildTable(measurement->digits, job.maxPhase, job.maxPhaseUnit);
    if (!table) {
        return Refuse(table.Message());
    }
    CalibrationOutcome outcome{
        *curve, std::move(*table),
        MakeRecord(*measurement, *curve, job.waveLength, job.temperature, job.comment)};
    if (!job.recordPath.empty()) {
        const auto written = WriteRecord(job.recordPath, outcome.record);
        if (!written) {
            return Refuse(written.Message());
        }
    }
    if (!job.tablePath.empty()) {
        const auto written =
            WriteCorrectionTable(job.tablePath, outcome.table, measurement->digits);
        if (!written) {
            return Refuse(written.Message() +
                          (job.recordPath.empty()
                               ? std::string()
                               : " The calibration record " + job.recordPath + " was written."));
        }
    }
    return outcome;
}

Result<std::vector<std::uint16_t>> TableFromRecord(const CalibrationRecord& record, double maxPhase,
                                                   PhaseUnit unit, const FitOptions& fit) {
    auto curve = ResponseCurve::Fit(record.measurement, fit);
    if (!curve) {
        return Refuse(curve.Message());
    }
    return curve->BuildTable(record.measurement.digits, maxPhase, unit);
}

} // namespace calibration
