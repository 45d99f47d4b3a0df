// The window program's responsiveness, on the offscreen platform with its own settings file
// (COM_Speed=9, 115200 baud):
// 1. start: ten fresh processes of this program (re-run with --start-once) each build the
//    application and report when the main frame has been shown and painted for the first time;
//    the time is taken from the spawn of the process and from the start of main(), with the
//    peak resident memory;
// 2. send: a 512-element volt-phase table sent five times to the simulator inside the program
//    (paced like a 115200-baud wire), while a 1 ms timer on the UI thread measures the gaps
//    between its ticks from Send until the command has finished.
//
//   build/bin/tessaron_gui_bench
// Prints a table and one PASS or FAIL line per target; exits with 1 when a target is missed or
// a measurement could not be made.
#include "ControllerSimulator.h"
#include "framework/Prompter.h"
#include "framework/StringTable.h"
#include "shell/MainFrame.h"
#include "shell/TessaronApp.h"
#include "ui/DocTemplate.h"
#include "ui/DocumentFrame.h"
#include "volt/LC_VoltDoc.h"
#include "volt_ui/TessaronVoltView.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartRuns = 10;
constexpr int kSendRuns = 5;
constexpr int kElements = 512;
constexpr double kStartLimitMs = 300.0;
constexpr double kMemoryLimitMb = 80.0;
constexpr double kGapLimitMs = 30.0;
constexpr auto kChildDeadline = std::chrono::seconds(30);
constexpr auto kCommandDeadline = std::chrono::seconds(30);

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Message boxes cannot be answered on the offscreen platform: this one prints them, counts them
// and gives the answer that leaves documents and settings alone.
class BenchPrompter : public Prompter {
public:
    int MessageBox(const std::string& text, unsigned type) override {
        ++shown;
        std::fprintf(stderr, "message: %s\n", text.c_str());
        switch (type & MB_BUTTON_MASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDNO;
        default:
            return IDOK;
        }
    }
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest&) override { return {}; }

    int shown = 0;
};

// Runs the event loop until the frame has been painted once and everything painted in that
// same pass is done; false when no paint came within the deadline.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget& frame) : m_frame(frame) { m_frame.installEventFilter(this); }
    ~FirstPaint() override { m_frame.removeEventFilter(this); }

    bool Wait(std::chrono::milliseconds deadline) {
        QTimer::singleShot(deadline, &m_loop, &QEventLoop::quit);
        if (!m_done) {
            m_loop.exec();
        }
        return m_done;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_frame && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The children are painted in the same pass, before any zero timer fires.
            QTimer::singleShot(0, this, [this] {
                m_done = true;
                m_loop.quit();
            });
        }
        return false;
    }

private:
    QWidget& m_frame;
    QEventLoop m_loop;
    bool m_seen = false;
    bool m_done = false;
};

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Value at fraction `q` (0..1) of the sorted values (nearest rank); 0 for none.
double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

double Max(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// Hides the main frame before the application object goes. The frame does not disconnect its
// focus-change handler when it is destroyed, so deleting it while it is the active window
// would run that handler on a half-destroyed frame (a crash); hidden first, the focus change
// happens while the frame is whole.
void HideBeforeTeardown(CTessaronApp& app) {
    if (CMainFrame* frame = app.MainFrame()) {
        frame->hide();
        QCoreApplication::processEvents();
    }
}

// ---- the start, in a process of its own ----

// The child's side: build the program as main() of the window program does, wait for the
// frame's first paint, report on stdout:
//   painted <steady-clock ns> main <ms since main()> rss <KiB>
int StartOnce(int argc, char** argv, Clock::time_point mainStart, const std::string& settings) {
    QApplication application(argc, argv);
    AppOptions options;
    options.settingsPath = settings;
    BenchPrompter prompter;
    CTessaronApp app(options, &prompter);
    if (!app.InitInstance()) {
        std::fprintf(stderr, "the program did not start\n");
        return 1;
    }
    FirstPaint paint(*app.MainFrame());
    if (!paint.Wait(std::chrono::milliseconds(10000))) {
        std::fprintf(stderr, "the main frame was never painted\n");
        return 1;
    }
    const Clock::time_point painted = Clock::now();
    std::printf("painted %lld main %.3f rss %ld messages %d\n",
                static_cast<long long>(painted.time_since_epoch().count()), Ms(painted - mainStart),
                MaxRssKb(), prompter.shown);
    std::fflush(stdout);
    HideBeforeTeardown(app);
    return prompter.shown == 0 ? 0 : 1;
}

struct StartRun {
    double fromSpawnMs = 0;
    double fromMainMs = 0;
    double rssAtPaintMb = 0;
    double rssOverallMb = 0; // the whole life of the process, teardown included
};

// The parent's side: spawns one child and reads its report.
std::optional<StartRun> SpawnStart(const std::string& settings) {
    int out[2];
    if (pipe(out) != 0) {
        std::perror("pipe");
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    std::string self = "/proc/self/exe";
    std::string flag = "--start-once";
    std::string settingsArg = settings;
    char* args[] = {self.data(), flag.data(), settingsArg.data(), nullptr};

    const Clock::time_point spawned = Clock::now();
    pid_t pid = -1;
    const int error = posix_spawn(&pid, self.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (error != 0) {
        std::fprintf(stderr, "posix_spawn: %s\n", std::strerror(error));
        close(out[0]);
        return {};
    }

    std::string report;
    bool timedOut = false;
    const Clock::time_point deadline = spawned + kChildDeadline;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd fd{out[0], POLLIN, 0};
        const int ready = poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            timedOut = ready == 0;
            break;
        }
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        report.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    if (timedOut) {
        kill(pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "start run failed%s\n", timedOut ? " (no report in time)" : "");
        return {};
    }

    long long paintedNs = 0;
    double mainMs = 0;
    long rssKb = 0;
    int messages = 0;
    if (std::sscanf(report.c_str(), "painted %lld main %lf rss %ld messages %d", &paintedNs,
                    &mainMs, &rssKb, &messages) != 4) {
        std::fprintf(stderr, "unreadable start report: %s\n", report.c_str());
        return {};
    }
    StartRun run;
    run.fromSpawnMs = Ms(Clock::time_point(Clock::duration(paintedNs)) - spawned);
    run.fromMainMs = mainMs;
    run.rssAtPaintMb = static_cast<double>(rssKb) / 1024.0;
    run.rssOverallMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

// ---- the send ----

struct SendRun {
    double durationMs = 0;
    double maxGapMs = 0;
    double p99GapMs = 0;
    std::size_t ticks = 0;
};

// Runs the event loop until `done` holds; false at the deadline.
bool WaitUntil(const std::function<bool()>& done, Clock::duration limit = kCommandDeadline) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

class SendBench {
public:
    explicit SendBench(const std::string& settings) {
        AppOptions options;
        options.settingsPath = settings;
        options.simulate = true;
        m_app = std::make_unique<CTessaronApp>(options, &m_prompter);
    }

    // Starts the program, opens a table of 512 elements and connects; false (after saying
    // why) when any of it fails.
    ~SendBench() { HideBeforeTeardown(*m_app); }

    bool Prepare() {
        if (!m_app->InitInstance()) {
            std::fprintf(stderr, "the program did not start\n");
            return false;
        }
        m_frame = m_app->MainFrame();
        FirstPaint(*m_frame).Wait(std::chrono::milliseconds(10000));
        DocTemplate* volt = nullptr;
        for (const auto& type : m_app->Templates()) {
            if (type->ResourceId() == IDR_VOLT_TYPE) {
                volt = type.get();
            }
        }
        if (volt == nullptr) {
            std::fprintf(stderr, "no volt-phase document type\n");
            return false;
        }
        m_doc = static_cast<CLC_VoltDoc*>(m_app->NewDocument(*volt));
        DocumentFrame* child = m_frame->ActiveChildFrame();
        auto* view = child ? qobject_cast<CTessaronVoltView*>(child->widget()) : nullptr;
        if (m_doc == nullptr || view == nullptr) {
            std::fprintf(stderr, "no volt-phase document window\n");
            return false;
        }
        // Sections of 8 elements alternating between two levels.
        const std::pair<int, QString> fields[] = {
            {CTessaronVoltView::IDC_ELEMENTS, QString::number(kElements)},
            {CTessaronVoltView::IDC_SECTION, "8"},
            {CTessaronVoltView::IDC_LEVEL1, "1000"},
            {CTessaronVoltView::IDC_LEVEL0, "10"}};
        for (const auto& [id, text] : fields) {
            auto* edit = qobject_cast<QLineEdit*>(view->Control(id));
            if (edit == nullptr) {
                std::fprintf(stderr, "no field %d in the form\n", id);
                return false;
            }
            edit->setText(text);
        }
        if (!view->OnApply() || m_doc->ElementCodes().size() != kElements) {
            std::fprintf(stderr, "the form did not take %d elements\n", kElements);
            return false;
        }

        Trigger(ID_CONTROLLER_CONNECT);
        if (!WaitUntil([this] { return !m_frame->IsBusy(); }) || !m_frame->IsLinkOpen()) {
            std::fprintf(stderr, "connect failed\n");
            return false;
        }
        return true;
    }

    // One send with the tick gaps on the UI thread; nothing when it failed.
    std::optional<SendRun> Send() {
        m_frame->UpdateCommandStates();
        QAction* send = m_frame->Action(ID_CONTROLLER_SEND);
        if (send == nullptr || !send->isEnabled()) {
            std::fprintf(stderr, "Send is not available\n");
            return {};
        }
        const std::size_t commandsBefore = m_app->Simulator()->Commands().size();
        const int messagesBefore = m_prompter.shown;

        std::vector<double> gaps;
        gaps.reserve(4096);
        QEventLoop loop;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        Clock::time_point previous;
        Clock::time_point finished;
        Clock::time_point deadline;
        bool timedOut = false;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            const Clock::time_point now = Clock::now();
            gaps.push_back(Ms(now - previous));
            previous = now;
            if (!m_frame->IsBusy()) {
                finished = now;
                loop.quit();
            } else if (now > deadline) {
                timedOut = true;
                loop.quit();
            }
        });

        tick.start();
        const Clock::time_point start = Clock::now();
        previous = start;
        deadline = start + kCommandDeadline;
        send->trigger(); // the document builds its codes and posts them on this thread
        loop.exec();
        tick.stop();

        if (timedOut) {
            std::fprintf(stderr, "the send did not finish in time\n");
            return {};
        }
        // The controller must have received the whole table, and nothing may have gone wrong.
        const auto commands = m_app->Simulator()->Commands();
        const bool received = commands.size() > commandsBefore && commands.back().letter == 'S' &&
                              commands.back().complete && commands.back().elements == kElements &&
                              commands.back().codes.size() == 2u * kElements;
        if (!received || m_prompter.shown != messagesBefore ||
            !m_app->Simulator()->Problems().empty()) {
            std::fprintf(stderr, "the send did not reach the controller intact\n");
            return {};
        }
        SendRun run;
        run.durationMs = Ms(finished - start);
        run.maxGapMs = Max(gaps);
        run.p99GapMs = Quantile(gaps, 0.99);
        run.ticks = gaps.size();
        return run;
    }

    void Disconnect() {
        if (m_frame != nullptr && m_frame->IsLinkOpen() && !m_frame->IsBusy()) {
            Trigger(ID_CONTROLLER_CONNECT);
            WaitUntil([this] { return !m_frame->IsBusy(); });
        }
    }

private:
    void Trigger(int id) {
        m_frame->UpdateCommandStates();
        m_frame->Action(id)->trigger();
    }

    BenchPrompter m_prompter;
    std::unique_ptr<CTessaronApp> m_app;
    CMainFrame* m_frame = nullptr;
    CLC_VoltDoc* m_doc = nullptr;
};

// A settings folder of its own, removed at the end.
class TempSettings {
public:
    TempSettings() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tessaron-gui-bench-XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr) {
            m_folder = pattern;
            std::ofstream(Path()) << "[Settings]\nCOM_Speed=9\n";
        }
    }
    ~TempSettings() {
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    bool Ok() const { return !m_folder.empty(); }
    std::string Path() const { return (m_folder / "tessaron.ini").string(); }

private:
    std::filesystem::path m_folder;
};

void PrintRow(const char* label, const std::vector<double>& values) {
    std::printf("  %-34s %8.1f %8.1f %8.1f\n", label, Quantile(values, 0.0), Quantile(values, 0.5),
                Max(values));
}

} // namespace

int main(int argc, char** argv) {
    const Clock::time_point mainStart = Clock::now();
    // Set before QApplication exists: the benchmark needs no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    if (argc == 3 && std::string(argv[1]) == "--start-once") {
        return StartOnce(argc, argv, mainStart, argv[2]);
    }
    if (argc != 1) {
        std::fprintf(stderr, "Usage: tessaron_gui_bench\n");
        return 2;
    }

    TempSettings settings;
    if (!settings.Ok()) {
        std::perror("temporary settings folder");
        return 1;
    }

    // 1. Start, in fresh processes.
    std::vector<double> fromSpawn, fromMain, rssAtPaint, rssOverall;
    for (int i = 0; i < kStartRuns; ++i) {
        const auto run = SpawnStart(settings.Path());
        if (!run) {
            return 1;
        }
        fromSpawn.push_back(run->fromSpawnMs);
        fromMain.push_back(run->fromMainMs);
        rssAtPaint.push_back(run->rssAtPaintMb);
        rssOverall.push_back(run->rssOverallMb);
    }
    std::printf("start, %d fresh processes (offscreen)   min   median      max\n", kStartRuns);
    PrintRow("process spawn -> first paint (ms)", fromSpawn);
    PrintRow("main() -> first paint (ms)", fromMain);
    PrintRow("peak RSS at first paint (MB)", rssAtPaint);
    PrintRow("peak RSS, whole process (MB)", rssOverall);
    std::fflush(stdout);

    // 2. Sends, in this process.
    QApplication application(argc, argv);
    std::vector<SendRun> runs;
    {
        SendBench bench(settings.Path());
        if (!bench.Prepare()) {
            return 1;
        }
        for (int i = 0; i < kSendRuns; ++i) {
            const auto run = bench.Send();
            if (!run) {
                return 1;
            }
            runs.push_back(*run);
        }
        bench.Disconnect();
    }
    std::printf("\nsend, %d elements at 115200 baud   run  duration ms  ticks  max gap ms  "
                "p99 gap ms\n",
                kElements);
    double worstGap = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        std::printf("  %33zu %12.1f %6zu %11.2f %11.2f\n", i + 1, runs[i].durationMs, runs[i].ticks,
                    runs[i].maxGapMs, runs[i].p99GapMs);
        worstGap = std::max(worstGap, runs[i].maxGapMs);
    }
    std::printf("\n");

    const double startMedian = Quantile(fromSpawn, 0.5);
    const double peakMb = std::max(Max(rssAtPaint), Max(rssOverall));
    const bool startOk = startMedian < kStartLimitMs;
    const bool memoryOk = peakMb < kMemoryLimitMb;
    const bool gapOk = worstGap <= kGapLimitMs;
    std::printf("%s start: median %.1f ms from process spawn to first paint (target < %.0f ms)\n",
                startOk ? "PASS" : "FAIL", startMedian, kStartLimitMs);
    std::printf("%s memory: peak RSS %.1f MB (target < %.0f MB)\n", memoryOk ? "PASS" : "FAIL",
                peakMb, kMemoryLimitMb);
    std::printf("%s event loop: largest tick gap %.2f ms over %d sends (target <= %.0f ms)\n",
                gapOk ? "PASS" : "FAIL", worstGap, kSendRuns, kGapLimitMs);
    return startOk && memoryOk && gapOk ? 0 : 1;
}
