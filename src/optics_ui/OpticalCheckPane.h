// The "Optical check" window of a profile: the phase error along the aperture and the
// intensity in the focal plane or far field, with the figures beside them, following every
// change of the profile.
//
// The check runs on a worker thread of its own: a change of the profile (a spin click, an
// edit, "Apply") only schedules a new check at the event loop's next turn, so a burst of
// changes costs one input; the worker checks only the newest input, and a result older than
// the one shown is dropped. The user-interface thread never waits for a check.
#pragma once

#include "framework/Document.h"
#include "optics/CheckWorker.h"
#include "optics/RecordedResponse.h"
#include "plot/Plot.h"

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class CTessaronDoc;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;

class OpticalCheckPane : public QWidget, public DocumentView {
    Q_OBJECT

public:
    // Observes `doc` until the pane goes; the pane must go before the document (make it a
    // child of the document's view).
    OpticalCheckPane(CTessaronDoc& doc, QWidget* parent = nullptr);
    ~OpticalCheckPane() override;

    void OnUpdate(DocumentView* sender, int hint) override;

    // The check shown, or the reason there is none (both empty before the first result).
    const std::optional<optics::CheckResult>& Result() const { return m_result; }
    const std::string& Message() const { return m_message; }
    // The figures as shown beside the charts.
    QString FiguresText() const;
    plot::Scale IntensityScale() const { return m_scale; }
    void SetIntensityScale(plot::Scale scale);
    // True when the newest state of the profile has been checked and shown.
    bool UpToDate() const;
    // Takes the response of a calibration record (empty path: linear) and keeps the choice
    // in the settings file for the report; a record that cannot be used is refused with a
    // message and the previous response stays.
    bool SetResponseRecord(const std::string& path);

signals:
    // A check's result or refusal has been shown.
    void checkShown();

private:
    void ScheduleCheck();
    void SubmitCheck();
    void OnChecked(std::uint64_t ticket, optics::CheckOutcome outcome);
    void OnResponseChosen(int index);
    void ShowResponse();
    void ShowFigures();
    void SettingsNotWritten();

    CTessaronDoc& m_doc;
    QComboBox* m_responseBox = nullptr;
    QLabel* m_responseLabel = nullptr;
    QComboBox* m_scaleBox = nullptr;
    QCheckBox* m_reportBox = nullptr;
    QWidget* m_canvas = nullptr;
    QPlainTextEdit* m_figures = nullptr;
    QTimer m_pending;
    std::optional<optics::RecordedResponse> m_response;
    std::string m_inputError; // the reason there is no input to check, for the newest state
    std::uint64_t m_submitted = 0;
    std::uint64_t m_shown = 0;
    std::optional<optics::CheckResult> m_result;
    std::string m_message;
    plot::Scale m_scale = plot::Scale::Linear;
    // Last: stopped first, so no result arrives while the rest is taken apart.
    std::unique_ptr<optics::CheckWorker> m_worker;
};

// Shows the optical check window of `doc` owned by `owner` (the profile's view, which goes
// before its document): the one it has, or a new one.
OpticalCheckPane* ShowOpticalCheck(CTessaronDoc& doc, QWidget& owner);
