// Speed of one whole-buffer synthesis, the work done on every settings change while the
// user waits: every waveform in every channel mode at every rate.
// Run with --benchmark_repetitions=5 --benchmark_report_aggregates_only=true and read the
// medians: the machine is shared, single runs are noisy. Select a rate or a case with
// --benchmark_filter, e.g. 'rate:192000/waveform:1/mode:5'.
// VELLOX_SYNTH_SCALAR=1 in the environment times the exact scalar path alone.
// BM_Precise times the precise synthesis into 16-bit frames (SynthesizeFrames), the same
// cases; BM_PreciseFormats the precise sine in every sample format, with and without dither.
// BM_Stream times the stream (ToneStream) as the audio thread asks for it, a device period of
// 1024 frames at a time, two tones at fractional frequencies: its time per second of signal
// (the "ms" column over 1 s) is its share of a core.

#include "Synthesizer.h"
#include "ToneStream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
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

void BM_Precise(benchmark::State& state)
{
    vellox::SynthSettings s = vellox::startSynthSettings();
    s.SampleRate = int32_t(state.range(0));
    s.NoiseLevel = 0.5f;
    s.Waveform = int16_t(state.range(1));
    s.ChannelMode = int16_t(state.range(2));
    const vellox::Module1 m = vellox::startModule1();
    vellox::SignalOptions o;
    o.synthesis = vellox::Synthesis::Precise;

    vellox::UniformSource random(1);
    vellox::SignalBuffer frames;
    for (auto _ : state) {
        vellox::SynthesizeFrames(s, m, o, random, frames);
        benchmark::DoNotOptimize(frames.bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(vellox::filledFrames(s.SampleRate)));
}

void BM_PreciseFormats(benchmark::State& state)
{
    vellox::SynthSettings s = vellox::startSynthSettings();
    s.SampleRate = int32_t(state.range(0));
    const vellox::Module1 m = vellox::startModule1();
    vellox::SignalOptions o;
    o.synthesis = vellox::Synthesis::Precise;
    o.format = vellox::SampleFormat(state.range(1));
    o.dither = vellox::Dither(state.range(2));

    vellox::UniformSource random(1);
    vellox::SignalBuffer frames;
    for (auto _ : state) {
        vellox::SynthesizeFrames(s, m, o, random, frames);
        benchmark::DoNotOptimize(frames.bytes.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(vellox::filledFrames(s.SampleRate)));
}

void BM_Stream(benchmark::State& state)
{
    vellox::StreamSettings s;
    s.SampleRate = int32_t(state.range(0));
    s.Frequency1 = 1000123456;
    s.Frequency2 = 997654321;
    s.Waveform = int16_t(state.range(1));
    s.ChannelMode = int16_t(state.range(2));
    vellox::SignalOptions o;
    o.synthesis = vellox::Synthesis::Precise;
    o.format = vellox::SampleFormat(state.range(3));
    o.dither = vellox::Dither(state.range(4));
    vellox::ToneStream stream(s, o, 1);
    constexpr int32_t Period = 1024;
    std::vector<uint8_t> period(std::size_t(Period) * std::size_t(vellox::bytesPerFrame(o.format)));
    for (auto _ : state) {
        for (int32_t k = 0; k < s.SampleRate; k += Period) { // one second of signal
            stream.fill(period.data(), std::min(Period, s.SampleRate - k));
            benchmark::DoNotOptimize(period.data());
            benchmark::ClobberMemory();
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t(s.SampleRate));
}

void streamCases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({ "rate", "waveform", "mode", "format", "dither" });
    using namespace vellox;
    for (const int32_t rate : { 48000, 192000 }) {
        b->Args({ rate, WaveSine, ModeStereo, int64_t(SampleFormat::S24), int64_t(Dither::Tpdf) });
        b->Args(
            { rate, WaveSine, ModeF1PlusF2, int64_t(SampleFormat::S16), int64_t(Dither::None) });
        b->Args({ rate, WaveSine, ModeFm, int64_t(SampleFormat::F32), int64_t(Dither::None) });
        b->Args({ rate, WaveTriangle, ModeAm, int64_t(SampleFormat::S24), int64_t(Dither::Tpdf) });
    }
}

void formatCases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({ "rate", "format", "dither" });
    for (int64_t format = 0; format < int64_t(vellox::SampleFormatNames.size()); ++format)
        for (int64_t dither = 0; dither < int64_t(vellox::DitherNames.size()); ++dither)
            b->Args({ 192000, format, dither });
}

void allCases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({ "rate", "waveform", "mode" });
    for (const int32_t rate : vellox::PlayableRates)
        for (int64_t wave = 0; wave < vellox::WaveformCount; ++wave)
            for (int64_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode)
                b->Args({ rate, wave, mode });
}

BENCHMARK(BM_SynthesizeSignal)->Apply(allCases)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK(BM_Precise)->Apply(allCases)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK(BM_PreciseFormats)->Apply(formatCases)->Unit(benchmark::kMillisecond)->MinTime(0.2);
BENCHMARK(BM_Stream)->Apply(streamCases)->Unit(benchmark::kMillisecond)->MinTime(0.2);

} // namespace

BENCHMARK_MAIN();
