// Correction tables: datatext::ParseCorrectionTable. The first byte picks the DAC width
// (10 to 16 digits), the rest is the table text.
//
// The table always ends up with exactly halfRange entries (the code computation indexes it
// by phase without further checks), and no entry reaches halfRange: on Ok every entry was
// read and checked, otherwise reading stopped early and the entries not read stay 0.
#include "FuzzSupport.h"
#include "profile/DataText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int digits = 10 + data[0] % 7;
    const std::size_t halfRange = std::size_t{1} << (digits - 1);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Left-overs of an earlier table must not survive.
    std::vector<std::uint16_t> table(halfRange + 3, 0xFFFF);
    const datatext::TableResult result = datatext::ParseCorrectionTable(text, halfRange, table);
    FUZZ_CHECK(result == datatext::TableResult::Ok || result == datatext::TableResult::TooLarge ||
               result == datatext::TableResult::TooFew);
    FUZZ_CHECK(table.size() == halfRange);
    for (const std::uint16_t entry : table) {
        FUZZ_CHECK(entry < halfRange);
    }
    return 0;
}
