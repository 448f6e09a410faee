// Speed of one whole-buffer synthesis, the work done on every settings change while the
// user waits: every waveform in every channel mode at every rate.
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true and read the
// medians: the machine is shared, single runs are noisy. Select a rate or a case with
// --benchmark_filter, e.g. 'rate:192000/waveform:1/mode:5'.
// VELLOX_SYNTH_SCALAR=1 in the environment times the exact scalar path alone.

#include "Synthesizer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

void BM_SynthesizeSignal(benchmark::State& state)
{
    // The start values, with noise, in the case's rate, waveform and mode.
    vellox::SynthSettings s = vellox::startSynthSettings();
    s.SampleRate = int32_t(state.range(0));
    s.NoiseLevel = 0.5f;
    s.Waveform = int16_t(state.range(1));
    s.ChannelMode = int16_t(state.range(2));
    const vellox::Module1 m = vellox::startModule1();

    vellox::UniformSource random(1);
    std::vector<int16_t> samples;
    for (auto _ : state) {
        vellox::SynthesizeSignal(s, m, random, samples);
        benchmark::DoNotOptimize(samples.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(
        state.iterations() * int64_t(vellox::filledFrames(s.SampleRate))); // frames
}

void allCases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({ "rate", "waveform", "mode" });
    for (const int32_t rate : vellox::SampleRates)
        for (int64_t wave = 0; wave < vellox::WaveformCount; ++wave)
            for (int64_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode)
                b->Args({ rate, wave, mode });
}

BENCHMARK(BM_SynthesizeSignal)->Apply(allCases)->Unit(benchmark::kMillisecond)->MinTime(0.2);

} // namespace

BENCHMARK_MAIN();
