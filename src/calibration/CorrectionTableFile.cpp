#include "calibration/CorrectionTableFile.h"

#include "framework/SafeFile.h"
#include "profile/DacCodes.h"
#include "profile/DataText.h"
#include "profile/TessaronDoc.h"

namespace calibration {

std::string FormatCorrectionTable(const std::vector<std::uint16_t>& table) {
    std::string text;
    text.reserve(table.size() * 6);
    for (const std::uint16_t level : table) {
        text += std::to_string(level);
        text += '\n';
    }
    return text;
}

Result<Done> WriteCorrectionTable(const std::string& path, const std::vector<std::uint16_t>& table,
                                  int digits) {
    if (digits < limits::kMinDacDigits || digits > limits::kMaxDacDigits) {
        return Refuse("A correction table is made for 10 to 16 DAC digits; " +
                      std::to_string(digits) + " were asked.");
    }
    const std::uint32_t entries = daccodes::HalfRange(digits);
    if (table.size() != entries) {
        return Refuse("A correction table for " + std::to_string(digits) + " digits has " +
                      std::to_string(entries) + " entries, not " + std::to_string(table.size()) +
                      "; nothing was written.");
    }
    const std::string text = FormatCorrectionTable(table);
    std::vector<std::uint16_t> reread;
    if (datatext::ParseCorrectionTable(text, entries, reread) != datatext::TableResult::Ok ||
        reread != table) {
        return Refuse("The correction table holds levels beyond the DAC range 0 to " +
                      std::to_string(entries - 1) + "; nothing was written.");
    }
    int error = 0;
    if (!safefile::WriteAtomically(path, text, &error)) {
        return Refuse("Can't write the correction table " + safefile::Detail(path, error) + ".");
    }
    return Done{};
}

} // namespace calibration
