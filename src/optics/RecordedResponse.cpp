#include "optics/RecordedResponse.h"

#include "calibration/TableLibrary.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace optics {

namespace {

std::string Nanometres(double metres) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f nm", metres * 1e9);
    return text;
}

std::string FileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

calibration::Result<RecordedResponse>
ResponseFromRecord(const calibration::CalibrationRecord& record, const std::string& name) {
    auto curve = calibration::ResponseCurve::Fit(record.measurement);
    if (!curve) {
        return calibration::Refuse(name + ": " + curve.Message());
    }
    RecordedResponse response;
    response.curve = std::make_shared<const calibration::ResponseCurve>(std::move(*curve));
    response.digits = record.measurement.digits;
    response.waveLength = record.waveLength;
    response.source =
        name + " (" + Nanometres(record.waveLength) + ", " + response.curve->Origin() + ")";
    return response;
}

calibration::Result<RecordedResponse> ReadRecordedResponse(const std::string& path) {
    const auto record = calibration::ReadRecord(path);
    if (!record) {
        return calibration::Refuse(record.Message());
    }
    return ResponseFromRecord(*record, FileName(path));
}

std::string UseResponse(CheckInput& input, const RecordedResponse& response) {
    if (input.dacDigits != response.digits) {
        return "The calibration record was measured with a DAC of " +
               std::to_string(response.digits) + " digits, the codes are for " +
               std::to_string(input.dacDigits) + " digits: their levels are other voltages.";
    }
    const bool lens = input.design == Design::Lens;
    if (lens &&
        !(std::fabs(input.waveLength - response.waveLength) <= calibration::kWaveLengthTolerance)) {
        return "The calibration record was measured at " + Nanometres(response.waveLength) +
               ", the lens is made for " + Nanometres(input.waveLength) +
               ", where the liquid crystal's phase is another: use a record of the lens's wave "
               "length.";
    }
    const calibration::ResponseCurve& curve = *response.curve;
    const std::uint32_t halfRange = std::uint32_t{1} << (input.dacDigits - 1);
    const auto n = static_cast<std::size_t>(std::max(input.elements, 0));
    for (std::size_t i = 0; i < n && i < input.codes.size(); ++i) {
        const std::uint32_t code = input.codes[i];
        // Codes outside the upper half are no Send's codes; the check itself says so.
        if (code < halfRange || code >= 2 * halfRange) {
            continue;
        }
        const auto level = static_cast<int>(code - halfRange);
        if (level < curve.FirstLevel() || level > curve.LastLevel()) {
            return "Element " + std::to_string(i) + " is driven at level " + std::to_string(level) +
                   ", outside the levels " + std::to_string(curve.FirstLevel()) + " to " +
                   std::to_string(curve.LastLevel()) +
                   " the calibration record measured: the phase there is unknown.";
        }
    }
    if (!lens) {
        input.waveLength = response.waveLength;
    }
    // The phase above the curve's lowest end (the zero of its tables).
    const double zero = *curve.PhaseAt(curve.ZeroLevel());
    input.response.table.clear();
    input.response.function = [curve = response.curve, zero](std::uint32_t level) {
        const auto phase = curve->PhaseAt(static_cast<double>(level));
        return phase ? *phase - zero : std::numeric_limits<double>::quiet_NaN();
    };
    return {};
}

} // namespace optics
