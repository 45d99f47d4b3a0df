// The correction table and the conversion of phases into DAC codes.
#include "framework/FieldExchange.h"
#include "framework/Prompter.h"
#include "framework/SafeFile.h"
#include "framework/StringTable.h"
#include "profile/DacCodes.h"
#include "profile/DataText.h"
#include "profile/TessaronDoc.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

// Index into a table of `size` entries for a real position, kept inside the table whatever
// the position (negative, beyond the end, not a number).
std::size_t ClampedIndex(double position, std::size_t size) {
    if (!(position > 0.0)) {
        return 0;
    }
    const double last = static_cast<double>(size - 1);
    return position >= last ? size - 1 : static_cast<std::size_t>(position);
}

// The open dialog for a table file: any file, no default extension.
std::optional<FileChoice> AskTableFile(Prompter& prompter) {
    FileDialogRequest request;
    request.defaultExtension = std::nullopt;
    return prompter.AskOpenFile(request);
}

} // namespace

bool CTessaronDoc::LoadCorrectionTable() {
    WaitCursor wait(GetPrompter());
    const auto text = safefile::ReadAll(m_strCorrectionPath);
    if (!text) {
        GetPrompter().Message(IDS_CANT_OPEN_TABLE, MB_OK);
        return false;
    }
    // Digits outside what a DAC of the program can have give no table size to read; such a
    // table can never hold the right number of entries.
    const std::uint32_t halfRange = daccodes::HalfRange(m_nDacDigits);
    const auto result = halfRange == 0
                            ? datatext::TableResult::TooFew
                            : datatext::ParseCorrectionTable(*text, halfRange, m_correction);
    switch (result) {
    case datatext::TableResult::Ok:
        return true;
    case datatext::TableResult::TooLarge:
        GetPrompter().Message(IDS_TABLE_TOO_LARGE, MB_OK | MB_ICONSTOP);
        return false;
    case datatext::TableResult::TooFew:
        break;
    }
    GetPrompter().Message(IDS_ELEMENTS_INVALID, MB_OK | MB_ICONSTOP);
    return false;
}

void CTessaronDoc::ReloadCorrectionAfterOpen() {
    if (m_bUseCorrection != 0 && !LoadCorrectionTable()) {
        m_bUseCorrection = 0;
        SetModifiedFlag();
    }
}

bool CTessaronDoc::TakeCorrectionTable(const std::string& path) {
    m_strCorrectionPath = path;
    m_bUseCorrection = LoadCorrectionTable() ? 1 : 0;
    return m_bUseCorrection != 0;
}

void CTessaronDoc::CorrectionChanged(int hint) {
    // With the switch the limits are shown again in the unit that now applies.
    UpdateAllViews(nullptr, hint);
    SetModifiedFlag();
}

bool CTessaronDoc::SetUseCorrection(bool use) {
    m_bUseCorrection = 0;
    if (use) {
        std::error_code error;
        const bool present = !m_strCorrectionPath.empty() &&
                             std::filesystem::is_regular_file(m_strCorrectionPath, error);
        if (present && LoadCorrectionTable()) {
            m_bUseCorrection = 1;
        } else if (const auto choice = AskTableFile(GetPrompter())) {
            TakeCorrectionTable(choice->path);
        }
    }
    CorrectionChanged(HINT_PARAMS);
    return m_bUseCorrection != 0;
}

bool CTessaronDoc::UseCorrectionTable(const std::string& path) {
    const bool loaded = TakeCorrectionTable(path);
    CorrectionChanged(HINT_PARAMS);
    return loaded;
}

bool CTessaronDoc::SetCorrectionPath(const std::string& path) {
    m_strCorrectionPath = path;
    const bool loaded = LoadCorrectionTable();
    if (!loaded) {
        m_bUseCorrection = 0;
    }
    CorrectionChanged(HINT_FULL);
    return loaded;
}

bool CTessaronDoc::BrowseCorrectionTable() {
    const auto choice = AskTableFile(GetPrompter());
    return choice && SetCorrectionPath(choice->path);
}

bool CTessaronDoc::ComputeDacCodes(bool useCorrection) {
    // Codes of a DAC wider than 16 bits (or narrower than the program allows) do not fit the
    // controller's 16-bit words; such a profile can only come from a damaged file.
    if (m_nDacDigits < limits::kMinDacDigits || m_nDacDigits > limits::kMaxDacDigits) {
        GetPrompter().MessageBox(ddx::IntRangeMessage(limits::kMinDacDigits, limits::kMaxDacDigits),
                                 MB_OK);
        return false;
    }
    const std::uint32_t halfRange = daccodes::HalfRange(m_nDacDigits);
    // The table must have one entry per level of the present DAC. After the digits changed it
    // no longer does; it is read again for the new digits rather than indexed past its end.
    if (useCorrection && m_correction.size() != halfRange) {
        if (!LoadCorrectionTable()) {
            m_bUseCorrection = 0;
            SetModifiedFlag();
            UpdateAllViews(nullptr, HINT_PARAMS);
            return false;
        }
    }
    std::vector<std::uint16_t> levels(m_phase.size());
    for (std::size_t i = 0; i < m_phase.size(); ++i) {
        // A phase outside [0, maximum phase] (only a loaded file can hold one) is held to the
        // nearest level rather than wrapped into an arbitrary code.
        const double position = std::trunc((halfRange - 1.0) * (m_phase[i] / m_dMaxPhase));
        const std::size_t level = ClampedIndex(position, halfRange);
        levels[i] = useCorrection ? m_correction[level] : static_cast<std::uint16_t>(level);
    }
    m_codes = daccodes::Mirrored(levels, m_nDacDigits);
    return true;
}

bool CTessaronDoc::DigitsToPhase(int digits, double& phase) const {
    if (m_correction.size() < 2) {
        return false;
    }
    const std::size_t last = m_correction.size() - 1;
    const double d = digits;
    for (std::size_t j = 0; j < last; ++j) {
        const double a = m_correction[j];
        const double b = m_correction[j + 1];
        std::size_t index = 0;
        if (a <= b && a <= d && d <= b) {
            index = (d - a) > (b - d) ? j + 1 : j;
        } else if (a > b && b <= d && d <= a) {
            index = (d - b) < (a - d) ? j + 1 : j;
        } else {
            continue;
        }
        phase = static_cast<double>(index) * m_dMaxPhase / static_cast<double>(last);
        return true;
    }
    return false;
}

int CTessaronDoc::PhaseToDigits(double limit) const {
    if (m_correction.empty()) {
        return -1;
    }
    const double position = ((m_correction.size() - 1.0) / m_dMaxPhase) * limit;
    return m_correction[ClampedIndex(std::trunc(position), m_correction.size())];
}
