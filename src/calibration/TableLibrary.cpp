#include "calibration/TableLibrary.h"

#include "framework/NumberText.h"
#include "framework/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace calibration {

namespace {

std::string Nanometres(double waveLength) {
    return numtext::FormatGeneral(waveLength * 1e9, 6) + " nm";
}

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// The records nearest to `waveLength` on one side (below, or above), all within the
// tolerance of the nearest; empty when there is none on that side.
std::vector<const LibraryRecord*> Nearest(const LibraryScan& library, double waveLength, bool below,
                                          double tolerance) {
    std::vector<const LibraryRecord*> side;
    for (const LibraryRecord& r : library.records) {
        if (below ? r.record.waveLength < waveLength : r.record.waveLength > waveLength) {
            side.push_back(&r);
        }
    }
    if (side.empty()) {
        return side;
    }
    const auto distance = [&](const LibraryRecord* r) {
        return std::fabs(r->record.waveLength - waveLength);
    };
    const double nearest = distance(*std::min_element(
        side.begin(), side.end(), [&](auto* a, auto* b) { return distance(a) < distance(b); }));
    std::erase_if(side, [&](auto* r) { return distance(r) > nearest + tolerance; });
    return side;
}

// One record out of a group that should hold one; the message names them all otherwise.
Result<const LibraryRecord*> Single(const std::vector<const LibraryRecord*>& group) {
    if (group.size() == 1) {
        return group.front();
    }
    std::string names;
    for (const auto* r : group) {
        names += (names.empty() ? "" : ", ") + FileName(r->path) + " (" +
                 Nanometres(r->record.waveLength) + ")";
    }
    return Refuse("Several records were measured at nearly the same wave length: " + names +
                  ". Keep one of them in the library.");
}

std::string WithProblems(std::string message, const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) {
        message += "\nSkipped: " + problem;
    }
    return message;
}

Result<ResponseCurve> FitRecord(const LibraryRecord& r, const FitOptions& options) {
    auto curve = ResponseCurve::Fit(r.record.measurement, options);
    if (!curve) {
        return Refuse(FileName(r.path) + ": " + curve.Message());
    }
    return curve;
}

} // namespace

std::string DefaultCalibrationFolder(const std::string& settingsPath) {
    const auto parent = std::filesystem::path(settingsPath).parent_path();
    return (parent.empty() ? std::filesystem::path("calibration") : parent / "calibration")
        .string();
}

std::string CalibrationFolder(const SettingsStore& settings) {
    const std::string folder = settings.GetString(settings::kSection, kCalibrationFolderKey, "");
    return folder.empty() ? DefaultCalibrationFolder(settings.Path()) : folder;
}

LibraryScan ScanLibrary(const std::string& folder) {
    LibraryScan scan;
    std::error_code ec;
    std::vector<std::string> paths;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().extension() == kRecordExtension && it->is_regular_file(ec)) {
            paths.push_back(it->path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        auto record = ReadRecord(path);
        if (record) {
            scan.records.push_back({path, std::move(*record)});
        } else {
            scan.problems.push_back(record.Message());
        }
    }
    return scan;
}

Result<PickedCurve> PickByWaveLength(const std::string& folder, double waveLength,
                                     const FitOptions& options, double tolerance) {
    return PickByWaveLength(ScanLibrary(folder), waveLength, options, tolerance);
}

Result<PickedCurve> PickByWaveLength(const LibraryScan& library, double waveLength,
                                     const FitOptions& options, double tolerance) {
    if (!(waveLength > 0.0) || !std::isfinite(waveLength)) {
        return Refuse("The wave length must be a number above 0.");
    }
    if (library.records.empty()) {
        return Refuse(WithProblems("The calibration library holds no record to make a table for " +
                                       Nanometres(waveLength) + " from.",
                                   library.problems));
    }
    // Measured at the wave length itself.
    std::vector<const LibraryRecord*> here;
    for (const LibraryRecord& r : library.records) {
        if (std::fabs(r.record.waveLength - waveLength) <= tolerance) {
            here.push_back(&r);
        }
    }
    if (!here.empty()) {
        const auto single = Single(here);
        if (!single) {
            return Refuse(single.Message());
        }
        const LibraryRecord& r = **single;
        auto curve = FitRecord(r, options);
        if (!curve) {
            return Refuse(curve.Message());
        }
        return PickedCurve{std::move(*curve),
                           r.record.measurement.digits,
                           false,
                           {r.path},
                           "measured at " + Nanometres(r.record.waveLength) + " (" +
                               FileName(r.path) + ")",
                           library.problems};
    }

    const auto below = Nearest(library, waveLength, true, tolerance);
    const auto above = Nearest(library, waveLength, false, tolerance);
    if (below.empty() || above.empty()) {
        double lowest = library.records.front().record.waveLength, highest = lowest;
        for (const LibraryRecord& r : library.records) {
            lowest = std::min(lowest, r.record.waveLength);
            highest = std::max(highest, r.record.waveLength);
        }
        return Refuse(WithProblems("No record was measured at " + Nanometres(waveLength) +
                                       ", and the records cover only " +
                                       (lowest == highest
                                            ? Nanometres(lowest)
                                            : Nanometres(lowest) + " to " + Nanometres(highest)) +
                                       ": the program does not extrapolate beyond them.",
                                   library.problems));
    }
    const auto low = Single(below);
    const auto high = Single(above);
    if (!low || !high) {
        return Refuse(!low ? low.Message() : high.Message());
    }
    const LibraryRecord& a = **low;
    const LibraryRecord& b = **high;
    if (a.record.measurement.digits != b.record.measurement.digits) {
        return Refuse(FileName(a.path) + " was measured with " +
                      std::to_string(a.record.measurement.digits) + " DAC digits, " +
                      FileName(b.path) + " with " + std::to_string(b.record.measurement.digits) +
                      ": they cannot be interpolated.");
    }
    auto curveA = FitRecord(a, options);
    auto curveB = FitRecord(b, options);
    if (!curveA || !curveB) {
        return Refuse(!curveA ? curveA.Message() : curveB.Message());
    }
    const std::string description = "interpolated at " + Nanometres(waveLength) + " between " +
                                    FileName(a.path) + " (" + Nanometres(a.record.waveLength) +
                                    ") and " + FileName(b.path) + " (" +
                                    Nanometres(b.record.waveLength) + ")";
    auto curve = InterpolateCurves(*curveA, a.record.waveLength, *curveB, b.record.waveLength,
                                   waveLength, description);
    if (!curve) {
        return Refuse(curve.Message());
    }
    return PickedCurve{
        std::move(*curve), a.record.measurement.digits, true, {a.path, b.path}, description,
        library.problems};
}

Result<ResponseCurve> InterpolateCurves(const ResponseCurve& curve1, double waveLength1,
                                        const ResponseCurve& curve2, double waveLength2,
                                        double waveLength, std::string origin) {
    if (curve1.Rising() != curve2.Rising()) {
        return Refuse("The phase rises with the level in one record and falls in the other (" +
                      origin + "): they cannot be interpolated.");
    }
    const int first = std::max(curve1.FirstLevel(), curve2.FirstLevel());
    const int last = std::min(curve1.LastLevel(), curve2.LastLevel());
    if (last - first + 1 < kMinLevels) {
        return Refuse("The two records share too few measured levels (" + origin +
                      "): they cannot be interpolated.");
    }
    // phase(u) = a u + b u^3 through both records: the weights of their phases at u.
    const double u = 1.0 / waveLength, u1 = 1.0 / waveLength1, u2 = 1.0 / waveLength2;
    const double w1 = u * (u2 * u2 - u * u) / (u1 * (u2 * u2 - u1 * u1));
    const double w2 = u * (u * u - u1 * u1) / (u2 * (u2 * u2 - u1 * u1));
    const int zero = curve1.Rising() ? first : last;
    const double zero1 = *curve1.PhaseAt(zero), zero2 = *curve2.PhaseAt(zero);
    std::vector<double> phases;
    for (int level = first; level <= last; ++level) {
        phases.push_back(w1 * (*curve1.PhaseAt(level) - zero1) +
                         w2 * (*curve2.PhaseAt(level) - zero2));
    }
    return ResponseCurve::FromSamples(first, std::move(phases), std::move(origin));
}

} // namespace calibration
