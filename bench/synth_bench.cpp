// Speed of one whole-buffer synthesis, the work done on every settings change while the
// user waits: every waveform in every channel mode 1..6 at the three rates.
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
    vellox::SynthSettings s;
    s.SampleRate = int32_t(state.range(0));
    s.Frequency1 = 1000;
    s.Frequency2 = 100;
    s.Pi = float(4.0 * std::atan(1.0));
    s.Level1 = float(1.0 / std::sqrt(2.0));
    s.Level2 = float(1.0 / std::sqrt(2.0));
    s.NoiseLevel = 0.5f;
    s.Waveform = int16_t(state.range(1));
    s.ChannelMode = int16_t(state.range(2));
    s.DutyPercent = 50;
    vellox::Module1 m;
    m.BitCode = "10011101010001101010111000101011";
    m.RepetitiveTime = 1.0f;
    m.BitLength = float(1.0 / 1000.0);

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
    for (const int64_t rate : { 44100, 98000, 192000 })
        for (int64_t wave = 0; wave <= 10; ++wave)
            for (int64_t mode = 1; mode <= 6; ++mode)
                b->Args({ rate, wave, mode });
}

BENCHMARK(BM_SynthesizeSignal)->Apply(allCases)->Unit(benchmark::kMillisecond)->MinTime(0.2);

} // namespace

BENCHMARK_MAIN();
