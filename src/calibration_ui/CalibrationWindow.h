// The Calibration window: measures the liquid crystal's response on the controller (or the
// simulator) and turns it into a correction table and a calibration record.
//
// A sweep runs on a thread of its own. Each pattern goes to the controller through the main
// frame's worker, posted on the user-interface thread as a Send is, and the sweep thread waits
// for the frame to report the command's end; the phase comes from what the person types in or
// from the lines an instrument script appends to a file. The readings, the fitted curve and
// its residuals are plotted as they arrive, with the fit's figures. Cancel stops the sweep at
// once and keeps every reading taken.
#pragma once

#include "calibration/Measurement.h"
#include "calibration/ResponseCurve.h"
#include "calibration/Sweep.h"

#include <QWidget>
#include <memory>
#include <optional>
#include <thread>

struct AppContext;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class ResponsePlot;

namespace calibration {
class QueuedPhaseSource;
}

class CalibrationWindow : public QWidget {
    Q_OBJECT

public:
    // `context.controller` is the link the sweep loads its patterns through (none: no sweep).
    CalibrationWindow(AppContext& context, QWidget* parent = nullptr);
    // Cancels a running sweep and waits for its thread.
    ~CalibrationWindow() override;

    // Controls by their object names, for the guide's pictures and the tests.
    template <typename T> T* Control(const char* name) const { return findChild<T*>(name); }

    // The readings so far (from sweeps, typed or imported), in their unit.
    const calibration::Measurement& Readings() const { return m_readings; }
    // The curve fitted to them; nothing while they cannot be fitted (FitProblem says why).
    const std::optional<calibration::ResponseCurve>& Curve() const { return m_curve; }
    const std::string& FitProblem() const { return m_fitProblem; }
    bool SweepRunning() const { return m_thread.joinable(); }
    // The level whose phase the sweep waits for; nothing when it waits for none.
    std::optional<int> AwaitedLevel() const { return m_awaited; }

    // Takes readings as if imported (the readings of a file the person picked).
    void SetReadings(const calibration::Measurement& readings);

public slots:
    // The main frame's word that a worker command has finished (on this thread).
    void OnControllerDone(int code, bool ok);

    void StartSweep();
    void CancelSweep();
    void EnterPhase();
    void ImportReadings();
    void SaveReadings();
    void WriteTable();
    void WriteRecord();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class FrameLink;
    class Progress;

    void BuildControls();
    std::optional<calibration::SweepPlan> ReadPlan();
    void PostPattern(const calibration::SweepPattern& pattern);
    void OnMeasured(const calibration::MeasuredPoint& point);
    void OnSweepEnded(const calibration::SweepOutcome& outcome);
    void Refit();
    void UpdateStates();
    // The fields of a table and a record; false (after the field's message) when one is wrong.
    bool ReadFitFields(double& maxPhase, std::optional<double>& waveLength,
                       std::optional<double>& temperature, bool needWaveLength);
    void Write(bool record);
    void ShowMessage(const std::string& text);

    AppContext& m_context;
    calibration::Measurement m_readings;
    bool m_readingsSaved = true;
    std::optional<calibration::ResponseCurve> m_curve;
    std::string m_fitProblem;

    // The sweep under way.
    std::thread m_thread;
    calibration::CancelToken* m_cancel = nullptr;
    std::unique_ptr<calibration::CancelToken> m_cancelOwner;
    std::unique_ptr<FrameLink> m_link;
    std::shared_ptr<calibration::PhaseSource> m_source;
    calibration::QueuedPhaseSource* m_typed = nullptr;
    std::unique_ptr<Progress> m_progress;
    std::optional<int> m_awaited;
    // The pattern waiting for the controller, and what the window waits for of the frame.
    std::optional<calibration::SweepPattern> m_pending;
    enum class Awaiting { Nothing, Connect, Send } m_awaitingFrame = Awaiting::Nothing;

    QSpinBox* m_digits = nullptr;
    QSpinBox* m_elements = nullptr;
    QSpinBox* m_section = nullptr;
    QSpinBox* m_reference = nullptr;
    QSpinBox* m_first = nullptr;
    QSpinBox* m_last = nullptr;
    QSpinBox* m_steps = nullptr;
    QComboBox* m_unit = nullptr;
    QComboBox* m_sourceKind = nullptr;
    QLineEdit* m_phaseFile = nullptr;
    QDoubleSpinBox* m_wait = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QLineEdit* m_phase = nullptr;
    QPushButton* m_enter = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_saveReadings = nullptr;
    QLineEdit* m_maxPhase = nullptr;
    QLineEdit* m_waveLength = nullptr;
    QLineEdit* m_temperature = nullptr;
    QPushButton* m_writeTable = nullptr;
    QPushButton* m_writeRecord = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_figures = nullptr;
    ResponsePlot* m_plot = nullptr;
};
