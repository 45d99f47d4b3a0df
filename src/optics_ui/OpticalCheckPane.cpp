#include "optics_ui/OpticalCheckPane.h"

#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "optics/CheckText.h"
#include "optics_ui/ProfileCheck.h"
#include "plot/CheckFigure.h"
#include "profile/TessaronDoc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

enum ResponseItem { kLinear = 0, kRecord = 1 };

// Paints the pane's charts, or the reason there are none.
class CheckCanvas : public QWidget {
public:
    CheckCanvas(const OpticalCheckPane& pane, QWidget* parent) : QWidget(parent), m_pane(pane) {
        setObjectName("checkCanvas");
        setMinimumSize(360, 300);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRectF area = rect();
        if (m_pane.Result()) {
            plot::CheckFigureOptions options;
            options.intensity = m_pane.IntensityScale();
            options.figures = false; // beside the canvas, as text that can be copied
            plot::DrawCheckFigure(painter, area, *m_pane.Result(), options);
        } else {
            plot::DrawCheckMessage(painter, area,
                                   m_pane.Message().empty() ? "Checking..." : m_pane.Message());
        }
    }

private:
    const OpticalCheckPane& m_pane;
};

} // namespace

OpticalCheckPane::OpticalCheckPane(CTessaronDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc) {
    setObjectName("opticalCheck");
    // A window of its own beside the workspace; closing it ends its checks.
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);
    setWindowTitle("Optical check - " + QString::fromStdString(doc.GetTitle()));

    m_responseBox = new QComboBox(this);
    m_responseBox->setObjectName("response");
    m_responseBox->addItems({"Linear", "From record..."});
    m_responseLabel = new QLabel(this);
    m_responseLabel->setObjectName("responseSource");
    m_scaleBox = new QComboBox(this);
    m_scaleBox->setObjectName("intensityScale");
    m_scaleBox->addItems({"Linear", "Logarithmic"});
    m_reportBox = new QCheckBox("&Print with the report", this);
    m_reportBox->setObjectName("printWithReport");
    m_reportBox->setToolTip("Adds a page with this check after the first page of the profile's "
                            "printed report");
    m_reportBox->setChecked(checkui::ReportHasCheckPage(doc.Settings()));

    auto* controls = new QHBoxLayout;
    auto* responseName = new QLabel("&Response:", this);
    responseName->setBuddy(m_responseBox);
    auto* scaleName = new QLabel("&Intensity:", this);
    scaleName->setBuddy(m_scaleBox);
    controls->addWidget(responseName);
    controls->addWidget(m_responseBox);
    controls->addWidget(m_responseLabel, 1);
    controls->addWidget(scaleName);
    controls->addWidget(m_scaleBox);
    controls->addWidget(m_reportBox);

    m_canvas = new CheckCanvas(*this, this);
    // Plain text that can be selected and copied. Its size does not follow its text, so new
    // figures do not lay the window out again.
    m_figures = new QPlainTextEdit(this);
    m_figures->setObjectName("figures");
    m_figures->setReadOnly(true);
    m_figures->setFrameShape(QFrame::NoFrame);
    m_figures->setFixedWidth(300);
    m_figures->setTabStopDistance(
        QFontMetricsF(m_figures->font()).horizontalAdvance("Spot width (FWHM)  "));
    auto* body = new QHBoxLayout;
    body->addWidget(m_canvas, 1);
    body->addWidget(m_figures);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addLayout(body, 1);
    resize(900, 560);

    connect(m_responseBox, &QComboBox::activated, this, &OpticalCheckPane::OnResponseChosen);
    connect(m_scaleBox, &QComboBox::currentIndexChanged, this, [this](int index) {
        SetIntensityScale(index == 1 ? plot::Scale::Logarithmic : plot::Scale::Linear);
    });
    connect(m_reportBox, &QCheckBox::toggled, this, [this](bool on) {
        // The report reads the setting: a choice that is not written is not taken.
        if (!m_doc.Settings().WriteInt(settings::kSection, checkui::kReportPage, on ? 1 : 0)) {
            const QSignalBlocker blocker(m_reportBox);
            m_reportBox->setChecked(!on);
            SettingsNotWritten();
        }
    });

    // A single-shot timer of 0 ms runs at the event loop's next turn; restarting it while it
    // waits folds a burst of changes into one check.
    m_pending.setSingleShot(true);
    m_pending.setInterval(0);
    connect(&m_pending, &QTimer::timeout, this, &OpticalCheckPane::SubmitCheck);

    m_worker = std::make_unique<optics::CheckWorker>(
        [this](std::uint64_t ticket, optics::CheckOutcome outcome) {
            // On the worker's thread: hand the outcome to the pane's thread. A pane that is
            // gone by then drops it with its other events.
            QMetaObject::invokeMethod(
                this,
                [this, ticket, outcome = std::move(outcome)]() mutable {
                    OnChecked(ticket, std::move(outcome));
                },
                Qt::QueuedConnection);
        });

    const checkui::ResponseChoice choice = checkui::ResponseOfSettings(doc.Settings());
    m_response = choice.response;
    ShowResponse();
    m_doc.AddView(this);
    if (!choice.error.empty()) {
        m_doc.GetPrompter().MessageBox(choice.error, MB_OK | MB_ICONEXCLAMATION);
    }
    ScheduleCheck();
}

OpticalCheckPane::~OpticalCheckPane() {
    m_worker.reset();
    m_doc.RemoveView(this);
}

void OpticalCheckPane::OnUpdate(DocumentView*, int) {
    const QString title = "Optical check - " + QString::fromStdString(m_doc.GetTitle());
    if (title != windowTitle()) {
        setWindowTitle(title); // after Save As
    }
    ScheduleCheck();
}

void OpticalCheckPane::ScheduleCheck() {
    m_pending.start();
}

void OpticalCheckPane::SubmitCheck() {
    optics::InputOutcome input =
        checkui::ProfileCheckInput(m_doc, m_response ? &*m_response : nullptr);
    if (!input.input) {
        // Nothing to check: the reason replaces whatever is shown or still on its way.
        m_shown = m_submitted;
        m_result.reset();
        m_message = input.error;
        ShowFigures();
        return;
    }
    m_submitted = m_worker->Submit(std::move(*input.input));
}

void OpticalCheckPane::OnChecked(std::uint64_t ticket, optics::CheckOutcome outcome) {
    if (ticket <= m_shown) {
        return; // older than what is shown
    }
    m_shown = ticket;
    m_result = std::move(outcome.result);
    m_message = outcome.error;
    ShowFigures();
}

bool OpticalCheckPane::UpToDate() const {
    return !m_pending.isActive() && m_shown == m_submitted && (m_result || !m_message.empty());
}

QString OpticalCheckPane::FiguresText() const {
    return m_figures->toPlainText();
}

void OpticalCheckPane::SetIntensityScale(plot::Scale scale) {
    m_scale = scale;
    const int index = scale == plot::Scale::Logarithmic ? 1 : 0;
    if (m_scaleBox->currentIndex() != index) {
        m_scaleBox->setCurrentIndex(index);
    }
    m_canvas->update();
}

bool OpticalCheckPane::SetResponseRecord(const std::string& path) {
    if (path.empty()) {
        m_response.reset();
    } else {
        auto read = optics::ReadRecordedResponse(path);
        if (!read) {
            m_doc.GetPrompter().MessageBox(read.Message(), MB_OK | MB_ICONEXCLAMATION);
            ShowResponse();
            return false;
        }
        m_response = std::move(*read);
    }
    if (!m_doc.Settings().WriteString(settings::kSection, checkui::kResponseRecord, path)) {
        SettingsNotWritten(); // this window uses the response all the same
    }
    ShowResponse();
    ScheduleCheck();
    return true;
}

void OpticalCheckPane::SettingsNotWritten() {
    m_doc.GetPrompter().MessageBox("The settings file \"" + m_doc.Settings().Path() +
                                       "\" cannot be written: the printed report keeps its "
                                       "earlier optical check settings.",
                                   MB_OK | MB_ICONEXCLAMATION);
}

void OpticalCheckPane::OnResponseChosen(int index) {
    if (index == kLinear) {
        SetResponseRecord("");
        return;
    }
    FileDialogRequest request;
    request.filter = "Calibration records (*.tcal)|*.tcal|All files (*.*)|*.*||";
    request.defaultExtension = "tcal";
    const std::optional<FileChoice> choice = m_doc.GetPrompter().AskOpenFile(request);
    if (!choice || !SetResponseRecord(choice->path)) {
        ShowResponse(); // cancelled or refused: the previous response stays
    }
}

void OpticalCheckPane::ShowResponse() {
    m_responseBox->setCurrentIndex(m_response ? kRecord : kLinear);
    m_responseLabel->setText(m_response ? QString::fromStdString(m_response->source)
                                        : QString("level r gives r x maximum phase / (S - 1)"));
}

void OpticalCheckPane::ShowFigures() {
    QString text;
    if (m_result) {
        for (const optics::FigureLine& line : optics::FigureLines(*m_result)) {
            text += QString::fromStdString(line.name + "\t" + line.value + "\n");
        }
        for (const std::string& warning : m_result->warnings) {
            text += "\n" + QString::fromStdString(warning) + "\n";
        }
    } else {
        text = QString::fromStdString(m_message);
    }
    m_figures->setPlainText(text);
    // Painted now rather than at the window's next update request, which a platform may hold
    // back for a frame: the check is as late as the figures it shows.
    m_figures->repaint();
    m_canvas->repaint();
    emit checkShown();
}

OpticalCheckPane* ShowOpticalCheck(CTessaronDoc& doc, QWidget& owner) {
    auto* pane = owner.findChild<OpticalCheckPane*>(QString(), Qt::FindDirectChildrenOnly);
    if (pane == nullptr) {
        pane = new OpticalCheckPane(doc, &owner);
    }
    pane->show();
    pane->raise();
    pane->activateWindow();
    return pane;
}
