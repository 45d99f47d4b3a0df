// The Python module "tessaron": profiles, volt-phase tables and the link to the controller,
// the program's own code under a script, with the program's own messages as exceptions.
#include "Script.h"
#include "comm/LoadRecord.h"
#include "comm/ProtocolLog.h"
#include "framework/AppPaths.h"
#include "framework/SafeFile.h"
#include "framework/StringTable.h"

namespace {

// The record of loads as Python objects, oldest first.
py::list Loads(const py::object& path, const py::object& last) {
    const std::string file = path.is_none()
                                 ? loadrecord::PathBeside(apppaths::UserDataDir() + "/tessaron.log")
                                 : script::PathBytes(path);
    int error = 0;
    const auto listing = loadrecord::Read(file, &error);
    py::list records;
    if (!listing) {
        if (error == ENOENT) {
            return records; // nothing loaded yet
        }
        throw ScriptError(LoadString(IDS_CANT_OPEN_FILE), safefile::Detail(file, error));
    }
    for (const std::string& problem : listing->problems) {
        script::Warn(problem);
    }
    const py::object parse = py::module_::import("json").attr("loads");
    for (const auto& record : listing->records) {
        records.append(parse(script::Text(jsonout::Dump(record))));
    }
    if (!last.is_none()) {
        const auto count = last.cast<py::ssize_t>();
        if (count < 1) {
            throw py::value_error("last is a number of loads from 1 on");
        }
        py::list tail;
        const auto size = static_cast<py::ssize_t>(records.size());
        for (py::ssize_t i = std::max<py::ssize_t>(0, size - count); i < size; ++i) {
            tail.append(records[static_cast<std::size_t>(i)]);
        }
        return tail;
    }
    return records;
}

} // namespace

PYBIND11_MODULE(tessaron, m) {
    m.doc() = "Tessaron: liquid-crystal modulator profiles, volt-phase tables and the link to "
              "their controller.";
    m.attr("__version__") = TESSARON_VERSION;
    script::RegisterErrors(m);
    BindDocuments(m);
    BindController(m);
    m.def("loads", &Loads, py::arg("path") = py::none(), py::arg("last") = py::none(),
          "The record of loads (default: the one of Controller's default log), oldest first,\n"
          "as dicts; `last` keeps only the last ones.");
    m.def(
        "default_settings_path", [] { return script::Text(script::DefaultSettingsPath()); },
        "The settings file used when none is given: ~/.config/tessaron/tessaron.ini.");
}
