// tessaron.Profile and tessaron.VoltPhase: the two documents, each on a settings file and the
// script's prompter, with the operations of the window and the command line tool.
#include "Script.h"
#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"
#include "profile/TessaronDoc.h"
#include "volt/LC_VoltDoc.h"

#include <charconv>
#include <filesystem>
#include <memory>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

namespace {

using namespace pybind11::literals;

// A document with what it needs around it: its settings file and the script's prompter.
template <typename Doc> struct Held {
    explicit Held(const std::string& settingsPath)
        : settings(settingsPath), app{settings, prompter}, doc(app) {}
    SettingsStore settings;
    ScriptPrompter prompter;
    AppContext app;
    Doc doc;

    void Conclude(bool ok, int fallback = IDP_INVALID_FORMAT) {
        script::Conclude(prompter, ok, fallback);
    }
    void Open(const py::object& path) { Conclude(doc.OnOpenDocument(script::PathBytes(path))); }
    void Save(const py::object& path) {
        const std::string target = path.is_none() ? doc.GetPathName() : script::PathBytes(path);
        if (target.empty()) {
            throw py::value_error("this document has no file yet: save(path) names one");
        }
        Conclude(doc.OnSaveDocument(target), IDP_FAILED_TO_SAVE_DOC);
    }
    py::object Path() const {
        return doc.GetPathName().empty() ? py::object(py::none())
                                         : py::object(script::Text(doc.GetPathName()));
    }
};

template <typename T> py::array_t<T> Array(const std::vector<T>& values) {
    py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), array.mutable_data());
    return array;
}

py::dict Dict(const FieldList& fields) {
    py::dict dict;
    for (const auto& field : fields) {
        const std::string& name = field.first; // named: a lambda cannot capture a binding
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>) {
                    dict[name.c_str()] = script::Text(v);
                } else {
                    dict[name.c_str()] = v;
                }
            },
            field.second);
    }
    return dict;
}

// The shortest text that reads back as the same double, for the forms' text fields.
std::string ExactText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// What both documents offer alike: new and open, save, the file, the modified flag, set and
// the parameters as a dict.
template <typename H, void (*Apply)(H&, const py::kwargs&)>
void BindCommon(py::class_<H, std::shared_ptr<H>>& type, const char* name, const char* newDoc,
                const char* openDoc) {
    type.def_static(
            "new",
            [](const py::object& settings, const py::kwargs& given) {
                auto held = std::make_shared<H>(script::SettingsPath(settings));
                held->doc.OnNewDocument();
                if (!given.empty()) {
                    Apply(*held, given);
                }
                return held;
            },
            "settings"_a = py::none(), newDoc)
        .def_static(
            "open",
            [](const py::object& path, const py::object& settings) {
                auto held = std::make_shared<H>(script::SettingsPath(settings));
                held->Open(path);
                return held;
            },
            "path"_a, "settings"_a = py::none(), openDoc)
        .def("save", &H::Save, "path"_a = py::none(),
             "Saves to path, or to the document's own file; the file is replaced as a whole.")
        .def_property_readonly("path", &H::Path, "The document's file; None if never saved.")
        .def_property_readonly("modified", [](const H& h) { return h.doc.IsModified(); })
        .def("set", Apply, "Applies several values at once, as the form's Apply does.")
        .def_property_readonly(
            "parameters", [](const H& h) { return Dict(h.doc.Parameters()); },
            "Every parameter by the names of the JSON listings.")
        .def("__repr__", [name](const H& h) {
            const std::string& file = h.doc.GetPathName();
            return "<tessaron." + std::string(name) + " " +
                   (file.empty() ? "(never saved)" : file) + ", " +
                   std::to_string(h.doc.Elements()) + " elements>";
        });
}

// ---- Profile ----

using ProfileHeld = Held<CTessaronDoc>;

// The editor's "&Apply" with the given parameters; the others keep the document's values.
// Limits are always in parts of PI here (the editor shows them as DAC codes while a table is
// used, which the document converts the same way).
void ApplyProfile(ProfileHeld& held, const py::kwargs& given) {
    CTessaronDoc& doc = held.doc;
    ProfileParameters p{doc.DacDigits(),
                        doc.Elements(),
                        doc.Aperture(),
                        doc.MaxPhase(),
                        doc.LowLimit(),
                        doc.HighLimit(),
                        false,
                        0,
                        0};
    for (const auto& [key, value] : given) {
        const std::string name = py::str(key);
        if (name == "elements") {
            p.elements = value.cast<int>();
        } else if (name == "dac_digits") {
            p.dacDigits = value.cast<int>();
        } else if (name == "aperture") {
            p.aperture = value.cast<double>();
        } else if (name == "max_phase") {
            p.maxPhase = value.cast<double>();
        } else if (name == "low_limit") {
            p.lowLimit = value.cast<double>();
        } else if (name == "high_limit") {
            p.highLimit = value.cast<double>();
        } else {
            throw py::type_error("unknown profile parameter '" + name +
                                 "' (elements, dac_digits, aperture, max_phase, low_limit, "
                                 "high_limit)");
        }
    }
    held.Conclude(doc.ApplyParameters(p) == CTessaronDoc::ApplyResult::Applied);
}

void SetOne(ProfileHeld& held, const char* name, const py::object& value) {
    py::kwargs one;
    one[name] = value;
    ApplyProfile(held, one);
}

// The jump options of a generation: None leaves the jump limit off.
void JumpOptions(ProfileHeld& held, const py::object& maxJumps, bool minVoltage) {
    CTessaronDoc& doc = held.doc;
    doc.SetJumpOptions(!maxJumps.is_none(),
                       maxJumps.is_none() ? doc.MaxJumps() : maxJumps.cast<int>(), minVoltage);
}

void Generate(ProfileHeld& held) {
    held.Conclude(held.doc.GenerateData(true), IDS_CANT_GENERATE);
}

void BindProfile(py::module_& m) {
    py::class_<ProfileHeld, std::shared_ptr<ProfileHeld>> profile(m, "Profile", R"(
A liquid-crystal modulator profile (.lcp): parameters, one phase per element in parts of PI,
the generation wizard, the correction table and the DAC codes a send transmits. Every change
goes through the checks of the profile editor; a refusal raises tessaron.Error with the
editor's message and leaves the profile as it was.)");
    BindCommon<ProfileHeld, ApplyProfile>(
        profile, "Profile",
        "A new profile with the defaults of the settings file (None: the user's own,\n"
        "~/.config/tessaron/tessaron.ini), then the given parameters (elements, dac_digits,\n"
        "aperture, max_phase, low_limit, high_limit), checked as the editor's Apply does.",
        "Opens a .lcp file. A correction table that no longer loads is switched off with a\n"
        "TessaronWarning (the profile is then modified).");
    profile
        .def_property(
            "elements", [](const ProfileHeld& h) { return h.doc.Elements(); },
            [](ProfileHeld& h, const py::object& v) { SetOne(h, "elements", v); })
        .def_property(
            "dac_digits", [](const ProfileHeld& h) { return h.doc.DacDigits(); },
            [](ProfileHeld& h, const py::object& v) { SetOne(h, "dac_digits", v); })
        .def_property(
            "aperture", [](const ProfileHeld& h) { return h.doc.Aperture(); },
            [](ProfileHeld& h, const py::object& v) { SetOne(h, "aperture", v); }, "metres")
        .def_property(
            "max_phase", [](const ProfileHeld& h) { return h.doc.MaxPhase(); },
            [](ProfileHeld& h, const py::object& v) { SetOne(h, "max_phase", v); }, "parts of PI")
        .def_property(
            "low_limit", [](const ProfileHeld& h) { return h.doc.LowLimit(); },
            [](ProfileHeld& h, const py::object& v) { SetOne(h, "low_limit", v); }, "parts of PI")
        .def_property(
            "high_limit", [](const ProfileHeld& h) { return h.doc.HighLimit(); },
            [](ProfileHeld& h, const py::object& v) { SetOne(h, "high_limit", v); }, "parts of PI")
        .def_property(
            "note", [](const ProfileHeld& h) { return script::Text(h.doc.Note()); },
            [](ProfileHeld& h, const py::str& note) { h.doc.SetNote(script::Bytes(note)); })
        .def_property(
            "creation_mode", [](const ProfileHeld& h) { return h.doc.CreationMode(); },
            [](ProfileHeld& h, int mode) {
                if (!h.doc.SetCreationMode(mode)) {
                    throw py::value_error(
                        "the creation mode is tessaron.LENS or tessaron.POLYNOMIAL");
                }
            })
        .def_property(
            "diopters", [](const ProfileHeld& h) { return h.doc.Diopters(); },
            [](ProfileHeld& h, double d) { h.doc.SetLensParameters(d, h.doc.WaveLength()); })
        .def_property(
            "wavelength", [](const ProfileHeld& h) { return h.doc.WaveLength(); },
            [](ProfileHeld& h, double w) { h.doc.SetLensParameters(h.doc.Diopters(), w); },
            "metres")
        .def_property(
            "coefficients",
            [](const ProfileHeld& h) {
                const auto& c = h.doc.Coeff();
                return py::make_tuple(c[0], c[1], c[2], c[3]);
            },
            [](ProfileHeld& h, const std::array<double, 4>& c) {
                h.Conclude(h.doc.SetPolynomialParameters(c, h.doc.UseAperture() != 0));
            },
            "a0..a3 of the polynomial (radians), each within the wizard page's range")
        .def_property(
            "use_aperture", [](const ProfileHeld& h) { return h.doc.UseAperture() != 0; },
            [](ProfileHeld& h, bool on) {
                h.Conclude(h.doc.SetPolynomialParameters(h.doc.Coeff(), on));
            })
        .def_property(
            "max_jumps",
            [](const ProfileHeld& h) -> py::object {
                return h.doc.LimitJumps() != 0 ? py::object(py::int_(h.doc.MaxJumps()))
                                               : py::none();
            },
            [](ProfileHeld& h, const py::object& v) { JumpOptions(h, v, h.doc.MinVoltage() != 0); },
            "the most periods removed between neighbours; None: no limit")
        .def_property(
            "min_voltage", [](const ProfileHeld& h) { return h.doc.MinVoltage() != 0; },
            [](ProfileHeld& h, bool on) {
                h.doc.SetJumpOptions(h.doc.LimitJumps() != 0, h.doc.MaxJumps(), on);
            })
        .def(
            "generate_lens",
            [](ProfileHeld& h, double diopters, const py::object& wavelength,
               const py::object& maxJumps, bool minVoltage) {
                h.doc.SetCreationMode(CTessaronDoc::MODE_DIOPTERS);
                h.doc.SetLensParameters(diopters, wavelength.is_none() ? h.doc.WaveLength()
                                                                       : wavelength.cast<double>());
                JumpOptions(h, maxJumps, minVoltage);
                Generate(h);
            },
            "diopters"_a, "wavelength"_a = py::none(), py::kw_only(), "max_jumps"_a = py::none(),
            "min_voltage"_a = false,
            "Generates a thin lens of `diopters` at `wavelength` metres (None: the profile's).")
        .def(
            "generate_polynomial",
            [](ProfileHeld& h, double a0, double a1, double a2, double a3, bool useAperture,
               const py::object& maxJumps, bool minVoltage) {
                h.doc.SetCreationMode(CTessaronDoc::MODE_POLYNOMIAL);
                h.Conclude(h.doc.SetPolynomialParameters({a0, a1, a2, a3}, useAperture));
                JumpOptions(h, maxJumps, minVoltage);
                Generate(h);
            },
            "a0"_a, "a1"_a, "a2"_a, "a3"_a, py::kw_only(), "use_aperture"_a = false,
            "max_jumps"_a = py::none(), "min_voltage"_a = false,
            "Generates a0 + a1*x + a2*x^2 + a3*x^3 (radians) over element steps, or metres.")
        .def("generate", &Generate, "Generates with the present wizard settings.")
        .def_property(
            "phases", [](const ProfileHeld& h) { return Array(h.doc.Phase()); },
            [](ProfileHeld& h,
               const py::array_t<double, py::array::c_style | py::array::forcecast>& values) {
                if (values.ndim() != 1) {
                    throw py::value_error("phases are a one-dimensional array");
                }
                std::vector<double> data(values.data(), values.data() + values.size());
                h.Conclude(h.doc.SetValues(std::move(data)));
            },
            "One phase per element in parts of PI (a copy); assigning checks every value.")
        .def(
            "set_value",
            [](ProfileHeld& h, std::size_t index, double value) {
                if (index >= h.doc.Phase().size()) {
                    throw py::index_error("element " + std::to_string(index) +
                                          " is beyond the data");
                }
                h.Conclude(h.doc.SetValue(index, value));
            },
            "index"_a, "value"_a, "One value, checked as the data list checks it.")
        .def(
            "clear", [](ProfileHeld& h) { h.doc.OnClearData(); },
            "Clear all data: every value 0 (the question is answered OK).")
        .def(
            "codes",
            [](ProfileHeld& h) {
                h.Conclude(h.doc.ComputeDacCodes(h.doc.UseCorrection() != 0), IDS_CANT_OPEN_TABLE);
                return Array(h.doc.Codes());
            },
            "The 2*n DAC codes a send transmits (through the correction table when used).")
        .def_property(
            "use_correction", [](const ProfileHeld& h) { return h.doc.UseCorrection() != 0; },
            [](ProfileHeld& h, bool on) {
                h.Conclude(h.doc.SetUseCorrection(on) == on, IDS_CANT_OPEN_TABLE);
            },
            "Switching on loads the table of correction_path.")
        .def(
            "use_correction_table",
            [](ProfileHeld& h, const py::object& path) {
                std::error_code error;
                const std::string given = script::PathBytes(path);
                const auto absolute = std::filesystem::absolute(given, error);
                h.Conclude(h.doc.UseCorrectionTable(error ? given : absolute.string()));
            },
            "path"_a, "Switches the correction on with the table file `path`.")
        .def_property(
            "correction_path",
            [](const ProfileHeld& h) { return script::Text(h.doc.CorrectionPath()); },
            [](ProfileHeld& h, const py::object& path) {
                h.Conclude(h.doc.SetCorrectionPath(script::PathBytes(path)));
            },
            "Setting it loads the table (as Browse); the switch stays as it is.")
        .def_property_readonly("correction_table",
                               [](const ProfileHeld& h) { return Array(h.doc.Correction()); })
        .def(
            "import_phases",
            [](ProfileHeld& h, const py::object& path) {
                h.Conclude(
                    h.doc.ImportFrom(script::PathBytes(path), CTessaronDoc::DataFormat::Phases));
            },
            "path"_a)
        .def(
            "import_codes",
            [](ProfileHeld& h, const py::object& path) {
                h.Conclude(
                    h.doc.ImportFrom(script::PathBytes(path), CTessaronDoc::DataFormat::Codes));
            },
            "path"_a)
        .def(
            "export_phases",
            [](ProfileHeld& h, const py::object& path) {
                h.Conclude(
                    h.doc.ExportTo(script::PathBytes(path), CTessaronDoc::DataFormat::Phases));
            },
            "path"_a)
        .def(
            "export_codes",
            [](ProfileHeld& h, const py::object& path, bool corrected) {
                h.Conclude(h.doc.ExportTo(script::PathBytes(path),
                                          corrected ? CTessaronDoc::DataFormat::CorrectedCodes
                                                    : CTessaronDoc::DataFormat::Codes),
                           IDS_CANT_OPEN_TABLE);
            },
            "path"_a, "corrected"_a = false);
    m.attr("LENS") = static_cast<int>(CTessaronDoc::MODE_DIOPTERS);
    m.attr("POLYNOMIAL") = static_cast<int>(CTessaronDoc::MODE_POLYNOMIAL);
}

// ---- VoltPhase ----

using VoltHeld = Held<CLC_VoltDoc>;

// The form's fields: the given ones, the others as the form shows the present values.
VoltFormTexts VoltTexts(const CLC_VoltDoc& doc, const py::kwargs& given) {
    VoltFormTexts texts{std::to_string(doc.Elements()), std::to_string(doc.DacDigits()),
                        std::to_string(doc.Section()),  std::to_string(doc.Level1()),
                        std::to_string(doc.Level0()),   doc.Comment(),
                        ExactText(doc.RefVoltage())};
    for (const auto& [key, value] : given) {
        const std::string name = py::str(key);
        const auto integer = [&] { return std::to_string(value.cast<long long>()); };
        if (name == "elements") {
            texts.elements = integer();
        } else if (name == "dac_digits") {
            texts.dacDigits = integer();
        } else if (name == "section") {
            texts.section = integer();
        } else if (name == "level1") {
            texts.level1 = integer();
        } else if (name == "level0") {
            texts.level0 = integer();
        } else if (name == "ref_voltage") {
            texts.refVoltage = ExactText(value.cast<double>());
        } else if (name == "comment") {
            texts.comment = script::Bytes(value.cast<py::str>());
        } else {
            throw py::type_error("unknown volt-phase field '" + name +
                                 "' (elements, dac_digits, section, level1, level0, "
                                 "ref_voltage, comment)");
        }
    }
    return texts;
}

// The form's "&Apply". The form writes each field as it reads it, so a field that fails
// would leave the ones before it changed: the fields are tried on a scratch table first, and
// only fields that all pass reach the table.
void ApplyVolt(VoltHeld& held, const py::kwargs& given) {
    const VoltFormTexts texts = VoltTexts(held.doc, given);
    VoltHeld scratch(held.settings.Path());
    scratch.doc.OnNewDocument();
    if (scratch.doc.ApplyParameters(texts) != CLC_VoltDoc::ApplyResult::Applied) {
        scratch.Conclude(false);
    }
    held.Conclude(held.doc.ApplyParameters(texts) == CLC_VoltDoc::ApplyResult::Applied);
}

void SetOneVolt(VoltHeld& held, const char* name, const py::object& value) {
    py::kwargs one;
    one[name] = value;
    ApplyVolt(held, one);
}

void BindVolt(py::module_& m) {
    py::class_<VoltHeld, std::shared_ptr<VoltHeld>> volt(m, "VoltPhase", R"(
A volt-phase table (.vf): sections of `section` elements alternating between the DAC codes
level1 and level0. Fields are checked as the volt-phase form checks them on Apply, which
builds the pattern again.)");
    BindCommon<VoltHeld, ApplyVolt>(
        volt, "VoltPhase",
        "A new table with the settings' defaults, then the given fields (elements,\n"
        "dac_digits, section, level1, level0, ref_voltage, comment) applied.",
        "Opens a .vf file.");
    volt.def_property(
            "elements", [](const VoltHeld& h) { return h.doc.Elements(); },
            [](VoltHeld& h, const py::object& v) { SetOneVolt(h, "elements", v); })
        .def_property(
            "dac_digits", [](const VoltHeld& h) { return h.doc.DacDigits(); },
            [](VoltHeld& h, const py::object& v) { SetOneVolt(h, "dac_digits", v); })
        .def_property(
            "section", [](const VoltHeld& h) { return h.doc.Section(); },
            [](VoltHeld& h, const py::object& v) { SetOneVolt(h, "section", v); })
        .def_property(
            "level1", [](const VoltHeld& h) { return h.doc.Level1(); },
            [](VoltHeld& h, const py::object& v) { SetOneVolt(h, "level1", v); })
        .def_property(
            "level0", [](const VoltHeld& h) { return h.doc.Level0(); },
            [](VoltHeld& h, const py::object& v) { SetOneVolt(h, "level0", v); })
        .def_property(
            "ref_voltage", [](const VoltHeld& h) { return h.doc.RefVoltage(); },
            [](VoltHeld& h, const py::object& v) { SetOneVolt(h, "ref_voltage", v); })
        .def_property(
            "comment", [](const VoltHeld& h) { return script::Text(h.doc.Comment()); },
            [](VoltHeld& h, const py::str& text) { h.doc.SetComment(script::Bytes(text)); })
        .def_property_readonly("element_codes",
                               [](const VoltHeld& h) { return Array(h.doc.ElementCodes()); })
        .def(
            "codes",
            [](VoltHeld& h) {
                h.doc.BuildOutputCodes();
                return Array(h.doc.Codes());
            },
            "The 2*n DAC codes a send transmits.")
        .def(
            "code_voltage", [](const VoltHeld& h, int code) { return h.doc.CodeVoltage(code); },
            "code"_a, "The voltage a DAC code stands for at the reference voltage.");
}

} // namespace

void BindDocuments(py::module_& module) {
    BindProfile(module);
    BindVolt(module);
}

// The transfer of a document for Controller.send.
std::unique_ptr<ProfileTransfer> PrepareSend(const py::object& document) {
    if (py::isinstance<ProfileHeld>(document)) {
        auto& held = document.cast<ProfileHeld&>();
        auto transfer = held.doc.PrepareSend();
        held.Conclude(transfer != nullptr, IDS_CANT_OPEN_TABLE);
        return transfer;
    }
    if (py::isinstance<VoltHeld>(document)) {
        return document.cast<VoltHeld&>().doc.PrepareSend();
    }
    throw py::type_error("send takes a tessaron.Profile or a tessaron.VoltPhase");
}
