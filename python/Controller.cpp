// tessaron.Controller: the link to the controller for scripts, on the program's worker thread.
// A command is handed to the worker and waited for with the GIL released; the waiting thread
// takes the GIL for a moment every few milliseconds to let Python look at its signals, so that
// Ctrl+C cancels the command under way (the link's Cancel) and ends in KeyboardInterrupt.
#include "Script.h"
#include "comm/LC_Protocol.h"
#include "comm/LinkOptions.h"
#include "comm/LoadRecord.h"
#include "framework/AppPaths.h"
#include "framework/SettingsStore.h"
#include "framework/StringTable.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string_view>

std::unique_ptr<ProfileTransfer> PrepareSend(const py::object& document);

namespace {

using namespace pybind11::literals;

// The worker's host: it keeps the messages and the report of the command under way; nobody
// reads a box here, so a message is answered at once and raised once the command is over.
class ScriptHost : public ProtocolHost {
public:
    int ReportError(int stringId, unsigned) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(LoadString(stringId));
        return IDOK;
    }
    void CommandFinished(const CommandReport& report) override {
        std::lock_guard lock(m_mutex);
        m_report = report;
    }
    void CommandDone(int) override {
        {
            std::lock_guard lock(m_mutex);
            ++m_done;
        }
        m_finished.notify_all();
    }

    // Before a command is handed over: the number of commands done so far.
    std::uint64_t Begin() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
        m_report = {};
        return m_done;
    }
    // Waits up to `slice` for more than `before` commands to be done.
    bool WaitDone(std::uint64_t before, std::chrono::milliseconds slice) {
        std::unique_lock lock(m_mutex);
        return m_finished.wait_for(lock, slice, [&] { return m_done > before; });
    }
    CommandReport Report() {
        std::lock_guard lock(m_mutex);
        return m_report;
    }
    std::vector<std::string> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    std::vector<std::string> m_messages;
    CommandReport m_report;
    std::uint64_t m_done = 0;
};

int Checked(const py::object& value, std::optional<int> (*read)(const std::string&),
            const char* refusal) {
    const std::string text = py::str(value);
    const auto converted = read(text);
    if (!converted) {
        throw ScriptError(std::string(refusal) + ", not " + text);
    }
    return *converted;
}

class Controller {
public:
    Controller(const py::object& port, const py::object& speed, const py::object& timeoutMs,
               const py::object& log, const py::object& lineDivisor, const py::object& frameDivisor,
               const py::object& settings)
        : m_settings(script::SettingsPath(settings)), m_link(m_settings, m_host) {
        if (!port.is_none()) {
            m_overrides.device = script::PathBytes(port);
        }
        if (!speed.is_none()) {
            m_overrides.baud = Checked(speed, linkoptions::KnownBaud, linkoptions::kSpeedRefusal);
        }
        if (!timeoutMs.is_none()) {
            m_overrides.rxTimeoutMs =
                Checked(timeoutMs, linkoptions::TimeoutMs, linkoptions::kTimeoutRefusal);
        }
        SetDivisor(m_overrides.lineDivisorIndex, lineDivisor);
        SetDivisor(m_overrides.frameDivisorIndex, frameDivisor);
        // The log of scripts lives in the user's folder of the program, never beside the
        // interpreter; the record of loads goes beside it.
        m_overrides.logPath = apppaths::UserDataDir() + "/tessaron.log";
        if (py::isinstance<py::bool_>(log)) {
            m_overrides.log = log.cast<bool>();
        } else if (!log.is_none()) {
            m_overrides.logPath = script::PathBytes(log);
            m_overrides.log = true;
        }
        m_link.SetOverrides(m_overrides);
        m_link.Start();
    }

    ~Controller() {
        py::gil_scoped_release release;
        m_link.Stop(); // an open link goes off line first
    }

    void Connect() {
        const CommandReport report = Run(CMD_CONNECT, nullptr);
        if (!report.ok) {
            Fail(report, report.steps.empty() ? PortDetail() : loadrecord::FailedStep(report));
        }
    }

    void Disconnect() {
        const CommandReport report = Run(CMD_DISCONNECT, nullptr);
        if (!report.ok) {
            Fail(report, loadrecord::FailedStep(report));
        }
    }

    py::object Send(const py::object& document) {
        auto transfer = PrepareSend(document);
        if (!m_link.IsConnected()) {
            throw ScriptError(LoadString(IDS_LINK_NOT_OPEN), PortDetail());
        }
        const CommandReport report = Run(CMD_SEND_PROFILE, std::move(transfer));
        if (!report.recordProblem.empty()) {
            script::Warn(report.recordProblem);
        }
        if (!report.ok) {
            Fail(report, loadrecord::FailedStep(report), report.loadRecord);
        }
        return report.loadRecord.empty()
                   ? py::object(py::none())
                   : py::module_::import("json").attr("loads")(script::Text(report.loadRecord));
    }

    bool Connected() const { return m_link.IsConnected(); }
    std::string LogPath() const { return m_link.LogPath(); }
    std::string RecordPath() const { return m_link.RecordPath(); }

    py::object Divisor(const std::optional<int>& index, std::string_view key) const {
        const int value = index.value_or(m_settings.GetInt(settings::kSection, key, 0));
        return value >= 0 && value <= 3 ? py::object(py::int_(1 << value)) : py::none();
    }
    void SetLineDivisor(const py::object& value) {
        SetDivisor(m_overrides.lineDivisorIndex, value);
        m_link.SetOverrides(m_overrides);
    }
    void SetFrameDivisor(const py::object& value) {
        SetDivisor(m_overrides.frameDivisorIndex, value);
        m_link.SetOverrides(m_overrides);
    }
    const LinkOverrides& Overrides() const { return m_overrides; }

private:
    void SetDivisor(std::optional<int>& index, const py::object& value) {
        if (!value.is_none()) {
            index = Checked(value, linkoptions::DivisorIndex, linkoptions::kDivisorRefusal);
        }
    }

    std::string PortDetail() const {
        const auto path =
            m_overrides.device ? m_overrides.device : PortPathFromSettings(m_settings);
        return path.value_or("");
    }

    // Hands a command to the worker and waits for it; Ctrl+C cancels it.
    CommandReport Run(int code, std::unique_ptr<ProfileTransfer> transfer) {
        bool interrupted = false;
        {
            py::gil_scoped_release release;
            // One command at a time, whichever Python thread asks.
            std::lock_guard serial(m_commandMutex);
            const std::uint64_t before = m_host.Begin();
            m_link.PostCommand(code, std::move(transfer));
            while (!m_host.WaitDone(before, std::chrono::milliseconds(20))) {
                if (interrupted) {
                    continue; // cancelled: it ends promptly now
                }
                py::gil_scoped_acquire acquire;
                if (PyErr_CheckSignals() != 0) {
                    interrupted = true;
                    m_link.Cancel();
                }
            }
        }
        if (interrupted) {
            throw py::error_already_set(); // KeyboardInterrupt, or what the handler raised
        }
        return m_host.Report();
    }

    [[noreturn]] void Fail(const CommandReport& report, const std::string& detail,
                           const std::string& record = {}) {
        const auto messages = m_host.Messages();
        const std::string message = !messages.empty()  ? messages.front()
                                    : report.cancelled ? LoadString(IDS_LOAD_CANCELLED)
                                                       : LoadString(IDS_SEND_FAILED);
        throw ScriptError(message, detail, record);
    }

    SettingsStore m_settings;
    ScriptHost m_host;
    CLC_Protocol m_link;
    LinkOverrides m_overrides;
    std::mutex m_commandMutex;
};

} // namespace

void BindController(py::module_& m) {
    py::class_<Controller>(m, "Controller", R"(
The link to the modulator's controller (or to tessaron-sim) over a serial port.

    with tessaron.Controller("/dev/pts/3", speed=115200) as link:
        record = link.send(profile)

Values not given come from the settings file, as for tessaron-cli send. log: None (the
settings' "Protocol Log"), True or False, or the path of a protocol log; the log and the
record of loads beside it live in ~/.config/tessaron/ unless a path is given. Every failure
raises tessaron.Error with the program's message; Ctrl+C during a command cancels it, closes
the port and raises KeyboardInterrupt.)")
        .def(py::init<const py::object&, const py::object&, const py::object&, const py::object&,
                      const py::object&, const py::object&, const py::object&>(),
             "port"_a = py::none(), "speed"_a = py::none(), "timeout_ms"_a = py::none(),
             "log"_a = py::none(), "line_divisor"_a = py::none(), "frame_divisor"_a = py::none(),
             "settings"_a = py::none())
        .def("connect", &Controller::Connect, "Opens the port, connects and loads the divisors.")
        .def("disconnect", &Controller::Disconnect)
        .def("send", &Controller::Send, "document"_a,
             "Loads a Profile or VoltPhase (its codes as a send transmits them); returns the\n"
             "load's record (a dict), also appended to record_path.")
        .def("__enter__",
             [](Controller& c) -> Controller& {
                 c.Connect();
                 return c;
             })
        .def("__exit__",
             [](Controller& c, const py::object& type, const py::object&, const py::object&) {
                 if (!c.Connected()) {
                     return false;
                 }
                 try {
                     c.Disconnect();
                 } catch (const ScriptError&) {
                     if (type.is_none()) {
                         throw; // a failed disconnect is news only when nothing else failed
                     }
                 }
                 return false;
             })
        .def_property_readonly("connected", &Controller::Connected)
        .def_property_readonly("log_path",
                               [](const Controller& c) { return script::Text(c.LogPath()); })
        .def_property_readonly("record_path",
                               [](const Controller& c) { return script::Text(c.RecordPath()); })
        .def_property(
            "line_divisor",
            [](const Controller& c) {
                return c.Divisor(c.Overrides().lineDivisorIndex, settings::kFreqLine);
            },
            &Controller::SetLineDivisor, "1, 2, 4 or 8; loaded at the next connect")
        .def_property(
            "frame_divisor",
            [](const Controller& c) {
                return c.Divisor(c.Overrides().frameDivisorIndex, settings::kFreqFrame);
            },
            &Controller::SetFrameDivisor, "1, 2, 4 or 8; loaded at the next connect");
}
