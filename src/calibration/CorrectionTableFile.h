// Writing a correction table in the form the profile document loads: 2^(digits-1) unsigned
// decimal levels, one a line, each line ended (the loader reads exactly that many numbers).
#pragma once

#include "calibration/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace calibration {

// The file's text.
std::string FormatCorrectionTable(const std::vector<std::uint16_t>& table);

// Checks the table against the DAC (one entry per level of `digits` digits, each a level of
// that DAC), checks that its text reads back as the same table, and writes it atomically:
// a temporary file beside `path`, renamed over it. A refused or failed table leaves any
// existing file as it was.
Result<Done> WriteCorrectionTable(const std::string& path, const std::vector<std::uint16_t>& table,
                                  int digits);

} // namespace calibration
