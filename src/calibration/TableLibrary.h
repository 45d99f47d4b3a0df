// The table library: a folder of calibration records (".tcal"), one or more per wave length,
// from which the response at a wanted wave length is picked.
//
// A record measured at the wanted wave length (within a tolerance) gives its fitted curve.
// Between two records the curve is interpolated from the nearest record on either side, in
// 1/wave length along the liquid crystal's dispersion: with a Cauchy birefringence
// dn = A + B/lambda^2 the phase at a level is  phase = a u + b u^3  with u = 1/lambda, and
// the two records fix a and b level by level. Both curves are taken relative to the same
// level first (measured phases carry an arbitrary offset each), and only levels measured in
// both records are used. Outside the wave lengths of the records, or without records, there
// is no curve: the program never extrapolates.
#pragma once

#include "calibration/CalibrationRecord.h"
#include "calibration/ResponseCurve.h"
#include "calibration/Result.h"

#include <string>
#include <string_view>
#include <vector>

class SettingsStore;

namespace calibration {

// The setting (section "Settings") that names the library's folder.
inline constexpr std::string_view kCalibrationFolderKey = "Calibration Folder";
// Records this close to the wanted wave length (metres) count as measured at it.
inline constexpr double kWaveLengthTolerance = 0.5e-9;

// "calibration" in the folder of the settings file.
std::string DefaultCalibrationFolder(const std::string& settingsPath);
// The folder the settings name, or the default beside the settings file.
std::string CalibrationFolder(const SettingsStore& settings);

struct LibraryRecord {
    std::string path;
    CalibrationRecord record;
};

struct LibraryScan {
    std::vector<LibraryRecord> records; // by file name
    std::vector<std::string> problems;  // files that could not be read, with the reason
};

// Every ".tcal" file of the folder (not of its sub-folders).
LibraryScan ScanLibrary(const std::string& folder);

struct PickedCurve {
    ResponseCurve curve;
    int digits = 16;
    bool interpolated = false;
    std::vector<std::string> sources;  // the record files used: one, or the two neighbours
    std::string description;           // for the person; names the files
    std::vector<std::string> problems; // files of the folder that were skipped
};

// The curve at `waveLength` (metres) from the library's records.
Result<PickedCurve> PickByWaveLength(const LibraryScan& library, double waveLength,
                                     const FitOptions& options = {},
                                     double tolerance = kWaveLengthTolerance);
Result<PickedCurve> PickByWaveLength(const std::string& folder, double waveLength,
                                     const FitOptions& options = {},
                                     double tolerance = kWaveLengthTolerance);

// The response at `waveLength` between two curves measured at `waveLength1` and
// `waveLength2` (see above), over the levels both cover, relative to the end of that range
// where the phase is lowest.
Result<ResponseCurve> InterpolateCurves(const ResponseCurve& curve1, double waveLength1,
                                        const ResponseCurve& curve2, double waveLength2,
                                        double waveLength, std::string origin);

} // namespace calibration
