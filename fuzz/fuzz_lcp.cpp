// Profile files (.lcp) as read by File Open: CTessaronDoc::Serialize from a loading archive.
//
// A refused file (ArchiveException) must leave the document exactly as it was. An accepted
// file must make a document whose saved form loads again, completely, to the same document.
// Any other exception escapes and counts as a finding.
#include "FuzzSupport.h"
#include "framework/Archive.h"
#include "framework/Document.h"
#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// A document state no file is likely to hold, so that a partial load would show.
void FillDistinct(CTessaronDoc& doc) {
    doc.m_nCreationMode = CTessaronDoc::MODE_POLYNOMIAL;
    doc.m_bUseCorrection = 1;
    doc.m_dAperture = 0.0123;
    doc.m_strCorrectionPath = "before.txt";
    doc.m_nDacDigits = 12;
    doc.m_nElements = 3;
    doc.m_dMaxPhase = 6.5;
    doc.m_bLimitJumps = 1;
    doc.m_bMinVoltage = 1;
    doc.m_nMaxJumps = 7;
    doc.m_phase = {0.25, 0.5, 0.75};
    doc.m_strNote = "before";
    doc.m_dLowLimit = 0.5;
    doc.m_dHighLimit = 6.0;
    doc.m_dDiopters = -1.5;
    doc.m_dWaveLength = 5.5e-07;
    doc.m_dCoeff = {1.0, -2.0, 3.0, -4.0};
    doc.m_bUseAperture = 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static SilentPrompter prompter;
    static SettingsStore settings(fuzz::TempFolder() + "/tessaron.ini");
    AppContext context{settings, prompter};

    CTessaronDoc doc(context);
    FillDistinct(doc);
    if (!fuzz::LoadAndRoundTrip(doc, input, context)) {
        return 0;
    }
    return 0;
}
