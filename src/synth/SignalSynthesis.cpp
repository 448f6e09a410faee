// The general synthesis: the exact formulas unrounded and the precise synthesis, in blocks,
// then the sample format's rounding with its dither. The formulas are leftValueOf
// (SynthFormulas.h), the same as the 16-bit engines'; only the numbers differ. Where the CPU
// has the vector engine's lanes, the precise blocks and the rounding run there (SynthVector.h),
// to the same values and bytes.

#include "SampleStore.h"
#include "SynthCall.h"
#include "SynthFormulas.h"
#include "SynthPath.h"
#include "SynthVector.h"
#include "Synthesizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vellox {

namespace {

    using synthdetail::Instant;
    using synthvector::BlockCall;

    constexpr int32_t Block = synthvector::BlockFrames;
    constexpr double TwoPi = 2.0 * std::numbers::pi;

    // sin(2*pi*j/rate) for j = 0..rate-1, one table per playable rate, made at its first use
    // and kept. Only a quarter turn is evaluated, each value from the nearer of sin and cos,
    // so the arguments stay within pi/4; the symmetries of the sine give the rest exactly,
    // and the zeros and the peaks are exact.
    const double* sineTable(int32_t rate)
    {
        static std::array<std::once_flag, PlayableRates.size()> made;
        static std::array<std::vector<double>, PlayableRates.size()> tables;
        std::size_t index = 0;
        while (PlayableRates[index] != rate)
            ++index; // the rate was checked: it is one of them
        std::call_once(made[index], [&] {
            std::vector<double>& t = tables[index];
            const int32_t quarter = rate / 4;
            t.resize(std::size_t(rate));
            for (int32_t j = 0; j <= quarter; ++j) {
                const double v = 8 * j <= rate
                    ? std::sin(TwoPi * double(j) / double(rate))
                    : std::cos(TwoPi * double(quarter - j) / double(rate));
                t[std::size_t(j)] = v;
                t[std::size_t(2 * quarter - j)] = v;
            }
            for (int32_t j = 0; j < 2 * quarter; ++j)
                t[std::size_t(2 * quarter + j)] = -t[std::size_t(j)];
        });
        return tables[index].data();
    }

    // The left and right values of frames k0 .. k0+n-1 on the 16-bit scale, unrounded.
    template <int Wave, int Mode, class Num>
    void blockValues(synthdetail::BasicContext<typename Num::Stored>& context,
        const BlockCall& call, int32_t k0, int32_t n, double* values)
    {
        // A copy the stores to `values` cannot alias, so that it stays in registers; what runs
        // on from frame to frame goes back at the end.
        synthdetail::BasicContext<typename Num::Stored> c = context;
        constexpr bool precise = std::is_same_v<Num, PreciseNumbers>;
        constexpr bool fm = Mode == ModeFm && hasFmCarrier(Wave);
        const int32_t rate = call.rate;

        // The precise phases: the frame's place in each cycle, (F*k) mod rate, exact integers,
        // so every whole-hertz tone repeats exactly over the second.
        const int32_t j1First = precise ? int32_t((int64_t(call.f1) * k0) % rate) : 0;
        const int32_t j2First = precise ? int32_t((int64_t(call.f2) * k0) % rate) : 0;
        const auto next = [rate](int32_t& j, int32_t step) {
            j += step;
            j -= j >= rate ? rate : 0;
        };
        // Only the sines the formulas read: each is a load from a table of up to 1.5 MB, or
        // a call of sin.
        constexpr bool loadS1 = needsS1<Wave, Mode, Num::sinesAhead>();
        constexpr bool loadS2 = needsS2<Wave, Mode>();
        const auto precisePhases = [&](Instant& t, int32_t j1, int32_t j2) {
            if constexpr (loadS1)
                t.s1 = call.table[j1];
            if constexpr (loadS2)
                t.s2 = call.table[j2];
            if constexpr (Wave == WaveTriangle && !fm)
                t.cycles1 = double(j1) * call.cyclesPerStep;
        };

        // The FM carriers first, a block of sines at a time.
        std::array<double, Block> carriers {};
        if constexpr (precise && fm) {
            std::array<double, Block> phases {};
            int32_t j1 = j1First, j2 = j2First;
            for (int32_t j = 0; j < n; ++j) {
                Instant t;
                t.i = 2 * (k0 + j);
                precisePhases(t, j1, j2);
                t.theta1 = double(j1) * call.radiansPerStep;
                phases[std::size_t(j)] = fmCarrierPhase<Wave, Num>(c, t, t.s2);
                next(j1, call.f1);
                next(j2, call.f2);
            }
            synthvector::sines(call.path, phases.data(), carriers.data(), n);
        }

        // i mod P, counted, where the whole period P stands still (all but "PWM" FM).
        constexpr bool countRemainder
            = precise && usesWholePeriod(Wave) && !(Wave == WavePwm && Mode == ModeFm);
        int32_t P = 1, m = 0;
        if constexpr (countRemainder) {
            P = wholePeriod(c.F1Period);
            m = int32_t((2 * int64_t(k0)) % P);
        }

        const int64_t bitFrames = c.BitPeriod / 2;
        int64_t intoBit = isBitCode(Wave) ? int64_t(k0) % bitFrames : 0;

        int32_t j1 = j1First, j2 = j2First;
        for (int32_t j = 0; j < n; ++j) {
            const int32_t k = k0 + j;
            Instant t;
            t.i = 2 * k;
            if constexpr (precise) {
                precisePhases(t, j1, j2);
                if constexpr (fm)
                    t.carrier = carriers[std::size_t(j)];
                if constexpr (countRemainder) {
                    t.wholeRemainder = m;
                    m += 2;
                    while (m >= P)
                        m -= P;
                }
            } else {
                if constexpr (loadS1)
                    t.s1 = std::sin(c.PhaseStep1 * double(t.i));
                if constexpr (loadS2)
                    t.s2 = std::sin(c.PhaseStep2 * double(t.i));
            }
            if constexpr (isBitCode(Wave)) { // i mod 2*BitFrames == 0, counted
                if (intoBit == 0)
                    ++c.BitCounter;
                if (++intoBit == bitFrames)
                    intoBit = 0;
            }
            TakenDraws draws { k < call.active ? call.noise[k] : 0.0 };
            values[2 * j] = double(leftValueOf<Wave, Mode, Num>(c, draws, t));

            // The right channel: the clean sine, turned by the phase where it applies.
            double s;
            if constexpr (precise) {
                const int32_t r = rightIsF1(Mode) ? j1 : j2;
                s = call.table[r];
                if (call.phased) {
                    const int32_t q = r + rate / 4;
                    s = s * call.cosPhase + call.table[q >= rate ? q - rate : q] * call.sinPhase;
                }
                next(j1, call.f1);
                next(j2, call.f2);
            } else {
                s = rightSineOf<Mode>(t.s1, t.s2);
                if (call.phased)
                    s = std::sin(
                        (rightIsF1(Mode) ? c.PhaseStep1 : c.PhaseStep2) * double(t.i) + call.phase);
            }
            values[2 * j + 1] = rightValueOf<Mode>(c, s);
        }
        context.F1Period = c.F1Period;
        context.BitCounter = c.BitCounter;
    }

    template <class Num>
    using BlockFn = void (*)(synthdetail::BasicContext<typename Num::Stored>&, const BlockCall&,
        int32_t, int32_t, double*);

    // Row w: waveform w (row WaveformCount: any unknown one); column m: mode m (column 0: any
    // mode outside 1..6), as the 16-bit engine's table.
    constexpr std::size_t Rows = std::size_t(WaveformCount) + 1;
    constexpr std::size_t Columns = std::size_t(ModeEnd);

    template <class Num, int Wave, std::size_t... Modes>
    constexpr std::array<BlockFn<Num>, Columns> blockRow(std::index_sequence<Modes...>)
    {
        return { &blockValues<Wave, int(Modes), Num>... };
    }
    template <class Num, std::size_t... Waves>
    constexpr std::array<std::array<BlockFn<Num>, Columns>, Rows> blockTable(
        std::index_sequence<Waves...>)
    {
        return { blockRow<Num, (isWaveform(int32_t(Waves)) ? int(Waves) : -1)>(
            std::make_index_sequence<Columns> {})... };
    }

    // Frames whose left formula runs, and so draws: all of them, the bit codes' bits only,
    // none for an unknown waveform or a mode-dependent one in an unknown mode.
    template <class Stored>
    int32_t activeFrames(const SynthSettings& s, const synthdetail::BasicContext<Stored>& c)
    {
        const int32_t frames = filledFrames(s.SampleRate);
        if (!isWaveform(s.Waveform) || (!isChannelMode(s.ChannelMode) && dependsOnMode(s.Waveform)))
            return 0;
        if (isBitCode(s.Waveform))
            return int32_t(
                std::min<int64_t>(frames, int64_t(c.BitSymbolCount) * (c.BitPeriod / 2)));
        return frames;
    }

    // Room for the noise differences of every frame, and zeros for the lanes past the last.
    double* noiseScratch(std::size_t frames)
    {
        constexpr std::size_t pad = synthvector::MaxLanes;
        thread_local std::vector<double> scratch;
        if (scratch.size() < frames + pad)
            scratch.resize(frames + pad);
        std::fill_n(scratch.begin() + std::ptrdiff_t(frames), pad, 0.0);
        return scratch.data();
    }

    // Gives each block's values, in order, to `take(k0, n, values)`: n frames from frame k0,
    // interleaved (left, right).
    template <class Num, class Take>
    PhaseSteps eachBlock(const SynthSettings& settings, const Module1& module1,
        const SignalOptions& options, UniformSource& random, Take&& take)
    {
        if (!isPhaseDegrees(options.phaseDegrees))
            throw std::range_error(
                "SynthesizeFrames: phase outside 0.." + std::to_string(MaxPhaseDegrees));
        synthdetail::BasicContext<typename Num::Stored> c;
        const PhaseSteps steps = synthdetail::prepareContext(settings, module1, c);

        BlockCall call;
        call.rate = settings.SampleRate;
        call.frames = filledFrames(call.rate);
        call.f1 = settings.Frequency1;
        call.f2 = settings.Frequency2;
        call.path = synthpath::activePath();
        if constexpr (std::is_same_v<Num, PreciseNumbers>) {
            call.table = sineTable(call.rate);
            call.radiansPerStep = TwoPi / double(call.rate);
            call.cyclesPerStep = 1.0 / double(call.rate);
        }
        call.phased = options.phaseDegrees != 0
            && phaseApplies(
                settings.Waveform, settings.ChannelMode, settings.Frequency1, settings.Frequency2);
        call.phase = TwoPi * double(options.phaseDegrees) / 360.0;
        call.cosPhase = std::cos(call.phase);
        call.sinPhase = std::sin(call.phase);
        call.active = activeFrames(settings, c);
        double* const noise = noiseScratch(std::size_t(call.frames));
        synthvector::drawDifferences(call.path, random, noise, call.active);
        call.noise = noise;

        if constexpr (std::is_same_v<Num, PreciseNumbers>) {
            using Sink = std::remove_reference_t<Take>;
            const synthvector::BlockSink sink { static_cast<void*>(std::addressof(take)),
                [](void* self, int32_t k0, int32_t n, const double* values) {
                    (*static_cast<Sink*>(self))(k0, n, values);
                } };
            if (synthvector::preciseBlocks(c, call, settings.Waveform, settings.ChannelMode, sink))
                return steps;
        }

        static constexpr auto table = blockTable<Num>(std::make_index_sequence<Rows> {});
        const std::size_t row = isWaveform(settings.Waveform) ? std::size_t(settings.Waveform)
                                                              : std::size_t(WaveformCount);
        const std::size_t column
            = isChannelMode(settings.ChannelMode) ? std::size_t(settings.ChannelMode) : 0;
        const BlockFn<Num> fill = table[row][column];
        alignas(64) std::array<double, 2 * Block> values;
        for (int32_t k0 = 0; k0 < call.frames; k0 += Block) {
            const int32_t n = std::min(Block, call.frames - k0);
            fill(c, call, k0, n, values.data());
            take(k0, n, values.data());
        }
        return steps;
    }

    template <class Take>
    PhaseSteps eachBlockOf(const SynthSettings& settings, const Module1& module1,
        const SignalOptions& options, UniformSource& random, Take&& take)
    {
        if (options.synthesis == Synthesis::Precise)
            return eachBlock<PreciseNumbers>(settings, module1, options, random, take);
        return eachBlock<ExactUnrounded>(settings, module1, options, random, take);
    }

    // Rounds and stores the interleaved values of n frames at frame k0, in the format of `out`.
    // The dither is triangular, +-1 step: for each value the difference of two 16-bit uniforms,
    // half a draw of its own source (seeded with options.ditherSeed; drawDither), drawn in
    // bulk for the buffer.
    class FormatSink {
    public:
        FormatSink(const SignalOptions& options, SignalBuffer& out, int32_t frames)
            : m_format(options.format)
            , m_out(out)
            , m_path(synthpath::activePath())
        {
            if (options.dither == Dither::Tpdf && options.format != SampleFormat::F32) {
                thread_local std::vector<double> scratch;
                scratch.resize(2 * std::size_t(frames));
                UniformSource source(options.ditherSeed);
                synthvector::drawDitherDifferences(m_path, source, scratch.data(), 2 * frames);
                m_dither = scratch.data();
            }
        }

        void operator()(int32_t k0, int32_t n, const double* values)
        {
            uint8_t* at
                = m_out.bytes.data() + std::size_t(k0) * std::size_t(bytesPerFrame(m_format));
            const double scale = m_format == SampleFormat::S24 ? S24Scale : 1.0;
            const double* d = m_dither != nullptr ? m_dither + 2 * std::ptrdiff_t(k0) : nullptr;
            if (synthvector::storeValues(m_path, m_format, at, 2 * n, values, d, scale))
                return;
            withFormat(m_format, scale != 1.0, d != nullptr,
                [&]<SampleFormat Format, bool Scaled, bool Dithered>() {
                    storeValues<Format, Scaled, Dithered>(at, 2 * n, values, d, scale);
                });
        }

    private:
        SampleFormat m_format;
        SignalBuffer& m_out;
        synthpath::Path m_path;
        const double* m_dither = nullptr;
    };

    // The exact 16-bit buffer is made by the 16-bit engines (vector where the CPU has it).
    bool isPlainExact16(const SynthSettings& settings, const SignalOptions& options)
    {
        return options.synthesis == Synthesis::Exact && options.format == SampleFormat::S16
            && options.dither == Dither::None
            && (options.phaseDegrees == 0
                || !phaseApplies(settings.Waveform, settings.ChannelMode, settings.Frequency1,
                    settings.Frequency2));
    }

} // namespace

PhaseSteps SynthesizeFrames(const SynthSettings& settings, const Module1& module1,
    const SignalOptions& options, UniformSource& random, SignalBuffer& out)
{
    if (!isPhaseDegrees(options.phaseDegrees))
        throw std::range_error(
            "SynthesizeFrames: phase outside 0.." + std::to_string(MaxPhaseDegrees));
    synthdetail::checkSynthSettings(settings);
    const int32_t frames = filledFrames(settings.SampleRate);
    out.format = options.format;
    out.sampleRate = settings.SampleRate;
    out.bytes.resize(std::size_t(frames) * std::size_t(bytesPerFrame(options.format)));

    if (isPlainExact16(settings, options)) {
        thread_local std::vector<int16_t> values;
        values.resize(2 * std::size_t(frames));
        const PhaseSteps steps
            = synthdetail::synthesizeExact16(settings, module1, random, values.data());
        for (std::size_t v = 0; v < values.size(); ++v)
            storeLittle(out.bytes.data() + 2 * v, values[v]);
        return steps;
    }
    return eachBlockOf(settings, module1, options, random, FormatSink(options, out, frames));
}

void samples16(const SignalBuffer& buffer, std::vector<int16_t>& samples)
{
    const auto sample16 = [](double x) {
        formatValue<SampleFormat::S16, false, false>(x, 0.0, 1.0);
        return x;
    };
    const int32_t frames = buffer.frames();
    samples.resize(2 * std::size_t(frames) + 1);
    const uint8_t* at = buffer.bytes.data();
    for (std::size_t v = 0; v < 2 * std::size_t(frames); ++v) {
        switch (buffer.format) {
        case SampleFormat::S16:
            samples[v] = loadLittle<int16_t>(at + 2 * v);
            break;
        case SampleFormat::S24: {
            const int32_t s
                = int32_t(loadLittle<uint32_t>(at + 4 * v)) / 256; // exact: low 8 bits 0
            samples[v] = int16_t(sample16(double(s) / S24Scale));
            break;
        }
        case SampleFormat::F32:
            samples[v] = int16_t(sample16(double(loadLittle<float>(at + 4 * v)) / F32Scale));
            break;
        }
    }
    samples.back() = 0;
}

namespace synthpath {

    PhaseSteps signalValues(const SynthSettings& settings, const Module1& module1,
        const SignalOptions& options, UniformSource& random, std::vector<double>& values)
    {
        values.resize(2 * std::size_t(filledFrames(settings.SampleRate)));
        return eachBlockOf(
            settings, module1, options, random, [&](int32_t k0, int32_t n, const double* block) {
                std::copy(block, block + 2 * n, values.begin() + 2 * std::ptrdiff_t(k0));
            });
    }

} // namespace synthpath

} // namespace vellox
