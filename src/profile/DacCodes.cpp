#include "profile/DacCodes.h"

namespace daccodes {

std::uint32_t HalfRange(int digits) {
    if (digits < 1 || digits > 16) {
        return 0;
    }
    return std::uint32_t{1} << (digits - 1);
}

std::vector<std::uint16_t> Mirrored(const std::vector<std::uint16_t>& levels, int digits) {
    const std::uint32_t half = HalfRange(digits);
    const std::size_t n = levels.size();
    std::vector<std::uint16_t> codes(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        codes[i] = static_cast<std::uint16_t>(half + levels[i]);
        codes[n + i] = static_cast<std::uint16_t>(half - levels[i] - 1u);
    }
    return codes;
}

} // namespace daccodes
