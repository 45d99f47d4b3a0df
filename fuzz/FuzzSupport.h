// What the libFuzzer targets share: a prompter that answers nothing, a check that turns a
// broken invariant into a finding, and a private folder for the files a target writes.
#pragma once

#include "framework/Prompter.h"

#include <optional>
#include <string>

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
