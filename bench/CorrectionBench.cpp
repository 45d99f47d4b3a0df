// How long loading a full 16-bit correction table (32768 entries) takes, file read included.
#include "framework/Prompter.h"
#include "framework/SettingsStore.h"
#include "profile/TessaronDoc.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

class SilentPrompter : public Prompter {
public:
    int MessageBox(const std::string&, unsigned) override { return IDOK; }
    std::optional<FileChoice> AskOpenFile(const FileDialogRequest&) override { return {}; }
    std::optional<FileChoice> AskSaveFile(const FileDialogRequest&) override { return {}; }
};

void BM_LoadCorrectionTable16Bit(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path();
    const std::string tablePath = (folder / "tessaron-bench-table.txt").string();
    {
        // A realistic table: a monotone curve with five-digit entries, one per line.
        std::ofstream out(tablePath);
        for (int k = 0; k < 32768; ++k) {
            out << (k * 7 / 8 + 1000) % 32768 << "\r\n";
        }
    }
    SettingsStore settings((folder / "tessaron-bench.ini").string());
    SilentPrompter prompter;
    AppContext context{settings, prompter};
    CTessaronDoc doc(context);
    doc.OnNewDocument();
    for (auto _ : state) {
        if (!doc.UseCorrectionTable(tablePath)) {
            state.SkipWithError("table refused");
            break;
        }
        benchmark::DoNotOptimize(doc.Correction().data());
    }
    std::filesystem::remove(tablePath);
}
BENCHMARK(BM_LoadCorrectionTable16Bit)->Unit(benchmark::kMillisecond);

} // namespace
