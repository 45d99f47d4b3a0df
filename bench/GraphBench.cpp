// How long one full drawing of the profile graph takes: 512 elements, the corrected curve and
// the limit lines, onto a 600 by 500 image.
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "graphs/GraphicWnd.h"
#include "profile/TessaronDoc.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

class QuietPrompter : public Prompter {
public:
    int MessageBox(const std::string&, unsigned) override { return IDOK; }
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest&) override { return {}; }
};

// Widgets need an application; one, without a display, serves every run.
QApplication& Application() {
    static int argc = 1;
    static char name[] = "tessaron_bench";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(argc, argv);
    return app;
}

void BM_DrawProfileGraph512WithCorrection(benchmark::State& state) {
    Application();
    const auto folder = std::filesystem::temp_directory_path();
    SettingsStore settings((folder / "tessaron-graph-bench.ini").string());
    QuietPrompter prompter;
    AppContext context{settings, prompter};
    CTessaronDoc doc(context);
    doc.OnNewDocument();
    // A folded lens profile over 512 elements and a monotone 16-bit correction table.
    doc.ApplyParameters({16, 512, doc.Aperture(), 8.0, 0.5, 7.5});
    std::vector<double> phase;
    for (int i = 0; i < 512; ++i) {
        const double x = (i - 255.5) / 256.0;
        phase.push_back(0.5 + std::fmod(60.0 * x * x, 7.0));
    }
    doc.SetValues(std::move(phase));
    const std::string tablePath = (folder / "tessaron-graph-bench-table.txt").string();
    {
        std::ofstream table(tablePath);
        for (int k = 0; k < 32768; ++k) {
            table << static_cast<int>(32767.0 * std::sqrt(k / 32767.0)) << '\n';
        }
    }
    const bool loaded = doc.UseCorrectionTable(tablePath);
    std::filesystem::remove(tablePath);
    if (!loaded) {
        state.SkipWithError("table refused");
        return;
    }
    CGraphicWnd graph;
    graph.SetDocument(&doc);
    graph.SetCurrentElementSource([] { return 200; });
    QImage image(600, 500, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        graph.Draw(painter, image.rect(), false);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DrawProfileGraph512WithCorrection)->Unit(benchmark::kMicrosecond);

} // namespace
