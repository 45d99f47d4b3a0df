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

// The saved form of a document state no file is likely to hold, so that a partial load would
// show. It is made once, through the form's "&Apply".
const std::string& DistinctFile(AppContext& context) {
    static const std::string saved = [&context] {
        CLC_VoltDoc doc(context);
        FUZZ_CHECK(doc.OnNewDocument());
        FUZZ_CHECK(doc.ApplyParameters({"3", "12", "2", "100", "7", "before", "4.5"}) ==
                   CLC_VoltDoc::ApplyResult::Applied);
        return fuzz::Saved(doc);
    }();
    return saved;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static SilentPrompter prompter;
    static SettingsStore settings(fuzz::TempFolder() + "/tessaron.ini");
    AppContext context{settings, prompter};

    CLC_VoltDoc doc(context);
    Archive distinct = Archive::ForLoading(DistinctFile(context));
    doc.Serialize(distinct);
    if (!fuzz::LoadAndRoundTrip(doc, input, context)) {
        return 0;
    }

    // What a send does with the loaded document, first with the stored codes, then with the
    // pattern rebuilt from the stored fields.
    const int usable = doc.UsableElementCount();
    FUZZ_CHECK(usable >= 0 && usable <= limits::kMaxElements);
    doc.BuildOutputCodes();
    FUZZ_CHECK(doc.Codes().size() == 2 * static_cast<std::size_t>(usable));
    doc.BuildPattern();
    FUZZ_CHECK(doc.ElementCodes().size() == static_cast<std::size_t>(usable));
    doc.BuildOutputCodes();
    FUZZ_CHECK(doc.Codes().size() == 2 * static_cast<std::size_t>(usable));
    (void)doc.CodeVoltage(doc.Level1());
    return 0;
}
