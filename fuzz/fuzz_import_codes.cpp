// Code import: datatext::ScanCodes. The first two bytes give the count asked for (up to
// twice the largest element count), the rest is the file text.
//
// The count returned is the number of codes delivered and never more than asked for.
#include "FuzzSupport.h"
#include "profile/DataText.h"
#include "profile/TessaronDoc.h"

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

    // Codes of an earlier import must not survive.
    std::vector<std::uint16_t> codes{1, 2, 3};
    const std::size_t read = datatext::ScanCodes(text, count, codes);
    FUZZ_CHECK(read == codes.size());
    FUZZ_CHECK(read <= count);
    return 0;
}
