// The arrangement of DAC codes that the controller expects: two codes per element, laid out
// as two mirrored halves around the middle of the DAC range. Profiles and volt-phase tables
// are sent the same way.
#pragma once

#include <cstdint>
#include <vector>

namespace daccodes {

// Half range S = 2^(digits - 1) of a DAC with `digits` bits (digits from 1 to 16).
std::uint32_t HalfRange(int digits);

// For n levels: codes[i] = S + level[i] and codes[n + i] = S - 1 - level[i], both modulo 2^16.
std::vector<std::uint16_t> Mirrored(const std::vector<std::uint16_t>& levels, int digits);

} // namespace daccodes
