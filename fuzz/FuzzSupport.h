// What the libFuzzer targets share: a prompter that answers nothing, a check that turns a
// broken invariant into a finding, and a private folder for the files a target writes.
#pragma once

#include "framework/Archive.h"
#include "framework/Document.h"
#include "framework/Prompter.h"

#include <optional>
#include <string>
#include <string_view>

// Answers every message box with Cancel and every file dialog with nothing, silently: the
// readers under test must not depend on what the person at the screen would answer.
class SilentPrompter : public Prompter {
public:
    int MessageBox(const std::string&, unsigned) override {
        ++messages;
        return IDCANCEL;
    }
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest&) override {
        return std::nullopt;
    }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest&) override {
        return std::nullopt;
    }

    int messages = 0;
};

namespace fuzz {

// Prints the broken condition and aborts, which libFuzzer records as a crash with its input.
[[noreturn]] void Fail(const char* condition, const char* file, int line);

// A folder of this process alone, under /dev/shm when there is one (else $TMPDIR or /tmp),
// made on first use and removed when the process exits normally.
const std::string& TempFolder();

} // namespace fuzz

// Unlike assert, stays active in every build type.
#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::fuzz::Fail(#condition, __FILE__, __LINE__))

namespace fuzz {

// A document's file as Serialize writes it.
template <typename Doc> std::string Saved(Doc& doc) {
    Archive ar = Archive::ForStoring();
    doc.Serialize(ar);
    return ar.Buffer();
}

// Loads `input` into `doc` (filled with distinct values beforehand). A refused file must
// leave the document exactly as it was; an accepted one, saved again, must load completely
// into a fresh document and save to the same bytes. Returns whether the file was accepted.
template <typename Doc>
bool LoadAndRoundTrip(Doc& doc, std::string_view input, AppContext& context) {
    const std::string before = Saved(doc);
    try {
        Archive ar = Archive::ForLoading(input);
        doc.Serialize(ar);
    } catch (const ArchiveException&) {
        FUZZ_CHECK(Saved(doc) == before);
        return false;
    }
    const std::string saved = Saved(doc);
    Doc reloaded(context);
    Archive ar = Archive::ForLoading(saved);
    try {
        reloaded.Serialize(ar);
    } catch (const ArchiveException&) {
        FUZZ_CHECK(!"a saved document does not load again");
    }
    FUZZ_CHECK(ar.Remaining() == 0);
    FUZZ_CHECK(Saved(reloaded) == saved);
    return true;
}

} // namespace fuzz
