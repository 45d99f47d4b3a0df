// Import and export of the profile data as text files: phases (one "%le" number per line)
// or DAC codes (one "%hu" number per line).
#include "framework/NumberText.h"
#include "framework/Prompter.h"
#include "framework/SafeFile.h"
#include "framework/StringTable.h"
#include "profile/DataText.h"
#include "profile/TessaronDoc.h"

#include <cmath>

namespace {

const char* const kImportFilter = "Text Files (*.txt)|*.txt|Data files (*.dat)|*.dat||";
const char* const kExportFilter = "Text Files (*.txt)|*.txt|Data files (*.dat)|*.dat";
const char* const kCorrectedFilter = "|Corrected data files(*.dat)|*.dat||";

} // namespace

void CTessaronDoc::ImportData() {
    FileDialogRequest request;
    request.filter = kImportFilter;
    const auto choice = GetPrompter().AskOpenFile(request);
    if (!choice) {
        return;
    }
    // The filter picked decides the format, whatever the file is called.
    ImportFrom(choice->path, choice->filterIndex == 2 ? DataFormat::Codes : DataFormat::Phases);
}

void CTessaronDoc::ExportData() {
    FileDialogRequest request;
    request.filter = std::string(kExportFilter) + (m_bUseCorrection ? kCorrectedFilter : "||");
    request.defaultExtension = "";
    request.initialName = "export";
    request.overwritePrompt = true;
    const auto choice = GetPrompter().AskSaveFile(request);
    if (!choice) {
        return;
    }
    const DataFormat format = choice->filterIndex == 3   ? DataFormat::CorrectedCodes
                              : choice->filterIndex == 2 ? DataFormat::Codes
                                                         : DataFormat::Phases;
    ExportTo(choice->path, format);
}

bool CTessaronDoc::ImportFrom(const std::string& path, DataFormat format) {
    int error = 0;
    const auto text = safefile::ReadAll(path, safefile::kMaxDocumentBytes, &error);
    if (!text) {
        GetPrompter().Message(IDS_CANT_OPEN_FILE, safefile::Detail(path, error), MB_OK);
        return false;
    }
    const std::size_t wanted = m_nElements > 0 ? static_cast<std::size_t>(m_nElements) : 0;
    std::vector<double> scratch;
    if (format == DataFormat::Phases) {
        datatext::ScanPhases(*text, wanted, scratch);
    } else {
        std::vector<std::uint16_t> codes;
        datatext::ScanCodes(*text, wanted, codes);
        // A code above the midpoint S stands for level q - S, one below it for the mirrored
        // level S - 1 - q. Computed in floating point so that no DAC width can overflow it.
        const double half = std::ldexp(1.0, m_nDacDigits - 1);
        for (std::uint16_t q : codes) {
            const double level = q >= half ? q - half : half - 1.0 - q;
            scratch.push_back(level * m_dMaxPhase / (half - 1.0));
        }
    }
    return SetValues(std::move(scratch));
}

bool CTessaronDoc::ExportTo(const std::string& path, DataFormat format) {
    std::string text;
    if (format == DataFormat::Phases) {
        for (double value : m_phase) {
            text += numtext::FormatExp(value) + '\n';
        }
    } else {
        if (!ComputeDacCodes(format == DataFormat::CorrectedCodes)) {
            return false;
        }
        for (std::uint16_t code : m_codes) {
            text += std::to_string(code) + '\n';
        }
    }
    int error = 0;
    if (!safefile::WriteAtomically(path, text, &error)) {
        GetPrompter().Message(IDS_CANT_OPEN_FILE, safefile::Detail(path, error),
                              MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}
