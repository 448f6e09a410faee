// Cost of a restart through the sound objects on SDL's dummy driver: every front-panel
// change releases and re-creates root, device and buffer, writes the buffer and plays it,
// so this must stay far below a device period (target: median <= 0.2 ms at an unchanged
// rate). A rate change re-opens the SDL device and costs device periods; measured apart.
// Run with --benchmark_repetitions=5 for medians.

#include "Generator.h"
#include "SdlSoundBackend.h"
#include "SoundObjects.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

using namespace vellox::audio;

namespace {

std::vector<int16_t> startSamples()
{
    // 98000 frames of a non-trivial pattern; the write uses the first 196000 bytes.
    std::vector<int16_t> s(2 * 98000);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t((i * 37) % 40000 - 20000);
    return s;
}

// The generator's restart at the sound layer: InitSound over the objects that play (the
// device checked, a new buffer), a write of the whole buffer and a looping Play (the
// hand-over: a copy for the audio thread), at 98000 Hz throughout.
void RestartUnchangedRate(benchmark::State& state)
{
    SdlSoundBackend backend;
    SoundObjects objects(backend);
    const std::vector<int16_t> samples = startSamples();
    const int32_t bytes = bufferByteCount(1.0f, 98000);
    objects.InitSound(98000, 1.0f); // opens the SDL device once, outside the timing
    for (auto _ : state) {
        objects.InitSound(98000, 1.0f);
        objects.WriteBuffer(0, bytes, samples.data(), 0);
        objects.Play(1);
    }
    if (backend.deviceOpenCount() != 1)
        state.SkipWithError("the SDL device was re-opened during restarts");
    state.counters["bytes"] = bytes;
}
BENCHMARK(RestartUnchangedRate)->UseRealTime()->Unit(benchmark::kMicrosecond);

// A sample-rate option: RecreateSoundBuffer at the other rate (which re-opens the SDL
// device), then a write and a looping Play; alternates 44100 and 98000 Hz.
void RateChangeReopen(benchmark::State& state)
{
    SdlSoundBackend backend;
    SoundObjects objects(backend);
    const std::vector<int16_t> samples = startSamples();
    objects.InitSound(98000, 1.0f);
    bool low = true;
    for (auto _ : state) {
        const int32_t rate = low ? 44100 : 98000;
        objects.RecreateSoundBuffer(rate, 1.0f);
        objects.WriteBuffer(0, bufferByteCount(1.0f, rate), samples.data(), 0);
        objects.Play(1);
        low = !low;
    }
    state.counters["reopens"] = double(backend.deviceOpenCount() - 1);
}
BENCHMARK(RateChangeReopen)->UseRealTime()->Unit(benchmark::kMillisecond);

// Latency of a change, as the listener has it: from the restart (range 0) or the Stop
// (range 1) on the UI thread to the end of its transition in the device's stream, that is
// the wait until the audio thread's next callback takes it up plus the fade. The bound is
// one device period plus the fade. Changes come at random moments of the period; the
// iteration time is that latency (manual time), and max_ms the worst one seen.
void TransitionLatency(benchmark::State& state)
{
    const bool stop = state.range(0) == 1;
    SdlSoundBackend backend;
    backend.setLatencyMilliseconds(int(state.range(1)));
    // The window's own restart: the generator's, new sound objects over those that play
    // and the new buffer's hand-over, the buffer synthesized (the cache takes it again).
    vellox::Generator generator(backend);
    generator.openSound();
    auto restart = [&] { generator.start(); };
    auto takenUp = [&](uint64_t before) {
        while (backend.transitions() == before)
            std::this_thread::yield();
    };
    restart();
    takenUp(0);
    const double fadeMs = backend.fadeMilliseconds();
    std::mt19937 random(7);
    double worst = 0;
    for (auto _ : state) {
        if (stop) {
            state.PauseTiming();
            const uint64_t before = backend.transitions();
            restart();
            takenUp(before);
            state.ResumeTiming();
        }
        // Changes at random moments of the device's period.
        std::this_thread::sleep_for(
            std::chrono::microseconds(random() % uint32_t(500 * state.range(1))));
        const uint64_t before = backend.transitions();
        const auto t0 = std::chrono::steady_clock::now();
        if (stop)
            generator.stop();
        else
            restart();
        takenUp(before);
        const double ms
            = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                  .count()
            + fadeMs;
        worst = std::max(worst, ms);
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["max_ms"] = worst;
    // SDL's period as granted, in frames of the buffers' rate.
    state.counters["bound_ms"] = double(backend.obtained().samples) * 1000.0 / 98000.0 + fadeMs;
}
BENCHMARK(TransitionLatency)
    ->ArgNames({ "stop", "latency" })
    ->ArgsProduct({ { 0, 1 }, { vellox::audio::DefaultLatencyMs, 20 } })
    ->UseManualTime()
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The dummy driver runs SDL's audio thread and callback in real time without hardware.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
