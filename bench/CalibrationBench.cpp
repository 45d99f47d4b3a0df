// How long the calibration takes: fitting the response curve to 1024 readings and inverting
// it into a full 16-bit correction table (32768 entries).
#include "calibration/LiquidCrystalModel.h"
#include "calibration/ResponseCurve.h"

#include <benchmark/benchmark.h>

namespace {

void BM_FitAndInvert1024Readings(benchmark::State& state) {
    const calibration::LiquidCrystalModel model;
    const calibration::Measurement readings =
        model.Sweep(calibration::LiquidCrystalModel::EvenLevels(1024, 16), 633e-9, 0.02, 1);
    for (auto _ : state) {
        const auto curve = calibration::ResponseCurve::Fit(readings);
        if (!curve) {
            state.SkipWithError(curve.Message().c_str());
            break;
        }
        const auto table = curve->BuildTable(16, 2.0);
        if (!table) {
            state.SkipWithError(table.Message().c_str());
            break;
        }
        benchmark::DoNotOptimize(table->data());
    }
}
BENCHMARK(BM_FitAndInvert1024Readings)->Unit(benchmark::kMillisecond);

} // namespace
