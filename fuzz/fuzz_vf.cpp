// Volt-phase files (.vf) as read by File Open: CLC_VoltDoc::Serialize from a loading archive.
//
// A refused file (ArchiveException) must leave the document exactly as it was. An accepted
// file must make a document whose saved form loads again, completely, to the same document.
// A loaded file may hold any element count, section or digits, and is sent as it is: the
// codes built for a send then hold exactly two per usable element.
#include "FuzzSupport.h"
#include "framework/Archive.h"
#include "framework/Document.h"
#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// A document state no file is likely to hold, so that a partial load would show.
void FillDistinct(CLC_VoltDoc& doc) {
    doc.m_nDacDigits = 12;
    doc.m_nElements = 3;
    doc.m_nSection = 2;
    doc.m_nLevel1 = 100;
    doc.m_nLevel0 = 7;
    doc.m_dRefVoltage = 4.5;
    doc.m_elementCodes = {100, 100, 7};
    doc.m_strComment = "before";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static SilentPrompter prompter;
    static SettingsStore settings(fuzz::TempFolder() + "/tessaron.ini");
    AppContext context{settings, prompter};

    CLC_VoltDoc doc(context);
    FillDistinct(doc);
    if (!fuzz::LoadAndRoundTrip(doc, input, context)) {
        return 0;
    }

    // What a send does with the loaded document, first with the stored codes, then with the
    // pattern rebuilt from the stored fields.
    const int usable = doc.UsableElementCount();
    FUZZ_CHECK(usable >= 0 && usable <= limits::kMaxElements);
    doc.BuildOutputCodes();
    FUZZ_CHECK(doc.m_codes.size() == 2 * static_cast<std::size_t>(usable));
    doc.BuildPattern();
    FUZZ_CHECK(doc.m_elementCodes.size() == static_cast<std::size_t>(usable));
    doc.BuildOutputCodes();
    FUZZ_CHECK(doc.m_codes.size() == 2 * static_cast<std::size_t>(usable));
    (void)doc.CodeVoltage(doc.m_nLevel1);
    return 0;
}
