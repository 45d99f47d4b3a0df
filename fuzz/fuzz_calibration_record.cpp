// Calibration records: calibration::ParseRecord.
//
// An accepted record, written again, reads back to the same text, and its readings pass the
// fit's checks.
#include "FuzzSupport.h"
#include "calibration/CalibrationRecord.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto record = calibration::ParseRecord(text);
    if (!record) {
        FUZZ_CHECK(!record.Message().empty());
        return 0;
    }
    FUZZ_CHECK(calibration::Prepare(record->measurement).Ok());
    const std::string written = calibration::FormatRecord(*record);
    const auto again = calibration::ParseRecord(written);
    FUZZ_CHECK(again.Ok());
    FUZZ_CHECK(calibration::FormatRecord(*again) == written);
    return 0;
}
