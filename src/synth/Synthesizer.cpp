#include "Synthesizer.h"

#include "SynthCall.h"
#include "SynthFormulas.h"
#include "SynthPath.h"
#include "SynthVector.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace vellox {

namespace {

    // One loop per (waveform, mode): the dispatch happens once per call, not per sample.
    template <int Wave, int Mode>
    void fillFrames(Context& c, UniformSource& random, int32_t sampleRate, int16_t* samples)
    {
        const int32_t last = 2 * filledFrames(sampleRate) - 2; // taken once, before the first step
        LiveDraws draws { random };
        for (int32_t i = 0; i <= last; i += 2) {
            const double di = double(i);
            if constexpr (isBitCode(Wave)) {
                if (int64_t(i) % c.BitPeriod == 0)
                    ++c.BitCounter;
            }
            double s1 = 0.0;
            double s2 = 0.0;
            if constexpr (needsS1<Wave, Mode>())
                s1 = std::sin(c.PhaseStep1 * di);
            if constexpr (needsS2<Wave, Mode>())
                s2 = std::sin(c.PhaseStep2 * di);

            samples[i] = clip(leftValue<Wave, Mode>(c, draws, i, s1, s2));

            samples[i + 1] = clip(int32Of(rightValueOf<Mode>(c, rightSineOf<Mode>(s1, s2))));
        }
    }

    using FillFn = void (*)(Context&, UniformSource&, int32_t, int16_t*);

    // Row w holds waveform w (row WaveformCount: any unknown waveform); column m holds mode
    // m (column 0: any mode outside 1..6).
    constexpr std::size_t FillRows = std::size_t(WaveformCount) + 1;
    constexpr std::size_t FillColumns = std::size_t(ModeEnd);
    static_assert(ModeF1Both == 1, "column 0 is left for the modes outside the range");

    template <int Wave, std::size_t... Modes>
    constexpr std::array<FillFn, FillColumns> modeRow(std::index_sequence<Modes...>)
    {
        return { &fillFrames<Wave, int(Modes)>... };
    }
    template <std::size_t... Waves>
    constexpr std::array<std::array<FillFn, FillColumns>, FillRows> fillTable(
        std::index_sequence<Waves...>)
    {
        return { modeRow<(isWaveform(int32_t(Waves)) ? int(Waves) : -1)>(
            std::make_index_sequence<FillColumns> {})... };
    }
    constexpr auto FillTable = fillTable(std::make_index_sequence<FillRows> {});

} // namespace

namespace synthdetail {

    void checkSynthSettings(const SynthSettings& settings)
    {
        if (!isPlayableRate(settings.SampleRate))
            throw std::range_error("SynthesizeSignal: sample rate not " + playableRateList());
        if (!isAudioFrequency(settings.Frequency1) || !isAudioFrequency(settings.Frequency2))
            throw std::range_error("SynthesizeSignal: frequency outside "
                + std::to_string(MinFrequency) + ".." + std::to_string(MaxFrequency) + " Hz");
        if (!std::isfinite(settings.Pi) || !std::isfinite(settings.Level1)
            || !std::isfinite(settings.Level2) || !std::isfinite(settings.NoiseLevel))
            throw std::range_error("SynthesizeSignal: level, noise or Pi not a finite number");
    }

    template <class Stored>
    PhaseSteps prepareContext(
        const SynthSettings& settings, const Module1& module1, BasicContext<Stored>& c)
    {
        checkSynthSettings(settings);
        const int32_t SampleRate = settings.SampleRate;
        c.Level1 = double(settings.Level1);
        c.Level2 = double(settings.Level2);
        c.NoiseLevel = double(settings.NoiseLevel);
        c.DutyPercent = settings.DutyPercent;

        // The bit table: n is the length of BitCode. It is not limited to a 16-bit count:
        // with bits of 20 us up to 49000 of them fit into the filled second, and a pattern
        // the dialog lets through must be sent whole. Symbols are read from BitCode by
        // position (one byte per symbol).
        c.BitSymbols = module1.BitCode.data();
        c.BitSymbolCount = int32_t(std::min<std::size_t>(module1.BitCode.size(), MaxBitSymbols));
        c.BitCounter = 0;
        if (isBitCode(settings.Waveform)) {
            // Frames per bit: BitLength*SampleRate + 0.2, rounded. Below one frame per bit
            // the bit counter has no period, which is an arithmetic error (bits under about
            // 7 us).
            const int32_t BitFrames
                = int32Of(double(module1.BitLength) * double(2 * SampleRate) / 2.0 + 2.0 / 10.0);
            if (BitFrames < 1)
                throw std::range_error("SynthesizeSignal: bit length shorter than one frame");
            c.BitPeriod = 2 * int64_t(BitFrames);
        }

        PhaseSteps steps;
        steps.PhaseStep1
            = float(double(float(settings.Frequency1)) * double(settings.Pi) / double(SampleRate));
        steps.PhaseStep2
            = float(double(float(settings.Frequency2)) * double(settings.Pi) / double(SampleRate));
        c.PhaseStep1 = double(steps.PhaseStep1);
        c.PhaseStep2 = double(steps.PhaseStep2);
        c.F1Period = Stored(double(2 * SampleRate) / double(settings.Frequency1));
        c.TriangleF
            = Stored(double(steps.PhaseStep1) / (double(settings.Pi) + double(settings.Pi)));
        return steps;
    }
    template PhaseSteps prepareContext<float>(
        const SynthSettings&, const Module1&, BasicContext<float>&);
    template PhaseSteps prepareContext<double>(
        const SynthSettings&, const Module1&, BasicContext<double>&);

    PhaseSteps synthesizeExact16(const SynthSettings& settings, const Module1& module1,
        UniformSource& random, int16_t* frames)
    {
        Context c;
        const PhaseSteps steps = prepareContext(settings, module1, c);
        const int32_t SampleRate = settings.SampleRate;
        const int16_t Waveform = settings.Waveform;
        const int16_t ChannelMode = settings.ChannelMode;
        const bool knownWaveform = isWaveform(Waveform);
        const bool knownMode = isChannelMode(ChannelMode);
        const std::size_t row = knownWaveform ? std::size_t(Waveform) : std::size_t(WaveformCount);
        const std::size_t column = knownMode ? std::size_t(ChannelMode) : 0;
        // The vector engine covers the real waveforms and modes on CPUs with AVX2 or
        // AVX-512; everything else, and every CPU without them, runs the scalar loops.
        synthpath::Stats stats;
        const synthpath::Path path = synthpath::activePath();
        const bool vectorDone = path != synthpath::Path::Scalar && knownWaveform && knownMode
            && synthvector::synthesize(
                path, c, random, SampleRate, frames, int(row), int(column), stats);
        if (!vectorDone)
            FillTable[row][column](c, random, SampleRate, frames);
        synthvector::lastStatsSlot() = stats;
        return steps;
    }

} // namespace synthdetail

PhaseSteps SynthesizeSignal(const SynthSettings& settings, const Module1& module1,
    UniformSource& random, std::vector<int16_t>& samples)
{
    synthdetail::checkSynthSettings(settings);
    // Every filled frame is written by the engine; only the value after them needs its zero.
    const int32_t SampleRate = settings.SampleRate;
    samples.resize(sampleCount(SampleRate));
    std::fill(samples.begin() + 2 * filledFrames(SampleRate), samples.end(), int16_t(0));
    return synthdetail::synthesizeExact16(settings, module1, random, samples.data());
}

} // namespace vellox
