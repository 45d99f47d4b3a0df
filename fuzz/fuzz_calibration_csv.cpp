// Measured-data files: calibration::ParseMeasurementCsv, then the fit and the table. The first
// byte picks the DAC width (10 to 16 digits) and whether the phases are wrapped, the rest is
// the file's text.
//
// An accepted file passes the fit's own checks (Prepare); a curve fitted to it stays inside
// the measured levels, and its table has one entry per DAC level, each a measured level,
// monotone along the table.
#include "FuzzSupport.h"
#include "calibration/MeasurementCsv.h"
#include "calibration/ResponseCurve.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    calibration::CsvOptions options;
    options.digits = 10 + data[0] % 7;
    options.wrapped = (data[0] & 0x80) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto m = calibration::ParseMeasurementCsv(text, options);
    if (!m) {
        FUZZ_CHECK(!m.Message().empty());
        return 0;
    }
    const auto prepared = calibration::Prepare(*m);
    FUZZ_CHECK(prepared.Ok());
    FUZZ_CHECK(prepared->levels.size() >= static_cast<std::size_t>(calibration::kMinLevels));
    const auto curve = calibration::ResponseCurve::Fit(*prepared);
    if (!curve) {
        FUZZ_CHECK(!curve.Message().empty());
        return 0;
    }
    FUZZ_CHECK(curve->FirstLevel() == prepared->levels.front());
    FUZZ_CHECK(curve->LastLevel() == prepared->levels.back());
    FUZZ_CHECK(!curve->PhaseAt(curve->LastLevel() + 0.5).has_value());
    FUZZ_CHECK(std::isfinite(curve->Stroke()));
    const auto table =
        curve->BuildTable(options.digits, curve->Stroke() * 0.9, calibration::PhaseUnit::Radians);
    if (!table) {
        // Only a curve with next to no stroke leaves no maximum phase above 0.
        FUZZ_CHECK(!(curve->Stroke() * 0.9 > 0.0));
        return 0;
    }
    FUZZ_CHECK(table->size() == std::size_t{1} << (options.digits - 1));
    for (std::size_t k = 0; k < table->size(); ++k) {
        const int level = (*table)[k];
        FUZZ_CHECK(level >= curve->FirstLevel() && level <= curve->LastLevel());
        if (k > 0) {
            FUZZ_CHECK(curve->Rising() ? level >= (*table)[k - 1] : level <= (*table)[k - 1]);
        }
    }
    return 0;
}
