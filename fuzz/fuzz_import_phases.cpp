// Phase import: datatext::ScanPhases. The first two bytes give the count asked for (up to
// twice the largest element count), the rest is the file text.
//
// The count returned is the number of values delivered and never more than asked for, and
// every value is finite: the profile data must never hold nan or inf.
#include "FuzzSupport.h"
#include "profile/DataText.h"
#include "profile/TessaronDoc.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t count = (data[0] | (data[1] << 8)) % (2 * limits::kMaxElements + 1);
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);

    // Values of an earlier import must not survive.
    std::vector<double> values{1.0, NAN, INFINITY};
    const std::size_t read = datatext::ScanPhases(text, count, values);
    FUZZ_CHECK(read == values.size());
    FUZZ_CHECK(read <= count);
    for (const double value : values) {
        FUZZ_CHECK(std::isfinite(value));
    }
    return 0;
}
