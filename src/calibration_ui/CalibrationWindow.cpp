#include "calibration_ui/CalibrationWindow.h"

#include "calibration/CalibrationRun.h"
#include "calibration/MeasurementCsv.h"
#include "calibration/PhaseSources.h"
#include "calibration/TableLibrary.h"
#include "calibration_ui/ResponsePlot.h"
#include "framework/ControllerHost.h"
#include "framework/Document.h"
#include "framework/FieldExchange.h"
#include "framework/NumberText.h"
#include "framework/Prompter.h"
#include "profile/DacCodes.h"
#include "profile/TessaronDoc.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>

using namespace calibration;

namespace {

constexpr const char* kReadingsFilter = "Readings (*.csv)|*.csv|All Files (*.*)|*.*||";

PhaseUnit UnitAt(int index) {
    return index == 1 ? PhaseUnit::Waves : index == 2 ? PhaseUnit::PartsOfPi : PhaseUnit::Radians;
}

int DistinctLevels(const Measurement& m) {
    std::set<int> levels;
    for (const MeasuredPoint& p : m.points) {
        levels.insert(p.level);
    }
    return static_cast<int>(levels.size());
}

} // namespace

// Loads the sweep's patterns through the main frame, from the sweep's thread: the window
// posts each on its own thread and reports the frame's word on it here.
class CalibrationWindow::FrameLink : public PatternLink {
public:
    explicit FrameLink(CalibrationWindow& window) : m_window(window) {}

    Result<Done> Load(const SweepPattern& pattern, CancelToken& cancel) override {
        {
            std::lock_guard lock(m_mutex);
            m_state = State::Pending;
            m_cancelled = false;
        }
        const CancelToken::Waker waker(cancel, [this] {
            std::lock_guard lock(m_mutex);
            m_cancelled = true;
            m_changed.notify_all();
        });
        QMetaObject::invokeMethod(
            &m_window, [window = &m_window, pattern] { window->PostPattern(pattern); },
            Qt::QueuedConnection);
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_state != State::Pending || m_cancelled; });
        if (m_state == State::Loaded) {
            return Done{};
        }
        return Refuse(m_cancelled ? std::string("cancelled") : m_message);
    }

    // The pattern is loaded, or why not (on the window's thread).
    void Finish(bool loaded, std::string message = {}) {
        std::lock_guard lock(m_mutex);
        m_state = loaded ? State::Loaded : State::Failed;
        m_message = std::move(message);
        m_changed.notify_all();
    }

private:
    enum class State { Pending, Loaded, Failed };
    CalibrationWindow& m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Pending;
    bool m_cancelled = false;
    std::string m_message;
};

// Hands the sweep's progress to the window's thread.
class CalibrationWindow::Progress : public SweepObserver {
public:
    explicit Progress(CalibrationWindow& window) : m_window(window) {}

    void Loading(int index, int count, int level) override {
        Post([index, count, level](CalibrationWindow& w) {
            w.m_awaited.reset();
            w.m_status->setText(tr("Loading the pattern of level %1 (%2 of %3)...")
                                    .arg(level)
                                    .arg(index + 1)
                                    .arg(count));
            w.UpdateStates();
        });
    }
    void Waiting(int index, int count, int level) override {
        Post([index, count, level](CalibrationWindow& w) {
            w.m_awaited = level;
            w.m_status->setText(tr("Level %1 (%2 of %3) is loaded: waiting for its phase.")
                                    .arg(level)
                                    .arg(index + 1)
                                    .arg(count));
            w.UpdateStates();
        });
    }
    void Measured(const MeasuredPoint& point) override {
        Post([point](CalibrationWindow& w) { w.OnMeasured(point); });
    }

private:
    template <typename F> void Post(F f) {
        QMetaObject::invokeMethod(
            &m_window, [window = &m_window, f] { f(*window); }, Qt::QueuedConnection);
    }
    CalibrationWindow& m_window;
};

CalibrationWindow::CalibrationWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context) {
    setObjectName("CalibrationWindow");
    setWindowTitle(tr("Calibration"));
    const limits::NewDocumentSize size = limits::NewDocumentSizeFrom(context.settings);
    m_readings.digits = size.dacDigits;
    BuildControls();
    m_digits->setValue(size.dacDigits);
    m_elements->setValue(size.elements);
    m_section->setValue(std::max(1, size.elements / 16));
    m_last->setValue(static_cast<int>(daccodes::HalfRange(size.dacDigits)) - 1);
    Refit();
}

CalibrationWindow::~CalibrationWindow() {
    if (m_thread.joinable()) {
        m_cancel->Cancel();
        m_thread.join();
    }
}

void CalibrationWindow::BuildControls() {
    const auto spin = [this](const char* name, int low, int high) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(low, high);
        return box;
    };
    const auto button = [this](const char* name, const QString& text,
                               void (CalibrationWindow::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    const auto edit = [this](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(name);
        return e;
    };

    auto* sweepBox = new QGroupBox(tr("Sweep"), this);
    auto* sweepForm = new QFormLayout(sweepBox);
    m_digits = spin("digits", limits::kMinDacDigits, limits::kMaxDacDigits);
    m_elements = spin("elements", limits::kMinElements, limits::kMaxElements);
    m_section = spin("section", 1, limits::kMaxElements);
    // Levels are checked against the DAC's range when the sweep starts, with the message.
    m_reference = spin("reference", 0, 65535);
    m_first = spin("first", 0, 65535);
    m_last = spin("last", 0, 65535);
    m_steps = spin("steps", 1, 32768);
    m_steps->setValue(64);
    sweepForm->addRow(tr("DAC digits:"), m_digits);
    sweepForm->addRow(tr("Elements:"), m_elements);
    sweepForm->addRow(tr("Section:"), m_section);
    sweepForm->addRow(tr("Reference level:"), m_reference);
    sweepForm->addRow(tr("First level:"), m_first);
    sweepForm->addRow(tr("Last level:"), m_last);
    sweepForm->addRow(tr("Levels:"), m_steps);
    m_unit = new QComboBox(this);
    m_unit->setObjectName("unit");
    m_unit->addItems({tr("rad"), tr("waves"), tr("parts of PI")});
    sweepForm->addRow(tr("Phase unit:"), m_unit);
    m_sourceKind = new QComboBox(this);
    m_sourceKind->setObjectName("source");
    m_sourceKind->addItems({tr("Typed in below"), tr("Lines appended to a file")});
    sweepForm->addRow(tr("Phases:"), m_sourceKind);
    m_phaseFile = edit("phaseFile", {});
    sweepForm->addRow(tr("Phase file:"), m_phaseFile);
    m_wait = new QDoubleSpinBox(this);
    m_wait->setObjectName("wait");
    m_wait->setRange(0.1, 86400.0);
    m_wait->setValue(60.0);
    m_wait->setSuffix(tr(" s"));
    sweepForm->addRow(tr("Wait per phase:"), m_wait);
    m_start = button("start", tr("&Start"), &CalibrationWindow::StartSweep);
    m_cancelButton = button("cancel", tr("&Cancel"), &CalibrationWindow::CancelSweep);
    auto* startRow = new QHBoxLayout;
    startRow->addWidget(m_start);
    startRow->addWidget(m_cancelButton);
    sweepForm->addRow(startRow);
    m_phase = edit("phase", {});
    m_enter = button("enter", tr("&Enter"), &CalibrationWindow::EnterPhase);
    connect(m_phase, &QLineEdit::returnPressed, this, &CalibrationWindow::EnterPhase);
    auto* phaseRow = new QHBoxLayout;
    phaseRow->addWidget(m_phase);
    phaseRow->addWidget(m_enter);
    sweepForm->addRow(tr("Phase read:"), phaseRow);

    auto* readingsRow = new QHBoxLayout;
    m_import = button("import", tr("&Import Readings..."), &CalibrationWindow::ImportReadings);
    m_saveReadings =
        button("saveReadings", tr("Save &Readings..."), &CalibrationWindow::SaveReadings);
    readingsRow->addWidget(m_import);
    readingsRow->addWidget(m_saveReadings);

    auto* tableBox = new QGroupBox(tr("Table and record"), this);
    auto* tableForm = new QFormLayout(tableBox);
    m_maxPhase = edit("maxPhase", "2");
    m_waveLength = edit("waveLength", "633");
    m_temperature = edit("temperature", {});
    tableForm->addRow(tr("Maximum phase (parts of PI):"), m_maxPhase);
    tableForm->addRow(tr("Wave length, nm:"), m_waveLength);
    tableForm->addRow(tr("Temperature, C (optional):"), m_temperature);
    m_writeTable = button("writeTable", tr("Write &Table..."), &CalibrationWindow::WriteTable);
    m_writeRecord = button("writeRecord", tr("Write Rec&ord..."), &CalibrationWindow::WriteRecord);
    auto* writeRow = new QHBoxLayout;
    writeRow->addWidget(m_writeTable);
    writeRow->addWidget(m_writeRecord);
    tableForm->addRow(writeRow);

    auto* left = new QVBoxLayout;
    left->addWidget(sweepBox);
    left->addLayout(readingsRow);
    left->addWidget(tableBox);
    left->addStretch();

    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setWordWrap(true);
    m_figures = new QLabel(this);
    m_figures->setObjectName("figures");
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_plot = new ResponsePlot(this);
    m_plot->setObjectName("plot");
    auto* right = new QVBoxLayout;
    right->addWidget(m_plot, 1);
    right->addWidget(m_figures);
    right->addWidget(m_status);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);
    connect(m_sourceKind, &QComboBox::currentIndexChanged, this, [this] { UpdateStates(); });
    resize(960, 600);
}

void CalibrationWindow::ShowMessage(const std::string& text) {
    m_context.prompter.MessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

std::optional<SweepPlan> CalibrationWindow::ReadPlan() {
    SweepPlan plan;
    plan.digits = m_digits->value();
    plan.elements = m_elements->value();
    plan.section = m_section->value();
    plan.referenceLevel = m_reference->value();
    plan.unit = UnitAt(m_unit->currentIndex());
    plan.levels = SpreadLevels(m_first->value(), m_last->value(), m_steps->value());
    if (const auto checked = CheckPlan(plan); !checked) {
        ShowMessage(checked.Message());
        return std::nullopt;
    }
    return plan;
}

void CalibrationWindow::StartSweep() {
    if (m_thread.joinable()) {
        return;
    }
    const auto plan = ReadPlan();
    if (!plan) {
        return;
    }
    if (m_context.controller == nullptr) {
        ShowMessage("There is no link to the controller in this program.");
        return;
    }
    const bool fromFile = m_sourceKind->currentIndex() == 1;
    const std::string file = m_phaseFile->text().trimmed().toStdString();
    if (fromFile && file.empty()) {
        ShowMessage("Please name the file the instrument's phases are appended to.");
        m_phaseFile->setFocus();
        return;
    }
    if (!m_readings.points.empty() && !m_readingsSaved &&
        m_context.prompter.MessageBox("A new sweep replaces the " +
                                          std::to_string(m_readings.points.size()) +
                                          " readings, which were not saved. Replace them?",
                                      MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    auto patterns = MakePatterns(m_context, *plan);
    if (!patterns) {
        ShowMessage(patterns.Message());
        return;
    }
    m_readings = Measurement{};
    m_readings.digits = plan->digits;
    m_readings.unit = plan->unit;
    m_readingsSaved = true;
    Refit();

    m_cancelOwner = std::make_unique<CancelToken>();
    m_cancel = m_cancelOwner.get();
    m_link = std::make_unique<FrameLink>(*this);
    m_progress = std::make_unique<Progress>(*this);
    m_typed = nullptr;
    if (fromFile) {
        m_source = std::make_shared<WatchedFilePhaseSource>(
            file, std::chrono::milliseconds(static_cast<long long>(m_wait->value() * 1000.0)),
            plan->unit);
    } else {
        auto typed = std::make_shared<QueuedPhaseSource>();
        m_typed = typed.get();
        m_source = typed;
    }
    m_status->setText(tr("The sweep starts."));
    m_thread = std::thread([this, plan = *plan, patterns = std::move(*patterns)] {
        const SweepOutcome outcome =
            RunSweep(plan, patterns, *m_link, *m_source, *m_cancel, m_progress.get());
        QMetaObject::invokeMethod(
            this, [this, outcome] { OnSweepEnded(outcome); }, Qt::QueuedConnection);
    });
    UpdateStates();
}

void CalibrationWindow::CancelSweep() {
    if (m_cancel != nullptr && m_thread.joinable()) {
        m_cancel->Cancel();
    }
}

void CalibrationWindow::EnterPhase() {
    if (m_typed == nullptr || !m_awaited) {
        return;
    }
    const std::string text = m_phase->text().trimmed().toStdString();
    const auto phase = numtext::ParseDouble(text);
    if (!phase || !std::isfinite(*phase)) {
        ShowMessage("\"" + text + "\" is not a phase: please type a number such as 1.25.");
        m_phase->setFocus();
        m_phase->selectAll();
        return;
    }
    m_typed->Provide(*phase, *m_awaited);
    m_awaited.reset();
    m_phase->clear();
    UpdateStates();
}

void CalibrationWindow::PostPattern(const SweepPattern& pattern) {
    ControllerHost* host = m_context.controller;
    if (m_link == nullptr || host == nullptr) {
        return;
    }
    // The frame is busy with a command of its own: the pattern goes once that has ended.
    m_pending = pattern;
    if (host->IsBusy()) {
        return;
    }
    if (!host->IsLinkOpen()) {
        m_awaitingFrame = Awaiting::Connect;
        host->PostToWorker(CMD_CONNECT, nullptr);
        return;
    }
    auto transfer = std::make_unique<ProfileTransfer>();
    transfer->codes = pattern.codes;
    transfer->elements = pattern.elements;
    m_awaitingFrame = Awaiting::Send;
    host->SetSending(true);
    host->PostToWorker(CMD_SEND_PROFILE, std::move(transfer));
}

void CalibrationWindow::OnControllerDone(int code, bool ok) {
    if (m_link == nullptr || !m_pending) {
        return;
    }
    const SweepPattern pattern = *m_pending;
    const Awaiting awaiting = m_awaitingFrame;
    m_awaitingFrame = Awaiting::Nothing;
    if (awaiting == Awaiting::Connect && code == CMD_CONNECT) {
        if (!ok || m_context.controller == nullptr || !m_context.controller->IsLinkOpen()) {
            m_pending.reset();
            m_link->Finish(false, "the controller was not reached");
            return;
        }
    } else if (awaiting == Awaiting::Send && code == CMD_SEND_PROFILE) {
        m_pending.reset();
        m_link->Finish(ok, ok ? std::string()
                              : "the pattern of level " + std::to_string(pattern.level) +
                                    " was not loaded");
        return;
    } else if (awaiting != Awaiting::Nothing) {
        m_awaitingFrame = awaiting; // another command's end: keep waiting for ours
        return;
    }
    PostPattern(pattern);
}

void CalibrationWindow::OnMeasured(const MeasuredPoint& point) {
    m_readings.points.push_back(point);
    m_readingsSaved = false;
    Refit();
}

void CalibrationWindow::OnSweepEnded(const SweepOutcome& outcome) {
    m_thread.join();
    m_awaited.reset();
    m_pending.reset();
    m_awaitingFrame = Awaiting::Nothing;
    m_link.reset();
    m_progress.reset();
    m_source.reset();
    m_typed = nullptr;
    m_cancel = nullptr;
    m_cancelOwner.reset();
    const QString counted = tr("%1 levels measured").arg(outcome.measurement.points.size());
    switch (outcome.end) {
    case SweepOutcome::End::Complete:
        m_status->setText(tr("The sweep is complete: %1.").arg(counted));
        break;
    case SweepOutcome::End::Cancelled:
    case SweepOutcome::End::Ended:
        m_status->setText(tr("The sweep was cancelled: %1, kept.").arg(counted));
        break;
    case SweepOutcome::End::Failed:
        m_status->setText(tr("The sweep stopped: %1, kept.").arg(counted));
        ShowMessage("The sweep stopped after " + std::to_string(outcome.measurement.points.size()) +
                    " levels: " + outcome.message);
        break;
    }
    UpdateStates();
}

void CalibrationWindow::Refit() {
    m_curve.reset();
    m_fitProblem.clear();
    QString figures;
    if (DistinctLevels(m_readings) < kMinLevels) {
        m_fitProblem = "A response curve needs at least " + std::to_string(kMinLevels) +
                       " different levels; " + std::to_string(DistinctLevels(m_readings)) +
                       " were measured.";
    } else if (auto curve = ResponseCurve::Fit(m_readings); curve) {
        m_curve = std::move(*curve);
        for (const FitFigure& figure : FitFigures(*m_curve)) {
            figures += QString::fromStdString(figure.name + ": " + figure.value) + "\n";
        }
        figures.chop(1);
    } else {
        m_fitProblem = curve.Message();
    }
    m_figures->setText(m_fitProblem.empty() ? figures : QString::fromStdString(m_fitProblem));
    m_plot->SetData(m_readings, m_curve);
    UpdateStates();
}

void CalibrationWindow::UpdateStates() {
    const bool running = m_thread.joinable();
    for (QWidget* w : std::initializer_list<QWidget*>{m_digits, m_elements, m_section, m_reference,
                                                      m_first, m_last, m_steps, m_unit,
                                                      m_sourceKind, m_start, m_import}) {
        w->setEnabled(!running);
    }
    m_phaseFile->setEnabled(!running && m_sourceKind->currentIndex() == 1);
    m_wait->setEnabled(!running && m_sourceKind->currentIndex() == 1);
    m_cancelButton->setEnabled(running);
    const bool typing = running && m_typed != nullptr && m_awaited.has_value();
    m_phase->setEnabled(typing);
    m_enter->setEnabled(typing);
    if (typing) {
        m_phase->setFocus();
    }
    m_saveReadings->setEnabled(!m_readings.points.empty());
}

void CalibrationWindow::SetReadings(const Measurement& readings) {
    m_readings = readings;
    m_readingsSaved = true;
    m_digits->setValue(readings.digits);
    m_unit->setCurrentIndex(readings.unit == PhaseUnit::Waves       ? 1
                            : readings.unit == PhaseUnit::PartsOfPi ? 2
                                                                    : 0);
    Refit();
}

void CalibrationWindow::ImportReadings() {
    FileDialogRequest request;
    request.filter = kReadingsFilter;
    request.defaultExtension = "csv";
    const auto choice = m_context.prompter.AskOpenFile(request);
    if (!choice) {
        return;
    }
    CsvOptions options;
    options.digits = m_digits->value();
    options.unit = UnitAt(m_unit->currentIndex());
    auto read = ReadMeasurementCsv(choice->path, options);
    if (!read) {
        // The readings at hand stay as they were.
        ShowMessage(read.Message());
        return;
    }
    SetReadings(*read);
    m_status->setText(tr("%1 readings imported from %2.")
                          .arg(read->points.size())
                          .arg(QString::fromStdString(choice->path)));
}

void CalibrationWindow::SaveReadings() {
    FileDialogRequest request;
    request.filter = kReadingsFilter;
    request.defaultExtension = "csv";
    request.overwritePrompt = true;
    const auto choice = m_context.prompter.AskSaveFile(request);
    if (!choice) {
        return;
    }
    if (const auto written = WriteMeasurementCsv(choice->path, m_readings); !written) {
        ShowMessage(written.Message());
        return;
    }
    m_readingsSaved = true;
    m_status->setText(tr("The readings are in %1.").arg(QString::fromStdString(choice->path)));
}

bool CalibrationWindow::ReadFitFields(double& maxPhase, std::optional<double>& waveLength,
                                      std::optional<double>& temperature, bool needWaveLength) {
    const auto fail = [this](QLineEdit* field, const std::string& message) {
        ShowMessage(message);
        field->setFocus();
        field->selectAll();
        return false;
    };
    const auto max = ddx::ReadDouble(m_maxPhase->text().toStdString(), limits::kMinMaxPhase,
                                     limits::kMaxMaxPhase);
    if (!max) {
        return fail(m_maxPhase, max.error);
    }
    maxPhase = *max.value;
    if (needWaveLength || !m_waveLength->text().trimmed().isEmpty()) {
        const auto nm = ddx::ReadDouble(m_waveLength->text().toStdString(), 100.0, 20000.0);
        if (!nm) {
            return fail(m_waveLength, nm.error);
        }
        waveLength = *nm.value * 1e-9;
    }
    if (!m_temperature->text().trimmed().isEmpty()) {
        const auto t = ddx::ReadDouble(m_temperature->text().toStdString(), -273.15, 1000.0);
        if (!t) {
            return fail(m_temperature, t.error);
        }
        temperature = *t.value;
    }
    return true;
}

void CalibrationWindow::Write(bool record) {
    CalibrationJob job;
    std::optional<double> waveLength;
    if (!ReadFitFields(job.maxPhase, waveLength, job.temperature, record)) {
        return;
    }
    job.waveLength = waveLength.value_or(0.0);
    // Every check before the file is asked for: nothing is written for a refused measurement.
    if (!m_curve) {
        ShowMessage(m_fitProblem);
        return;
    }
    if (const auto table = m_curve->BuildTable(m_readings.digits, job.maxPhase); !table) {
        ShowMessage(table.Message());
        return;
    }
    FileDialogRequest request;
    request.overwritePrompt = true;
    if (record) {
        request.filter = "Calibration records (*.tcal)|*.tcal||";
        request.defaultExtension = "tcal";
        const std::string folder = CalibrationFolder(m_context.settings);
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        request.initialName =
            folder + "/lc-" + numtext::FormatGeneral(job.waveLength * 1e9, 6) + "nm.tcal";
    } else {
        request.filter = "Correction tables (*.txt)|*.txt|All Files (*.*)|*.*||";
        request.defaultExtension = "txt";
    }
    const auto choice = m_context.prompter.AskSaveFile(request);
    if (!choice) {
        return;
    }
    (record ? job.recordPath : job.tablePath) = choice->path;
    const auto done = CalibrateMeasurement(m_readings, job);
    if (!done) {
        ShowMessage(done.Message());
        return;
    }
    m_status->setText(
        (record ? tr("The calibration record is in %1.") : tr("The correction table is in %1."))
            .arg(QString::fromStdString(choice->path)));
}

void CalibrationWindow::WriteTable() {
    Write(false);
}

void CalibrationWindow::WriteRecord() {
    Write(true);
}

void CalibrationWindow::closeEvent(QCloseEvent* event) {
    // Closing hides the window; a sweep under way stops and keeps its readings.
    CancelSweep();
    event->accept();
}
