// What the Python module's classes share: the prompter that turns the program's messages into
// Python exceptions and warnings, the module's exception types, and text and path conversion.
#pragma once

#include "framework/Prompter.h"

#include <pybind11/pybind11.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace py = pybind11;

// A refusal with the program's own message and, when there is one, its detail (the file and
// the system's reason, or the step of the protocol that failed). Raised in Python as
// tessaron.Error with the attributes `message`, `detail` and `record` (the load's record, for
// a failed send).
struct ScriptError : std::runtime_error {
    ScriptError(std::string message, std::string detail = {}, std::string record = {});
    std::string message;
    std::string detail;
    std::string record; // JSON text, or empty
};

// The Prompter of scripts. Nobody is there to read a box, so a notice is kept and handed to
// the caller, which raises it as tessaron.Error when the operation failed and issues it as a
// tessaron.TessaronWarning when the operation went through all the same (a profile that
// opened with its correction table switched off). A question comes only from an operation the
// script asked for by name (clear() asks "Clear ? Are you sure ?"), so it is answered OK or
// Yes. File dialogs are cancelled: scripts name their files.
class ScriptPrompter : public Prompter {
public:
    int MessageBox(const std::string& text, unsigned type) override;
    int DetailedMessageBox(const std::string& text, const std::string& detail,
                           unsigned type) override;
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest&) override { return {}; }

    struct Notice {
        std::string text;
        std::string detail;
    };
    // The notices since the last call.
    std::vector<Notice> Take();

private:
    std::vector<Notice> m_notices;
};

namespace script {

// Ends an operation of a document: raises its first notice when it failed (or `fallback`,
// a string-table id, when it said nothing), and issues the notices of one that went through
// as warnings.
void Conclude(ScriptPrompter& prompter, bool ok, int fallback);
// Issues a warning of the module (tessaron.TessaronWarning).
void Warn(const std::string& text);

// Text from the program, which may hold bytes that are not UTF-8 (paths, notes of old files):
// decoded with "surrogateescape", so that it goes back unchanged.
py::str Text(const std::string& bytes);
std::string Bytes(const py::str& text);
// A path given as str, bytes or os.PathLike, as the system's bytes.
std::string PathBytes(const py::object& path);
// The default settings file of scripts: tessaron.ini in the user's folder of the program.
std::string DefaultSettingsPath();
// `settings` (None, or a path) as a settings file's path.
std::string SettingsPath(const py::object& settings);

// Registers tessaron.Error and tessaron.TessaronWarning.
void RegisterErrors(py::module_& module);

} // namespace script

void BindDocuments(py::module_& module);
void BindController(py::module_& module);
