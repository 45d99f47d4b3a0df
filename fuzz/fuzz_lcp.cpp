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
#include <fstream>
#include <string>
#include <string_view>

namespace {

// The saved form of a document state no file is likely to hold, so that a partial load would
// show. It is made once, through the document's own operations.
const std::string& DistinctFile(AppContext& context) {
    static const std::string saved = [&context] {
        CTessaronDoc doc(context);
        FUZZ_CHECK(doc.OnNewDocument());
        FUZZ_CHECK(doc.ApplyParameters({12, 3, 0.0123, 6.5, 0.5, 6.0}) ==
                   CTessaronDoc::ApplyResult::Applied);
        FUZZ_CHECK(doc.SetCreationMode(CTessaronDoc::MODE_POLYNOMIAL));
        doc.SetLensParameters(-1.5, 5.5e-07);
        FUZZ_CHECK(doc.SetPolynomialParameters({1.0, -2.0, 0.03, -4e-05}, true));
        doc.SetJumpOptions(true, 7, true);
        FUZZ_CHECK(doc.SetValues({0.25, 0.5, 0.75}));
        doc.SetNote("before");
        // A table of the 2048 levels of 12 digits, so that the correction can be on.
        const std::string table = fuzz::TempFolder() + "/before.txt";
        {
            std::ofstream out(table);
            for (int level = 2047; level >= 0; --level) {
                out << level << '\n';
            }
        }
        FUZZ_CHECK(doc.UseCorrectionTable(table));
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

    CTessaronDoc doc(context);
    Archive distinct = Archive::ForLoading(DistinctFile(context));
    doc.Serialize(distinct);
    if (!fuzz::LoadAndRoundTrip(doc, input, context)) {
        return 0;
    }
    return 0;
}
