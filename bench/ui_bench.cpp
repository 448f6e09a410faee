// What a front-panel change costs on the UI thread, with the real window offscreen over
// SDL's dummy driver:
//   - Play_Click end to end (F1 scale cleared and redrawn, synthesis, time view, hand-over
//     to the device, looping play), once with settings that changed since the last
//     synthesis (the whole buffer computed) and once with the same settings;
//   - the synthesis alone with the window's settings, and as the window runs it (with the
//     time view), to tell its share;
//   - a frequency change through the F1 spinner and one step of the linear sweep (the
//     handler work of a tick, without the timer's wait);
//   - the time view alone and one scale redraw (clear + DrawMarcajeFrecventa);
//   - a drag across the F1 scale: 800 left-button moves, one per pixel, sent as events.
// Run with --benchmark_repetitions=9 --benchmark_report_aggregates_only=true for medians:
// the machine is shared and single runs are noisy.

#include "FormGen.h"
#include "FrequencyScale.h"
#include "GeneratorState.h"
#include "PictureBox.h"
#include "SdlSoundBackend.h"
#include "Synthesizer.h"
#include "TimeView.h"
#include "UpDown.h"

#include <QApplication>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>

using namespace vellox;

// Every allocation of the program counted, to show that a restart allocates per buffer and
// per drawing, never per sample (a 192000 Hz buffer has 384001 of them).
namespace {
std::atomic<long long> allocations { 0 };
}

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// One window over one SDL backend for the whole run, as in the program.
struct Program {
    audio::SdlSoundBackend backend;
    std::unique_ptr<FormGen> window;

    Program()
    {
        window = std::make_unique<FormGen>(backend);
        window->setEndProgram([] {});
        window->show();
        QCoreApplication::processEvents();
    }
    ~Program() { window.reset(); }
};

// Made on first use and destroyed in main, while the application still exists.
std::unique_ptr<Program> theProgram;

Program& program()
{
    if (!theProgram)
        theProgram = std::make_unique<Program>();
    return *theProgram;
}

// Selects the sample rate and plays once, so that the SDL device runs at that rate before
// any timing (a rate change re-opens the device: tens of milliseconds, measured apart).
FormGen& windowAt(int32_t rate)
{
    FormGen& window = *program().window;
    window.RateOption[sampleRateIndex(rate)]->setChecked(true);
    window.Option4->setChecked(true); // sweep "manual"
    window.Play_Click();
    window.Timer1->stop(); // ticks are not part of these measurements
    QCoreApplication::processEvents();
    return window;
}

// The benchmark once per sample rate, and once per rate above the lowest.
void everyRate(benchmark::internal::Benchmark* b)
{
    for (const int32_t rate : SampleRates)
        b->Arg(rate);
}
void ratesAboveTheLowest(benchmark::internal::Benchmark* b)
{
    for (std::size_t i = 1; i < SampleRateCount; ++i)
        b->Arg(SampleRates[i]);
}

// Handler work leaves paint requests behind; the event loop would serve them between
// events, so they are served here too, outside the timing.
void serveEvents(benchmark::State& state)
{
    state.PauseTiming();
    QCoreApplication::processEvents();
    state.ResumeTiming();
}

void PlayClickChanged(benchmark::State& state)
{
    FormGen& window = windowAt(int32_t(state.range(0)));
    // The bit code is read by the synthesis, so a new one means a new buffer; with the sine
    // it changes no sample, so every iteration computes the same work.
    bool flip = false;
    long long counted = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Module1 bitCode = window.module1();
        bitCode.BitCode = flip ? "0101010101" : "1010101010";
        window.generator().setBitCode(bitCode, ChangeFrom::Settings);
        flip = !flip;
        QCoreApplication::processEvents();
        state.ResumeTiming();
        const long long before = allocations.load();
        window.Play_Click();
        counted += allocations.load() - before;
    }
    window.Timer1->stop();
    state.counters["allocs"] = double(counted) / double(state.iterations());
}
BENCHMARK(PlayClickChanged)->Apply(everyRate)->Unit(benchmark::kMillisecond)->UseRealTime();

void PlayClickSame(benchmark::State& state)
{
    FormGen& window = windowAt(int32_t(state.range(0)));
    for (auto _ : state) {
        window.Play_Click();
        serveEvents(state);
    }
    window.Timer1->stop();
}
BENCHMARK(PlayClickSame)->Apply(everyRate)->Unit(benchmark::kMillisecond)->UseRealTime();

// FormGen::SynthesizeSignal as Play_Click runs it, a new buffer every time: the synthesis
// plus the time view, in the window's process (the synthesis comes out slower here than
// in the hot loop below).
void SynthesizeInWindow(benchmark::State& state)
{
    FormGen& window = windowAt(int32_t(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        Module1 bitCode = window.module1();
        bitCode.BitCode = flip ? "0101010101" : "1010101010";
        window.generator().setBitCode(bitCode, ChangeFrom::Settings);
        flip = !flip;
        window.SynthesizeSignal();
    }
}
BENCHMARK(SynthesizeInWindow)->Apply(everyRate)->Unit(benchmark::kMillisecond)->UseRealTime();

// The synthesis alone with the window's settings (1000 Hz sine, mode 1): its share of a
// Play_Click that computes the buffer.
void Synthesis(benchmark::State& state)
{
    GeneratorState s;
    Module1 m;
    setStartValues(s, m);
    s.SampleRate = int32_t(state.range(0));
    UniformSource random(1);
    std::vector<int16_t> samples;
    for (auto _ : state) {
        SynthesizeSignal(synthSettings(s, StartDutyPercent), m, random, samples);
        benchmark::DoNotOptimize(samples.data());
    }
}
BENCHMARK(Synthesis)->Apply(everyRate)->Unit(benchmark::kMillisecond)->UseRealTime();

// A new F1 through the spinner: the scale twice, the synthesis and the restart.
void FrequencyChange(benchmark::State& state)
{
    FormGen& window = windowAt(int32_t(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        window.UpDown1->setValue(flip ? 1000 : 1010);
        flip = !flip;
        serveEvents(state);
    }
    window.Timer1->stop();
}
BENCHMARK(FrequencyChange)->Apply(everyRate)->Unit(benchmark::kMillisecond)->UseRealTime();

// One tick of the linear sweep as the handler runs it (F1 + 10, synthesis, the spinner's
// change handler, the restart); the wait of the timer is measured by ui-probe.
void SweepStep(benchmark::State& state)
{
    FormGen& window = windowAt(int32_t(state.range(0)));
    window.Option5->setChecked(true); // "linear"
    long long counted = 0;
    for (auto _ : state) {
        const long long before = allocations.load();
        window.Timer1_Timer();
        counted += allocations.load() - before;
        serveEvents(state);
    }
    state.counters["allocs"] = double(counted) / double(state.iterations());
    window.Option4->setChecked(true);
    window.Timer1->stop();
}
BENCHMARK(SweepStep)->Apply(everyRate)->Unit(benchmark::kMillisecond)->UseRealTime();

// The time view alone over a buffer at the highest rate, at the start span and at the
// smallest.
void TimeViewDraw(benchmark::State& state)
{
    GeneratorState s;
    Module1 m;
    setStartValues(s, m);
    s.SampleRate = SampleRates.back();
    UniformSource random(1);
    std::vector<int16_t> samples;
    SynthesizeSignal(synthSettings(s, StartDutyPercent), m, random, samples);
    PictureBox area(TimeViewCanvasSize, Qt::black);
    area.setFont(scaleFont());
    const int32_t span = int32_t(state.range(0));
    for (auto _ : state) {
        DrawTimeView(area, samples, span, s.Waveform, s.ChannelMode, s.Frequency1, s.Frequency2,
            m.BitLength);
        benchmark::DoNotOptimize(area.canvas().constBits());
    }
}
BENCHMARK(TimeViewDraw)->Arg(12700)->Arg(100)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Clear + DrawMarcajeFrecventa, as every redraw of the F1 scale does it; in copy mode (the
// start) and XOR mode (after a press or an entry).
void ScaleRedraw(benchmark::State& state)
{
    PictureBox area(QSize(ScaleWidth, ScaleHeight), Qt::black);
    area.setFont(scaleFont());
    area.setDrawMode(state.range(0) ? PictureBox::PenMode::Xor : PictureBox::PenMode::Copy);
    const ScaleStyle style = ScaleStyle::f1();
    float marker = 0;
    int16_t frequency = 1000;
    for (auto _ : state) {
        area.Cls();
        benchmark::DoNotOptimize(DrawMarcajeFrecventa(area, style, frequency, &marker));
        frequency = frequency == 1000 ? 1025 : 1000;
    }
}
BENCHMARK(ScaleRedraw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A drag across the F1 scale: 800 move events with the left button held, x = 0..799,
// delivered one after another as the event loop would. Reports events handled per second.
void DragAcrossScale(benchmark::State& state)
{
    FormGen& window = windowAt(int32_t(state.range(0)));
    QWidget* picture = window.Picture1;
    constexpr int Events = 800;
    const QPointF border(PictureBox::BorderWidth, PictureBox::BorderWidth);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int x = 0; x < Events; ++x) {
            const QPointF at = QPointF(x, 12) + border;
            QMouseEvent move(QEvent::MouseMove, at, picture->mapToGlobal(at), Qt::NoButton,
                Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(picture, &move);
        }
        const auto stop = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(stop - start).count();
        seconds += elapsed;
        state.SetIterationTime(elapsed);
        state.PauseTiming();
        window.UpDown1->setValue(1000);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    window.Timer1->stop();
    state.counters["events_per_s"] = double(Events) * double(state.iterations()) / seconds;
}
BENCHMARK(DragAcrossScale)
    ->Apply(ratesAboveTheLowest)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    // Offscreen and silent unless the caller chose otherwise.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    theProgram.reset();
    benchmark::Shutdown();
    return 0;
}
