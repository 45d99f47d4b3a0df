// How long the optical check of a 512-element profile takes: codes to levels and phases, the
// error against the design, both transforms, the figures and both curves.
#include "GeneratedCodes.h"

#include <benchmark/benchmark.h>

namespace {

void RunChecks(benchmark::State& state, const optics::CheckInput& in) {
    for (auto _ : state) {
        const optics::CheckOutcome outcome = optics::RunCheck(in);
        if (!outcome.result) {
            state.SkipWithError(outcome.error.c_str());
            break;
        }
        benchmark::DoNotOptimize(outcome.result->pattern.intensity.data());
    }
}

// The demonstration lens: 2.5 diopters at 633 nm over 10 mm, folded into 0 to 8 parts of PI.
void BM_OpticalCheckLens512(benchmark::State& state) {
    RunChecks(state, testcodes::Lens(512, 0.01, 2.5, 633e-9, testcodes::Window{0.0, 8.0}));
}
BENCHMARK(BM_OpticalCheckLens512)->Unit(benchmark::kMillisecond);

// A blazed grating of 8 elements per period.
void BM_OpticalCheckGrating512(benchmark::State& state) {
    RunChecks(state, testcodes::Grating(512, 0.01, 8.0, 633e-9));
}
BENCHMARK(BM_OpticalCheckGrating512)->Unit(benchmark::kMillisecond);

} // namespace
