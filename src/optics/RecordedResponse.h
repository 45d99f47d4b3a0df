// The liquid crystal's measured response as the optical check's level response: the curve
// fitted to a calibration record's readings (as the calibration fits them), giving the real
// phase at each DAC level the record measured. Measured phases carry an arbitrary offset,
// which the check removes anyway; the curve is taken relative to its zero level.
#pragma once

#include "calibration/CalibrationRecord.h"
#include "calibration/ResponseCurve.h"
#include "calibration/Result.h"
#include "optics/OpticalCheck.h"

#include <memory>
#include <string>

namespace optics {

struct RecordedResponse {
    std::shared_ptr<const calibration::ResponseCurve> curve;
    int digits = 16;         // of the DAC the levels belong to
    double waveLength = 0.0; // m, of the light the record was measured with
    std::string source;      // for the person: the record's file and the curve's origin
};

// The response of a record already read; `name` says where it came from (its file).
calibration::Result<RecordedResponse>
ResponseFromRecord(const calibration::CalibrationRecord& record, const std::string& name);
// Reads a record (".tcal") and fits its curve; every refusal names the file.
calibration::Result<RecordedResponse> ReadRecordedResponse(const std::string& path);

// Makes `response` the level response of `input`. Refused, with the reason, and `input` left
// as it was: a record of another number of DAC digits (its levels are other voltages), a
// lens made for another wave length than the record's (within 0.5 nm), an element driven at a
// level the record did not measure (the phase there is unknown; the program never
// extrapolates). A polynomial profile or a code pattern, whose phase does not depend on the
// light, is checked at the record's wave length. Returns the refusal, empty when taken.
std::string UseResponse(CheckInput& input, const RecordedResponse& response);

} // namespace optics
