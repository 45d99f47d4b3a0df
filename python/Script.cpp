#include "Script.h"

#include "framework/AppPaths.h"
#include "framework/StringTable.h"

namespace {

PyObject* g_error = nullptr;
PyObject* g_warning = nullptr;

std::string Joined(const std::string& message, const std::string& detail) {
    return detail.empty() ? message : message + "\n" + detail;
}

} // namespace

ScriptError::ScriptError(std::string message_, std::string detail_, std::string record_)
    : std::runtime_error(Joined(message_, detail_)), message(std::move(message_)),
      detail(std::move(detail_)), record(std::move(record_)) {}

int ScriptPrompter::MessageBox(const std::string& text, unsigned type) {
    return DetailedMessageBox(text, {}, type);
}

int ScriptPrompter::DetailedMessageBox(const std::string& text, const std::string& detail,
                                       unsigned type) {
    switch (type & MB_BUTTON_MASK) {
    case MB_OKCANCEL:
        return IDOK;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    default:
        m_notices.push_back({text, detail});
        return IDOK;
    }
}

std::vector<ScriptPrompter::Notice> ScriptPrompter::Take() {
    std::vector<Notice> notices;
    notices.swap(m_notices);
    return notices;
}

namespace script {

void Conclude(ScriptPrompter& prompter, bool ok, int fallback) {
    const auto notices = prompter.Take();
    if (!ok) {
        if (notices.empty()) {
            throw ScriptError(LoadString(fallback));
        }
        throw ScriptError(notices.front().text, notices.front().detail);
    }
    for (const auto& notice : notices) {
        Warn(Joined(notice.text, notice.detail));
    }
}

void Warn(const std::string& text) {
    // Through warnings.warn, so that filters apply (an "error" filter raises it).
    py::module_::import("warnings").attr("warn")(Text(text), py::handle(g_warning), 2);
}

py::str Text(const std::string& bytes) {
    PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()),
                                          "surrogateescape");
    if (text == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(text);
}

std::string Bytes(const py::str& text) {
    PyObject* bytes = PyUnicode_AsEncodedString(text.ptr(), "utf-8", "surrogateescape");
    if (bytes == nullptr) {
        throw py::error_already_set();
    }
    const auto owned = py::reinterpret_steal<py::bytes>(bytes);
    return owned.cast<std::string>();
}

std::string PathBytes(const py::object& path) {
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

std::string DefaultSettingsPath() {
    return apppaths::UserDataDir() + "/tessaron.ini";
}

std::string SettingsPath(const py::object& settings) {
    return settings.is_none() ? DefaultSettingsPath() : PathBytes(settings);
}

void RegisterErrors(py::module_& module) {
    g_error = PyErr_NewExceptionWithDoc(
        "tessaron.Error",
        "A refusal of the program: str() is its message, as the window and the command line\n"
        "tool word it, with the detail (file and reason, or the failed step) on a second\n"
        "line. Attributes: message, detail (or None), record (a failed load's record, a dict,\n"
        "or None).",
        PyExc_Exception, nullptr);
    g_warning = PyErr_NewExceptionWithDoc(
        "tessaron.TessaronWarning",
        "A message of the program about an operation that went through all the same.",
        PyExc_UserWarning, nullptr);
    module.add_object("Error", py::handle(g_error));
    module.add_object("TessaronWarning", py::handle(g_warning));
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const ScriptError& error) {
            py::object instance = py::handle(g_error)(Text(error.what()));
            instance.attr("message") = Text(error.message);
            instance.attr("detail") =
                error.detail.empty() ? py::object(py::none()) : py::object(Text(error.detail));
            instance.attr("record") =
                error.record.empty()
                    ? py::object(py::none())
                    : py::module_::import("json").attr("loads")(Text(error.record));
            PyErr_SetObject(g_error, instance.ptr());
        }
    });
}

} // namespace script
