// The text files a profile exchanges: correction tables, and imported phases or codes.
// Pure parsing over text already read, so the readers can be tested and fuzzed directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace datatext {

enum class TableResult {
    Ok,       // `halfRange` entries read
    TooLarge, // an entry of halfRange or more, or one that is negative or wider than 16 bits
    TooFew,   // the text ended, or stopped being numbers, before halfRange entries
};

// Reads the first `halfRange` unsigned numbers of a correction table (signs as for ScanCodes)
// into `table` (resized to halfRange; entries not read stay 0). Reading stops at the first
// entry that is too large.
TableResult ParseCorrectionTable(std::string_view text, std::size_t halfRange,
                                 std::vector<std::uint16_t>& table);

// Reads up to `count` numbers (phases, any decimal or exponent notation) into `values` and
// returns how many were read before the text ended or stopped being numbers.
std::size_t ScanPhases(std::string_view text, std::size_t count, std::vector<double>& values);

// The same for unsigned 16-bit codes ("+5" is 5, "-0" is 0). A negative number or one wider
// than 16 bits ends the scan.
std::size_t ScanCodes(std::string_view text, std::size_t count, std::vector<std::uint16_t>& codes);

} // namespace datatext
