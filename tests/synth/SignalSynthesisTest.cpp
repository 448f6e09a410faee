// The general synthesis (SynthesizeFrames): the default is the 16-bit buffer byte for byte,
// the unrounded exact formulas round to it, the formats keep the level and lay the bytes out
// as the device takes them, the dither is triangular and reproducible, the phase turns the
// right channel exactly where it means something, and the precise synthesis follows its
// formulas within 1e-9 of a 16-bit step; the stream (ToneStream) is the precise buffer at whole
// hertz and holds any frequency to the last micro-turn. The independent reading of the precise
// formulas over every waveform and mode is tests/crosscheck/synth_reference.py.

#include "SynthGrid.h"
#include "SynthPath.h"
#include "Synthesizer.h"
#include "ToneStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <vector>

using namespace vellox;

namespace {

constexpr uint64_t Seed = 7;

SynthSettings settingsAt(int32_t rate, int wave, int mode)
{
    SynthSettings s = startSynthSettings();
    s.SampleRate = rate;
    s.Frequency1 = 1001;
    s.Frequency2 = 97;
    s.Waveform = int16_t(wave);
    s.ChannelMode = int16_t(mode);
    return s;
}

SignalBuffer frames(const SynthSettings& s, const SignalOptions& o, uint64_t seed = Seed)
{
    UniformSource random(seed);
    SignalBuffer b;
    SynthesizeFrames(s, startModule1(), o, random, b);
    return b;
}

std::vector<double> values(const SynthSettings& s, const SignalOptions& o, uint64_t seed = Seed)
{
    UniformSource random(seed);
    std::vector<double> v;
    synthpath::signalValues(s, startModule1(), o, random, v);
    return v;
}

template <class T> T word(const SignalBuffer& b, std::size_t v)
{
    T x;
    std::memcpy(&x, b.bytes.data() + v * sizeof(T), sizeof(T));
    return x;
}

double roundClip(double v, double limit)
{
    return std::fmax(-limit, std::fmin(limit, std::nearbyint(v)));
}

SignalOptions precise()
{
    SignalOptions o;
    o.synthesis = Synthesis::Precise;
    return o;
}

} // namespace

// The contract with the device: the default options give Samples' bytes and the same draws,
// for every waveform and mode, noise included.
TEST(SynthesizeFrames, DefaultIsTheSamplesBytesAndDraws)
{
    for (const int32_t rate : { 44100, 48000 })
        for (int wave = 0; wave < WaveformCount; ++wave)
            for (int mode = ModeF1Both; mode < ModeEnd; ++mode) {
                SCOPED_TRACE(testing::Message() << rate << " " << wave << "/" << mode);
                SynthSettings s = settingsAt(rate, wave, mode);
                s.NoiseLevel = 0.3f;
                UniformSource a(Seed), b(Seed);
                std::vector<int16_t> samples;
                SynthesizeSignal(s, startModule1(), a, samples);
                SignalBuffer buffer;
                SynthesizeFrames(s, startModule1(), SignalOptions {}, b, buffer);
                ASSERT_EQ(buffer.frames(), rate);
                ASSERT_EQ(buffer.bytes.size(), 4 * std::size_t(rate));
                ASSERT_EQ(std::memcmp(buffer.bytes.data(), samples.data(), buffer.bytes.size()), 0);
                EXPECT_EQ(a.next(), b.next());
            }
}

// The general path evaluates the very formulas of the 16-bit engines: rounded, its exact
// values are the buffer, draws included.
TEST(SynthesizeFrames, ExactValuesRoundToTheExactBuffer)
{
    for (int wave = 0; wave < WaveformCount; ++wave)
        for (int mode = ModeF1Both; mode < ModeEnd; ++mode) {
            SCOPED_TRACE(testing::Message() << wave << "/" << mode);
            SynthSettings s = settingsAt(44100, wave, mode);
            s.NoiseLevel = 0.5f;
            s.Level1 = 1.0f; // clipping in AM
            s.Level2 = 1.0f;
            UniformSource random(Seed);
            std::vector<int16_t> samples;
            SynthesizeSignal(s, startModule1(), random, samples);
            const std::vector<double> v = values(s, SignalOptions {});
            for (std::size_t i = 0; i < v.size(); ++i)
                ASSERT_EQ(roundClip(v[i], 32767.0), samples[i]) << "value " << i;
        }
}

// One tone, one level in every format; each format rounds and clips at its own word length.
TEST(SynthesizeFrames, FormatsKeepTheLevelAndTheLayout)
{
    const struct {
        int wave, mode;
        float level;
    } rows[] = {
        { WaveSine, ModeF1Both, startLevel() },
        { WaveSine, ModeAm, 1.0f }, // the envelope reaches twice full level: clipped
        { WaveStairsRising, ModeF1PlusF2, 1.0f }, // the ramp and F2 sum to twice full level
    };
    for (const SignalOptions base : { SignalOptions {}, precise() })
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message()
                << synthesisName(base.synthesis) << " " << row.wave << "/" << row.mode);
            SynthSettings s = settingsAt(48000, row.wave, row.mode);
            s.Level1 = s.Level2 = row.level;
            const std::vector<double> v = values(s, base);
            SignalOptions o = base;
            o.format = SampleFormat::S16;
            const SignalBuffer b16 = frames(s, o);
            o.format = SampleFormat::S24;
            const SignalBuffer b24 = frames(s, o);
            o.format = SampleFormat::F32;
            const SignalBuffer b32 = frames(s, o);
            ASSERT_EQ(b24.bytes.size(), 8 * std::size_t(48000));
            ASSERT_EQ(b32.bytes.size(), 8 * std::size_t(48000));
            bool clipped = false;
            for (std::size_t i = 0; i < v.size(); ++i) {
                ASSERT_EQ(word<int16_t>(b16, i), roundClip(v[i], 32767.0)) << i;
                const int32_t s24 = word<int32_t>(b24, i);
                ASSERT_EQ(s24 & 0xff, 0) << i;
                ASSERT_EQ(s24 / 256, roundClip(v[i] * 256.0, 8388607.0)) << i;
                const float f = word<float>(b32, i);
                ASSERT_EQ(f, float(std::fmax(-1.0, std::fmin(1.0, v[i] / 32768.0)))) << i;
                clipped = clipped || std::fabs(v[i]) > 32768.0;
            }
            EXPECT_EQ(clipped, row.level == 1.0f);

            // The 16-bit view of each is within half a step of the 16-bit buffer.
            for (const SignalBuffer* b : { &b16, &b24, &b32 }) {
                std::vector<int16_t> view;
                samples16(*b, view);
                ASSERT_EQ(view.size(), 2 * std::size_t(48000) + 1);
                EXPECT_EQ(view.back(), 0);
                for (std::size_t i = 0; i + 1 < view.size(); ++i)
                    ASSERT_LE(std::abs(int(view[i]) - int(word<int16_t>(b16, i))), 1) << i;
            }
        }
}

// Triangular dither of +-1 step: its error (the rounded value less the unrounded one) lies
// within 1.5 steps, has mean 0 and the variance of TPDF plus rounding (1/6 + 1/12). The same
// seed gives the same bytes; float is not dithered.
TEST(SynthesizeFrames, TpdfDitherIsTriangularAndSeeded)
{
    const SynthSettings s = settingsAt(96000, WaveSine, ModeF1Both);
    for (const SampleFormat format : { SampleFormat::S16, SampleFormat::S24 }) {
        SCOPED_TRACE(sampleFormatName(format));
        SignalOptions o = precise();
        o.format = format;
        const std::vector<double> v = values(s, o);
        const SignalBuffer plain = frames(s, o);
        o.dither = Dither::Tpdf;
        const SignalBuffer dithered = frames(s, o);
        EXPECT_EQ(frames(s, o).bytes, dithered.bytes);
        SignalOptions other = o;
        other.ditherSeed = o.ditherSeed + 1;
        EXPECT_NE(frames(s, other).bytes, dithered.bytes);

        const double scale = format == SampleFormat::S24 ? 256.0 : 1.0;
        double sum = 0.0, squares = 0.0, worstPlain = 0.0, worst = 0.0;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const double got = format == SampleFormat::S24 ? word<int32_t>(dithered, i) / 256
                                                           : word<int16_t>(dithered, i);
            const double rounded = format == SampleFormat::S24 ? word<int32_t>(plain, i) / 256
                                                               : word<int16_t>(plain, i);
            const double e = got - v[i] * scale;
            sum += e;
            squares += e * e;
            worst = std::fmax(worst, std::fabs(e));
            worstPlain = std::fmax(worstPlain, std::fabs(rounded - v[i] * scale));
        }
        const double n = double(v.size());
        EXPECT_LE(worstPlain, 0.5);
        EXPECT_LT(worst, 1.5);
        EXPECT_GT(worst, 1.0);
        EXPECT_NEAR(sum / n, 0.0, 0.01);
        EXPECT_NEAR(squares / n, 0.25, 0.01);
    }
    SignalOptions f = precise();
    f.format = SampleFormat::F32;
    const SignalBuffer plain = frames(s, f);
    f.dither = Dither::Tpdf;
    EXPECT_EQ(frames(s, f).bytes, plain.bytes);
}

// The phase turns the right channel's sine where phaseApplies says, and nowhere else; the left
// channel never moves, and 0 degrees is the buffer of before in both syntheses.
TEST(SynthesizeFrames, PhaseTurnsTheRightChannelWhereItApplies)
{
    const struct {
        int wave, mode, f2;
        bool applies;
    } rows[] = {
        { WaveSine, ModeF1Both, 97, true },
        { WaveSquare, ModeF1Both, 97, true },
        { WaveStairsFalling, ModeF1PlusF2, 97, true },
        { WaveSine, ModeStereo, 1001, true }, // F1 = F2
        { WaveSine, ModeStereo, 97, false },
        { WaveSine, ModeAm, 97, false },
        { WaveTriangle, ModeFm, 97, false },
        { WaveNoise, ModeF1Both, 97, false },
        { WaveBitTwoTone, ModeF1Both, 97, false },
    };
    constexpr int32_t Rate = 44100;
    constexpr int Degrees = 123;
    const double phi = 2.0 * std::numbers::pi * Degrees / 360.0;
    for (const SignalOptions base : { SignalOptions {}, precise() })
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message()
                << synthesisName(base.synthesis) << " " << row.wave << "/" << row.mode);
            SynthSettings s = settingsAt(Rate, row.wave, row.mode);
            s.Frequency2 = int16_t(row.f2);
            EXPECT_EQ(phaseApplies(row.wave, row.mode, s.Frequency1, s.Frequency2), row.applies);
            SignalOptions turned = base;
            turned.phaseDegrees = Degrees;
            const SignalBuffer zero = frames(s, base);
            const SignalBuffer b = frames(s, turned);
            if (base.synthesis == Synthesis::Precise) {
                SignalOptions explicitZero = base;
                explicitZero.phaseDegrees = 0;
                EXPECT_EQ(frames(s, explicitZero).bytes, zero.bytes);
            }
            if (!row.applies) {
                EXPECT_EQ(b.bytes, zero.bytes);
                continue;
            }
            const bool f1 = row.mode == ModeF1Both;
            const int f = f1 ? s.Frequency1 : s.Frequency2;
            const double level = double(f1 ? s.Level1 : s.Level2);
            const float step = float(double(float(f)) * double(s.Pi) / double(Rate));
            int moved = 0;
            for (int32_t k = 0; k < Rate; ++k) {
                ASSERT_EQ(
                    word<int16_t>(b, 2 * std::size_t(k)), word<int16_t>(zero, 2 * std::size_t(k)));
                double want;
                if (base.synthesis == Synthesis::Exact) {
                    want = std::nearbyint(
                        std::sin(double(step) * double(2 * k) + phi) * 20000.0 * level);
                } else {
                    const long double turn = (long double)((int64_t(f) * k) % Rate) / Rate;
                    want = std::nearbyint(double(
                        std::sin(2.0L * std::numbers::pi_v<long double> * turn + (long double)phi)
                        * 20000.0L * (long double)level));
                }
                ASSERT_EQ(word<int16_t>(b, 2 * std::size_t(k) + 1), want) << "frame " << k;
                moved += word<int16_t>(b, 2 * std::size_t(k) + 1)
                    != word<int16_t>(zero, 2 * std::size_t(k) + 1);
            }
            EXPECT_GT(moved, Rate / 2);
        }
}

// The precise synthesis against a long double reading of three formulas, at every playable
// rate: the sine on both channels, F1 + F2, and FM, where the phase is 2*pi*((F*k) mod R)/R.
// Within 1e-9 of a 16-bit step (double's own error is about 1e-11 there).
TEST(SynthesizeFrames, PreciseFollowsItsFormulas)
{
    using L = long double;
    const L twoPi = 2.0L * std::numbers::pi_v<long double>;
    const int modes[] = { ModeF1Both, ModeF1PlusF2, ModeFm };
    for (std::size_t r = 0; r < std::size(PlayableRates); ++r)
        for (std::size_t m = 0; m < std::size(modes); ++m) {
            // Long double is software arithmetic on some processors: there, every rate once.
            if (!vellox::synthgrid::inGrid(r, m, std::size(modes)))
                continue;
            const int32_t rate = PlayableRates[r];
            const int mode = modes[m];
            SCOPED_TRACE(testing::Message() << rate << " mode " << mode);
            SynthSettings s = settingsAt(rate, WaveSine, mode);
            s.Frequency1 = 19999;
            s.Level2 = 1.0f;
            const std::vector<double> v = values(s, precise());
            const L L1 = s.Level1, L2 = s.Level2;
            double worst = 0.0;
            for (int32_t k = 0; k < rate; ++k) {
                const L t1 = twoPi * L((int64_t(s.Frequency1) * k) % rate) / L(rate);
                const L t2 = twoPi * L((int64_t(s.Frequency2) * k) % rate) / L(rate);
                const L s1 = std::sin(t1), s2 = std::sin(t2);
                L left = 20000.0L * L1 * s1;
                if (mode == ModeF1PlusF2)
                    left += 20000.0L * L2 * s2;
                if (mode == ModeFm)
                    left = 20000.0L * L1 * std::sin(t1 + L2 * s2);
                const L right = 20000.0L * (mode == ModeF1Both ? L1 * s1 : L2 * s2);
                worst = std::fmax(worst, double(std::fabs(L(v[2 * std::size_t(k)]) - left)));
                worst = std::fmax(worst, double(std::fabs(L(v[2 * std::size_t(k) + 1]) - right)));
            }
            EXPECT_LT(worst, 1e-9);
        }
}

namespace {

StreamSettings streamOf(const SynthSettings& s)
{
    StreamSettings t;
    t.SampleRate = s.SampleRate;
    t.Frequency1 = s.Frequency1 * MicrohertzPerHertz;
    t.Frequency2 = s.Frequency2 * MicrohertzPerHertz;
    t.Level1 = s.Level1;
    t.Level2 = s.Level2;
    t.NoiseLevel = s.NoiseLevel;
    t.Waveform = s.Waveform;
    t.ChannelMode = s.ChannelMode;
    t.DutyPercent = s.DutyPercent;
    return t;
}

// The stream's next `frames` frames, asked for in uneven pieces across its blocks.
std::vector<double> streamed(ToneStream& stream, int32_t frames)
{
    std::vector<double> v(2 * std::size_t(frames));
    for (int32_t k = 0, piece = 1; k < frames; k += piece, piece = piece * 7 % 1009 + 1)
        stream.values(v.data() + 2 * k, std::min(piece, frames - k));
    return v;
}

} // namespace

// At whole hertz the stream is the looped precise buffer: every streaming waveform in every
// mode (but "PWM" in FM, whose pulse runs on at each frame's period), noise drawn alike, the
// right channel turned where the phase applies; and its bytes, dither included.
TEST(ToneStream, WholeHertzIsThePreciseBuffer)
{
    int row = 0;
    const int32_t rates[] = { 48000, 192000 };
    for (std::size_t r = 0; r < std::size(rates); ++r)
        for (int wave = 0; wave < WaveformCount; ++wave)
            for (int mode = ModeF1Both; mode < ModeEnd; ++mode, ++row) {
                if (!streams(wave) || (wave == WavePwm && mode == ModeFm)
                    || !vellox::synthgrid::inGrid(std::size_t(wave * ModeEnd + mode), r, 2))
                    continue;
                const int32_t rate = rates[r];
                SCOPED_TRACE(
                    testing::Message() << rate << " waveform " << wave << " mode " << mode);
                SynthSettings s = settingsAt(rate, wave, mode);
                s.Frequency1 = 1000; // a whole period of 2*rate/1000 indices: "Stairs", "PWM"
                s.NoiseLevel = row % 3 == 0 ? 0.3f : 0.0f;
                s.DutyPercent = 37;
                SignalOptions o = precise();
                o.phaseDegrees = row % 2 == 0 ? 90 : 0;
                const std::vector<double> want = values(s, o);
                ToneStream stream(streamOf(s), o, Seed);
                const std::vector<double> got = streamed(stream, rate);
                double worst = 0.0;
                for (std::size_t v = 0; v < want.size(); ++v)
                    worst = std::fmax(worst, std::fabs(got[v] - want[v]));
                EXPECT_LT(worst, 1e-9);
            }
    for (const SampleFormat format : { SampleFormat::S24, SampleFormat::F32 }) {
        SynthSettings s = settingsAt(96000, WaveTriangle, ModeAm);
        SignalOptions o = precise();
        o.format = format;
        o.dither = Dither::Tpdf;
        const SignalBuffer want = frames(s, o);
        ToneStream stream(streamOf(s), o, Seed);
        std::vector<uint8_t> got(want.bytes.size());
        stream.fill(got.data(), 1000);
        stream.fill(got.data() + 1000 * 8, 96000 - 1000);
        EXPECT_EQ(got, want.bytes) << sampleFormatName(format);
    }
}

// Any frequency to the micro-hertz: after ten seconds each tone is where F*t puts it, within
// 1e-9 of a step (a phase error below 1e-13 of a turn: below 1e-14 Hz of frequency error
// over the ten seconds).
TEST(ToneStream, HoldsAFractionalFrequencyToTheLastMicroTurn)
{
    using L = long double;
    const L twoPi = 2.0L * std::numbers::pi_v<long double>;
    struct Case {
        int32_t rate;
        int64_t f1, f2; // micro-hertz
    };
    for (const Case c :
        { Case { 48000, 1000123000, 1000000 }, Case { 192000, 40000250000, 86399999999 } }) {
        SCOPED_TRACE(testing::Message() << c.rate << " " << c.f1 << " uHz");
        StreamSettings t;
        t.SampleRate = c.rate;
        t.Frequency1 = c.f1;
        t.Frequency2 = c.f2;
        t.ChannelMode = ModeStereo;
        t.Level1 = 1.0;
        t.Level2 = 0.5;
        ToneStream stream(t, SignalOptions {}, Seed);
        const int64_t last = 10 * int64_t(c.rate); // frames 0 .. last-1: ten seconds
        std::vector<double> v(2 * 4096);
        while (stream.framesDone() < last - 4096)
            stream.values(v.data(), 4096);
        const int64_t from = stream.framesDone();
        stream.values(v.data(), int32_t(last - from));
        double worst = 0.0;
        for (int64_t k = from; k < last; ++k) {
            // F*t in whole micro-turns, exactly (below 2^63 here), and its sine in long double.
            const auto sineAt = [&](int64_t f) {
                const int64_t turn = int64_t(c.rate) * MicrohertzPerHertz;
                return std::sin(twoPi * L(f * k % turn) / L(turn));
            };
            const std::size_t at = 2 * std::size_t(k - from);
            worst = std::fmax(worst, double(std::fabs(L(v[at]) - 20000.0L * sineAt(c.f1))));
            worst = std::fmax(worst, double(std::fabs(L(v[at + 1]) - 10000.0L * sineAt(c.f2))));
        }
        EXPECT_LT(worst, 1e-9);
    }
}

// Each tone goes on from where it was: a change of F1 in "Stereo" leaves F2's sine exactly
// where it would have been and starts F1's at its old phase; across a rate the same turn.
TEST(ToneStream, ContinuesEachPhaseAcrossAChange)
{
    StreamSettings a;
    a.SampleRate = 48000;
    a.Frequency1 = 1000500000;
    a.Frequency2 = 440250000;
    a.ChannelMode = ModeStereo;
    ToneStream before(a, SignalOptions {}, Seed);
    std::vector<double> v(2 * 12345);
    before.values(v.data(), 12345);
    ToneStream unchanged = before;
    double next[2];
    unchanged.values(next, 1);

    StreamSettings b = a;
    b.Frequency1 = 5000000000;
    ToneStream after(b, SignalOptions {}, Seed);
    after.continueFrom(before);
    double first[2];
    after.values(first, 1);
    EXPECT_EQ(first[0], next[0]);
    EXPECT_EQ(first[1], next[1]);

    b.SampleRate = 96000;
    ToneStream faster(b, SignalOptions {}, Seed);
    faster.continueFrom(before);
    faster.values(first, 1);
    EXPECT_NEAR(first[1], next[1], 1e-6);
}

// A sweep of a set length follows its law sample for sample: the phase is the integral of
// f0 + (f1 - f0) t/T or f0 (f1/f0)^(t/T), then the hold at f1 and the return by the same law,
// continuous from part to part and from run to run (a run of a fractional number of frames
// ends where the law has come to). Checked in long double, from an independent reading of
// the law, over two and a half runs; and a change of level in mid-sweep goes on where it was.
TEST(ToneStream, SweepsByItsExactLaw)
{
    using L = long double;
    struct Case {
        bool logarithmic;
        int64_t f0, f1; // micro-hertz
        double seconds, hold, back;
    };
    const Case cases[] = {
        { true, 20000000, 20000000000, 0.05, 0.0, 0.0 },
        { false, 1000000000, 5000000000, 0.0301234, 0.01, 0.02 },
        { true, 15000000000, 100000000, 0.02, 0.0033333, 0.011 },
        { false, 440000000, 440000000, 0.01, 0.0, 0.0 },
    };
    const int32_t rate = 48000;
    for (const Case& c : cases) {
        SCOPED_TRACE(
            testing::Message() << (c.logarithmic ? "log " : "lin ") << c.f0 << " -> " << c.f1);
        const L f0 = L(c.f0) / 1e6L, f1 = L(c.f1) / 1e6L;
        const auto segment = [&](L a, L b, L d, L tau) -> L {
            if (a == b)
                return a * tau;
            if (!c.logarithmic)
                return a * tau + (b - a) * tau * tau / (2 * d);
            return a * d / std::log(b / a) * (std::pow(b / a, tau / d) - 1);
        };
        const L T = c.seconds, H = c.hold, R = c.back;
        const auto law = [&](L t) -> L {
            if (t < T)
                return segment(f0, f1, T, t);
            const L swept = segment(f0, f1, T, T);
            if (t < T + H || R == 0)
                return swept + f1 * (t - T);
            if (t < T + H + R)
                return swept + f1 * H + segment(f1, f0, R, t - T - H);
            return swept + f1 * H + segment(f1, f0, R, R) + f0 * (t - T - H - R);
        };
        const int64_t runFrames = std::llround((c.seconds + c.hold + c.back) * rate);
        const L runTurns = law(L(runFrames) / rate);
        StreamSettings s;
        s.SampleRate = rate;
        s.Frequency1 = c.f0;
        s.Level1 = 1.0;
        s.Sweep = { true, c.logarithmic, c.f1, c.seconds, c.hold, c.back };
        ToneStream stream(s, SignalOptions {}, Seed);
        const int32_t total = int32_t(runFrames * 5 / 2);
        const std::vector<double> got = streamed(stream, total);
        double worst = 0.0;
        for (int64_t k = 0; k < total; ++k) {
            const L turns = L(k / runFrames) * runTurns + law(L(k % runFrames) / rate);
            const L want = 20000.0L
                * std::sin(2 * std::numbers::pi_v<long double> * (turns - std::floor(turns)));
            worst = std::fmax(worst, double(std::fabs(L(got[2 * std::size_t(k)]) - want)));
        }
        EXPECT_LT(worst, 1e-5); // 5e-10 of full scale: the law's double against long double

        // Once: the same run, then F1 silent.
        StreamSettings once = s;
        once.Sweep.Once = true;
        ToneStream single(once, SignalOptions {}, Seed);
        const std::vector<double> single1 = streamed(single, total);
        for (int64_t k = 0; k < total; ++k)
            ASSERT_EQ(single1[2 * std::size_t(k)], k < runFrames ? got[2 * std::size_t(k)] : 0.0)
                << k;

        // A level changed in mid-sweep: the sweep goes on where it was, at the new level.
        ToneStream before(s, SignalOptions {}, Seed);
        std::vector<double> v(2 * 777);
        before.values(v.data(), 777);
        ToneStream unchanged = before;
        double next[2];
        unchanged.values(next, 1);
        StreamSettings quieter = s;
        quieter.Level1 = 0.5;
        ToneStream after(quieter, SignalOptions {}, Seed);
        after.continueFrom(before);
        double first[2];
        after.values(first, 1);
        EXPECT_NEAR(first[0], next[0] / 2, 1e-9);
    }
}

// Tone bursts: N whole cycles of F1 from the burst's phase, every period, exact silence of F1
// between (F2 goes on in "F1+ F2"); a burst longer than its period runs into the next.
TEST(ToneStream, BurstsAreWholeCyclesFromTheirPhase)
{
    using L = long double;
    struct Case {
        int64_t f1; // micro-hertz
        int64_t cycles;
        double period, phase;
        int16_t mode;
    };
    const Case cases[] = {
        { 1000000000, 5, 0.02, 0.0, ModeF1Both }, { 997500000, 3, 0.007, 90.0, ModeF1PlusF2 },
        { 1000000000, 30, 0.02, 0.0, ModeF1Both }, // 30 ms bursts: one after another
    };
    const int32_t rate = 48000;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cycles << " cycles of " << c.f1 << " uHz");
        StreamSettings s;
        s.SampleRate = rate;
        s.Frequency1 = c.f1;
        s.ChannelMode = c.mode;
        s.Level1 = 1.0;
        s.Level2 = 0.5;
        s.Burst = { true, c.cycles, c.period, c.phase };
        ToneStream stream(s, SignalOptions {}, Seed);
        const int32_t total = rate / 5;
        const std::vector<double> got = streamed(stream, total);
        const L f = L(c.f1) / 1e6L;
        const L burst = L(c.cycles) * rate / f; // frames
        // The period in frames as the seconds times the rate give it (7 ms is 336 frames).
        const L period = std::max(L(c.period * rate), burst);
        double worst = 0.0;
        int silent = 0;
        for (int64_t k = 0; k < total; ++k) {
            const L into = L(k) - std::floor(L(k) / period) * period;
            const L turns = L(c.phase) / 360 + f * into / rate;
            L want = into < burst ? 20000.0L
                    * std::sin(2 * std::numbers::pi_v<long double> * (turns - std::floor(turns)))
                                  : 0.0L;
            if (c.mode == ModeF1PlusF2)
                want
                    += 10000.0L * std::sin(2 * std::numbers::pi_v<long double> * L(100) * k / rate);
            silent += into >= burst;
            worst = std::fmax(worst, double(std::fabs(L(got[2 * std::size_t(k)]) - want)));
        }
        EXPECT_LT(worst, 1e-6);
        EXPECT_EQ(silent > 0, c.cycles < 30) << "silence between the bursts";
    }
}

// Pink noise at each rate's filter: its rms that of a sine at F1's level, and new every
// second (a looped second correlates fully). The octaves are read from 160 s by the
// rendered program's test; this one runs in the sanitizer tree too.
TEST(ToneStream, PinkNoiseHasItsLevelAndNeverLoops)
{
    for (const int32_t rate : { 44100, 192000 }) {
        SCOPED_TRACE(rate);
        StreamSettings s;
        s.SampleRate = rate;
        s.Pink = true;
        s.ChannelMode = ModeF1Both;
        s.Level1 = 0.1; // -20 dB
        ToneStream stream(s, SignalOptions {}, Seed);
        const std::vector<double> v = streamed(stream, 4 * rate);
        double power = 0.0, product = 0.0;
        for (std::size_t k = 0; k < std::size_t(4 * rate); ++k) {
            ASSERT_TRUE(std::isfinite(v[2 * k]));
            power += v[2 * k] * v[2 * k];
            if (k + std::size_t(rate) < std::size_t(4 * rate))
                product += v[2 * k] * v[2 * (k + std::size_t(rate))];
        }
        const double rms = std::sqrt(power / (4.0 * rate));
        EXPECT_NEAR(20 * std::log10(rms / (20000 * 0.1 / std::sqrt(2.0))), 0.0, 0.5);
        EXPECT_LT(std::fabs(product / power), 0.1);
    }
}

// What a stream refuses, each with its reason, before any frame.
TEST(ToneStream, RefusesWhatItCannotPlay)
{
    struct Case {
        const char* why;
        void (*change)(StreamSettings&, SignalOptions&);
    };
    const Case cases[] = {
        { "a rate not playable", [](StreamSettings& s, SignalOptions&) { s.SampleRate = 22050; } },
        { "below 1 Hz", [](StreamSettings& s, SignalOptions&) { s.Frequency2 = 999999; } },
        { "above half the rate",
            [](StreamSettings& s, SignalOptions&) { s.Frequency1 = 24000000001; } },
        { "a level that is no number",
            [](StreamSettings& s, SignalOptions&) { s.Level1 = std::nan(""); } },
        { "a bit code", [](StreamSettings& s, SignalOptions&) { s.Waveform = WaveBitTwoTone; } },
        { "an unknown mode", [](StreamSettings& s, SignalOptions&) { s.ChannelMode = 0; } },
        { "no duty", [](StreamSettings& s, SignalOptions&) { s.DutyPercent = 0; } },
        { "a phase of a whole turn",
            [](StreamSettings&, SignalOptions& o) { o.phaseDegrees = 360; } },
        { "a sweep of no time",
            [](StreamSettings& s, SignalOptions&) {
                s.Sweep = { true, false, 2000000, 0.0 };
            } },
        { "a sweep past half the rate",
            [](StreamSettings& s, SignalOptions&) {
                s.Sweep = { true, true, 24000000001, 1.0 };
            } },
        { "a burst of no cycles",
            [](StreamSettings& s, SignalOptions&) {
                s.Burst = { true, 0, 0.01, 0.0 };
            } },
        { "bursts while F1 sweeps",
            [](StreamSettings& s, SignalOptions&) {
                s.Burst = { true, 1, 0.01, 0.0 };
                s.Sweep = { true, false, 2000000, 1.0 };
            } },
        { "pink noise in FM",
            [](StreamSettings& s, SignalOptions&) {
                s.Pink = true;
                s.ChannelMode = ModeFm;
            } },
        { "a sweep of PWM in FM",
            [](StreamSettings& s, SignalOptions&) {
                s.Waveform = WavePwm;
                s.ChannelMode = ModeFm;
                s.Sweep = { true, false, 2000000, 1.0 };
            } },
    };
    for (const Case& c : cases) {
        StreamSettings s;
        s.SampleRate = 48000;
        SignalOptions o;
        c.change(s, o);
        EXPECT_THROW(ToneStream(s, o, Seed), std::range_error) << c.why;
    }
    StreamSettings edge;
    edge.SampleRate = 48000;
    edge.Frequency1 = 24000000000;
    edge.Frequency2 = MinStreamFrequency;
    EXPECT_NO_THROW(ToneStream(edge, SignalOptions {}, Seed));
}
