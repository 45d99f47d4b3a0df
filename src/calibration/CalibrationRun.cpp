#include "calibration/CalibrationRun.h"

#include "calibration/CorrectionTableFile.h"
#include "framework/NumberText.h"

#include <cmath>

namespace calibration {

Result<CalibrationOutcome> RunCalibration(const CalibrationJob& job) {
    auto measurement = ReadMeasurementCsv(job.measurementPath, job.csv);
    if (!measurement) {
        return Refuse(measurement.Message());
    }
    return CalibrateMeasurement(*measurement, job, job.measurementPath + ": ");
}

Result<CalibrationOutcome> CalibrateMeasurement(const Measurement& measurement,
                                                const CalibrationJob& job,
                                                const std::string& source) {
    // The wave length goes into the record; a table alone does not need it.
    if (!job.recordPath.empty() && (!(job.waveLength > 0.0) || !std::isfinite(job.waveLength))) {
        return Refuse("The wave length must be a number above 0.");
    }
    FitOptions fit = job.fit;
    fit.duplicateTolerance = job.csv.duplicateTolerance;
    auto curve = ResponseCurve::Fit(measurement, fit);
    if (!curve) {
        return Refuse(source + curve.Message());
    }
    auto table = curve->BuildTable(measurement.digits, job.maxPhase, job.maxPhaseUnit);
    if (!table) {
        return Refuse(table.Message());
    }
    CalibrationOutcome outcome{
        *curve, std::move(*table),
        MakeRecord(measurement, *curve, job.waveLength, job.temperature, job.comment)};
    if (!job.recordPath.empty()) {
        const auto written = WriteRecord(job.recordPath, outcome.record);
        if (!written) {
            return Refuse(written.Message());
        }
    }
    if (!job.tablePath.empty()) {
        const auto written = WriteCorrectionTable(job.tablePath, outcome.table, measurement.digits);
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

std::vector<FitFigure> FitFigures(const ResponseCurve& curve) {
    const auto radians = [](double value) { return numtext::FormatGeneral(value, 4) + " rad"; };
    std::vector<FitFigure> figures;
    const auto& report = curve.Report();
    const std::size_t levels =
        report ? report->levels.size()
               : static_cast<std::size_t>(curve.LastLevel() - curve.FirstLevel() + 1);
    figures.push_back({"levels", std::to_string(levels) + ", " +
                                     std::to_string(curve.FirstLevel()) + " to " +
                                     std::to_string(curve.LastLevel())});
    if (report) {
        figures.push_back({"outliers", std::to_string(report->outlierCount)});
        figures.push_back({"rms", radians(report->rms)});
        figures.push_back({"max residual", radians(report->maxResidual)});
    }
    figures.push_back({"stroke", radians(curve.Stroke()) + " (" +
                                     FormatPhase(curve.Stroke(), PhaseUnit::PartsOfPi) + ")"});
    return figures;
}

Result<LibraryTable> TableFromLibrary(const std::string& folder, double waveLength,
                                      std::optional<int> digits, double maxPhase, PhaseUnit unit) {
    auto picked = PickByWaveLength(folder, waveLength);
    if (!picked) {
        return Refuse(picked.Message());
    }
    if (digits && picked->digits != *digits) {
        return Refuse("The library's curve at " + numtext::FormatGeneral(waveLength * 1e9, 6) +
                      " nm (" + picked->description + ") is for " + std::to_string(picked->digits) +
                      " DAC digits, not " + std::to_string(*digits) + ".");
    }
    auto table = picked->curve.BuildTable(picked->digits, maxPhase, unit);
    if (!table) {
        return Refuse(table.Message() + " (" + picked->description + ")");
    }
    return LibraryTable{std::move(*picked), std::move(*table)};
}

std::string LibraryTableName(double waveLength, int digits, double maxPhase) {
    return "table-" + numtext::FormatGeneral(waveLength * 1e9, 6) + "nm-" + std::to_string(digits) +
           "digits-" + numtext::FormatGeneral(maxPhase, 6) + "pi.txt";
}

Result<LibraryTableFile> WriteLibraryTable(const std::string& folder, double waveLength, int digits,
                                           double maxPhase) {
    auto made = TableFromLibrary(folder, waveLength, digits, maxPhase);
    if (!made) {
        return Refuse(made.Message());
    }
    const std::string path = folder + "/" + LibraryTableName(waveLength, digits, maxPhase);
    if (const auto written = WriteCorrectionTable(path, made->table, digits); !written) {
        return Refuse(written.Message());
    }
    return LibraryTableFile{path, made->picked.description};
}

} // namespace calibration
