// How quickly the profile form follows a spin arrow, on the offscreen platform: a click on the
// up or down arrow of the diopters steps the value, generates the profile again and the graph
// repaints it. Measured from the mouse press until the graph's paint has been done, for a
// 512-element profile without and with a correction table (the table adds the corrected curve),
// and with the optical check window open: then until the check of the new profile (on its
// worker thread) has been shown and its charts repainted as well.
//
//   build/bin/tessaron_profile_bench
// Prints a table and one PASS or FAIL line per case (the 99th percentile against 16 ms); exits
// with 1 when a case misses the target or could not be measured.
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "graphs/GraphicWnd.h"
#include "optics_ui/OpticalCheckPane.h"
#include "profile/TessaronDoc.h"
#include "profile_ui/ChildFrame.h"
#include "profile_ui/TessaronView.h"
#include "profile_ui/WizardPage.h"
#include "ui/SpinArrows.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kElements = 512;
constexpr int kClicks = 200;
constexpr double kLimitMs = 16.0;

// Nothing is asked during the measurement; a message would be a fault worth seeing.
class BenchPrompter : public Prompter {
public:
    int MessageBox(const std::string& text, unsigned) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++shown;
        return IDOK;
    }
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest&) override { return {}; }
    int shown = 0;
};

// Counts the paints of one widget.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
    int paints = 0;
};

void Click(QWidget* button) {
    const QPointF centre = QRectF(button->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, centre, button->mapToGlobal(centre), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, button->mapToGlobal(centre),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QCoreApplication::sendEvent(button, &release);
}

struct Result {
    std::vector<double> ms;
    bool complete = false;
};

Result Measure(bool withTable, bool withCheck, const QString& folder) {
    BenchPrompter prompter;
    SettingsStore settings((folder + "/bench.ini").toStdString());
    AppContext context{settings, prompter};
    CTessaronDoc doc(context);
    doc.OnNewDocument();
    // 512 elements of 0.0 (10 DAC digits for the table), then a lens of 2.5 diopters.
    doc.ApplyParameters({withTable ? 10 : doc.DacDigits(), kElements, doc.Aperture(),
                         doc.MaxPhase(), doc.LowLimit(), doc.HighLimit()});
    doc.SetLensParameters(2.5, doc.WaveLength());
    if (withTable) {
        const std::string path = (folder + "/table.txt").toStdString();
        std::ofstream table(path);
        for (int j = 0; j < 512; ++j) {
            table << (j * 7) % 512 << "\n";
        }
        table.close();
        doc.UseCorrectionTable(path);
    }
    doc.GenerateData(true); // gives the diopters their step

    QMdiArea area;
    auto* frame = new CChildFrame(doc);
    area.addSubWindow(frame);
    auto* view = new CTessaronView(doc, frame);
    frame->setWidget(view);
    view->OnInitialUpdate();
    frame->ActivateFrame();
    area.resize(1000, 700);
    area.show();
    QCoreApplication::processEvents();

    auto* spin = view->Page() ? view->Page()->findChild<SpinArrows*>("spin") : nullptr;
    Result result;
    if (spin == nullptr || prompter.shown != 0) {
        return result;
    }
    PaintCounter counter;
    view->Graph()->installEventFilter(&counter);
    // The check window: done when it shows the newest profile's check (it paints its charts
    // as it takes a result) and its charts have been painted since the click.
    OpticalCheckPane* pane = withCheck ? ShowOpticalCheck(doc, *view) : nullptr;
    PaintCounter checkPaints;
    int paintsAtClick = 0;
    if (pane != nullptr) {
        pane->findChild<QWidget*>("checkCanvas")->installEventFilter(&checkPaints);
    }
    auto checkDone = [&] {
        return pane == nullptr || (pane->UpToDate() && checkPaints.paints > paintsAtClick);
    };
    QDeadlineTimer ready(5000);
    while (!checkDone() && !ready.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    for (int i = 0; i < kClicks; ++i) {
        // Up and down in turn, so the lens stays the same one.
        QToolButton* arrow = i % 2 == 0 ? spin->UpButton() : spin->DownButton();
        const int before = counter.paints;
        paintsAtClick = checkPaints.paints;
        const std::vector<double> phases = doc.Phase();
        QElapsedTimer timer;
        timer.start();
        Click(arrow);
        QDeadlineTimer deadline(5000);
        while ((counter.paints == before || !checkDone()) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        const qint64 ns = timer.nsecsElapsed();
        if (counter.paints == before || !checkDone() || doc.Phase() == phases) {
            return result; // nothing repainted or nothing generated
        }
        result.ms.push_back(static_cast<double>(ns) / 1e6);
    }
    result.complete = prompter.shown == 0;
    return result;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }

    std::printf("spin click to repainted graph, %d elements, %d clicks (ms)\n", kElements, kClicks);
    std::printf("%-16s %8s %8s %8s %8s\n", "case", "min", "median", "p99", "max");
    bool allPass = true;
    std::vector<std::string> verdicts;
    const struct {
        const char* name;
        bool table;
        bool check;
    } cases[] = {{"without table", false, false},
                 {"with table", true, false},
                 {"with check", false, true},
                 {"check + table", true, true}};
    for (const auto& [name, table, check] : cases) {
        const Result result = Measure(table, check, folder.path());
        if (!result.complete || result.ms.empty()) {
            verdicts.push_back(std::string("FAIL ") + name + ": could not be measured");
            allPass = false;
            continue;
        }
        const double p99 = Percentile(result.ms, 0.99);
        std::printf("%-16s %8.3f %8.3f %8.3f %8.3f\n", name, Percentile(result.ms, 0.0),
                    Percentile(result.ms, 0.5), p99, Percentile(result.ms, 1.0));
        const bool pass = p99 < kLimitMs;
        allPass = allPass && pass;
        char line[128];
        std::snprintf(line, sizeof line, "%s %s: p99 %.3f ms (target < %.0f ms)",
                      pass ? "PASS" : "FAIL", name, p99, kLimitMs);
        verdicts.push_back(line);
    }
    for (const std::string& verdict : verdicts) {
        std::printf("%s\n", verdict.c_str());
    }
    return allPass ? 0 : 1;
}
