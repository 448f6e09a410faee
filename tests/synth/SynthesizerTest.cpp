#include "Synthesizer.h"
#include "SynthGrid.h"
#include "SynthPath.h"
#include "SynthReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

using vellox::filledFrames;
using vellox::Module1;
using vellox::PhaseSteps;
using vellox::roundToInt32;
using vellox::SynthesizeSignal;
using vellox::SynthSettings;
using vellox::UniformSource;

namespace {

constexpr uint64_t Seed = 20240601;
const auto& Rates = vellox::PlayableRates; // the window's three and the sound card's own

SynthSettings startSettings()
{
    return vellox::startSynthSettings();
}

Module1 startModule()
{
    return vellox::startModule1();
}

// The level spinner's factor, 3 dB per step.
float levelStep(int v)
{
    return float(std::pow(10.0, double(-3 * v) / 20.0));
}

struct Synthesis {
    std::vector<int16_t> samples;
    PhaseSteps steps;
    std::size_t draws = 0; // values taken from the random source
};

// Counts how many values `used` has consumed compared with a fresh source of the same seed.
std::size_t drawsTaken(UniformSource& used, uint64_t seed, std::size_t limit)
{
    const float a = used.next(), b = used.next(), c = used.next();
    UniformSource fresh(seed);
    float x = fresh.next(), y = fresh.next(), z = fresh.next();
    for (std::size_t k = 0; k <= limit; ++k) {
        if (x == a && y == b && z == c)
            return k;
        x = y;
        y = z;
        z = fresh.next();
    }
    return SIZE_MAX;
}

Synthesis synth(const SynthSettings& s, const Module1& m, uint64_t seed = Seed)
{
    Synthesis r;
    UniformSource random(seed);
    r.steps = SynthesizeSignal(s, m, random, r.samples);
    r.draws = drawsTaken(random, seed, 2 * std::size_t(s.SampleRate) + 4);
    return r;
}

int16_t leftAt(const Synthesis& r, int32_t frame)
{
    return r.samples[std::size_t(2 * frame)];
}
int16_t rightAt(const Synthesis& r, int32_t frame)
{
    return r.samples[std::size_t(2 * frame + 1)];
}

// First differing index, or -1.
long firstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    if (a.size() != b.size())
        return 0;
    const auto it = std::mismatch(a.begin(), a.end(), b.begin());
    return it.first == a.end() ? -1 : long(it.first - a.begin());
}

// ---------------------------------------------------------------------------------------
// The engine against the plain reference, to the last bit, over every waveform and mode.

struct EdgeCase {
    const char* name;
    std::function<void(SynthSettings&, Module1&)> apply;
};

const EdgeCase EdgeCases[] = {
    { "StartValues", [](SynthSettings&, Module1&) {} },
    { "NoiseMaximum", [](SynthSettings& s, Module1&) { s.NoiseLevel = 1.0f; } },
    { "F1At20F2At20000Step0Duty1",
        [](SynthSettings& s, Module1&) {
            s.Frequency1 = 20;
            s.Frequency2 = 20000;
            s.Level1 = levelStep(0);
            s.Level2 = levelStep(0);
            s.NoiseLevel = float(3 / 10.0);
            s.DutyPercent = 1;
        } },
    { "F1At20000F2At20Step15Duty100",
        [](SynthSettings& s, Module1&) {
            s.Frequency1 = 20000;
            s.Frequency2 = 20;
            s.Level1 = levelStep(15);
            s.Level2 = levelStep(15);
            s.NoiseLevel = float(1 / 10.0);
            s.DutyPercent = 100;
        } },
    { "OddFrequencies",
        [](SynthSettings& s, Module1&) {
            s.Frequency1 = 3001;
            s.Frequency2 = 777;
            s.Level1 = levelStep(0);
            s.Level2 = levelStep(1);
            s.DutyPercent = 33;
        } },
    { "FullLevelsFullNoise",
        [](SynthSettings& s, Module1&) {
            s.Level1 = 1.0f;
            s.Level2 = 1.0f;
            s.NoiseLevel = 1.0f;
        } },
    { "NearlyEqualHighFrequencies",
        [](SynthSettings& s, Module1&) {
            s.Frequency1 = 19999;
            s.Frequency2 = 19998;
            s.Level1 = levelStep(7);
            s.Level2 = levelStep(3);
            s.NoiseLevel = float(5 / 10.0);
            s.DutyPercent = 99;
        } },
    { "PatternWithOtherSymbols20us",
        [](SynthSettings& s, Module1& m) {
            m.BitCode = "1a0 2\n9x-.01";
            m.BitLength = float(20.0 / 1000000.0);
            s.NoiseLevel = float(2 / 10.0);
        } },
    { "EmptyPattern", [](SynthSettings&, Module1& m) { m.BitCode = ""; } },
    { "OneSecondBits",
        [](SynthSettings& s, Module1& m) {
            m.BitCode = "01";
            m.BitLength = 1.0f;
            s.NoiseLevel = float(4 / 10.0);
        } },
};

class MatchesReference : public ::testing::TestWithParam<std::tuple<int, int32_t>> {
protected:
    void TearDown() override { vellox::synthpath::resetPath(); }
};

// Every engine this CPU runs (the scalar loops and the vector paths) against one reading of
// the reference, so that the reference, the costly part, is computed once for all of them.
TEST_P(MatchesReference, EveryWaveformAndModeToTheLastBit)
{
    using vellox::synthpath::Path;
    const int edgeIndex = std::get<0>(GetParam());
    const auto& edge = EdgeCases[edgeIndex];
    const auto rateAt = std::find(std::begin(Rates), std::end(Rates), std::get<1>(GetParam()));
    // In the representative grid, the largest rate (four times the smallest's buffer) takes
    // one edge case, not one in every turn through the rates.
    const bool largest = *rateAt == *std::max_element(std::begin(Rates), std::end(Rates));
    if (!vellox::synthgrid::inGrid(
            std::size_t(edgeIndex), std::size_t(rateAt - std::begin(Rates)), std::size(Rates))
        || (vellox::synthgrid::representativeGrid() && largest
            && std::size_t(edgeIndex) >= std::size(Rates)))
        GTEST_SKIP() << "outside the representative grid";
    for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
        for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
            SynthSettings s = startSettings();
            Module1 m = startModule();
            edge.apply(s, m);
            s.SampleRate = std::get<1>(GetParam());
            s.Waveform = wave;
            s.ChannelMode = mode;
            UniformSource refRandom(Seed);
            const reference::Result want = reference::synthesize(s, m, refRandom);
            const std::size_t wantDraws
                = drawsTaken(refRandom, Seed, 2 * std::size_t(s.SampleRate) + 4);

            for (const Path path : { Path::Scalar, Path::Avx2, Path::Avx512 }) {
                if (!vellox::synthpath::supported(path))
                    continue;
                vellox::synthpath::forcePath(path);
                SCOPED_TRACE(
                    std::string(
                        path == Path::Scalar ? "scalar" : (path == Path::Avx2 ? "avx2" : "avx512"))
                    + " waveform " + std::to_string(wave) + " mode " + std::to_string(mode));
                const Synthesis got = synth(s, m);
                const long at = firstDifference(got.samples, want.Samples);
                ASSERT_EQ(at, -1) << "engine " << got.samples[std::size_t(std::max(at, 0L))]
                                  << " reference " << want.Samples[std::size_t(std::max(at, 0L))];
                EXPECT_EQ(got.steps.PhaseStep1, want.PhaseStep1);
                EXPECT_EQ(got.steps.PhaseStep2, want.PhaseStep2);
                EXPECT_EQ(got.draws, wantDraws);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, MatchesReference,
    ::testing::Combine(::testing::Range(0, int(std::size(EdgeCases))), ::testing::ValuesIn(Rates)),
    [](const auto& info) {
        return std::string(EdgeCases[std::get<0>(info.param)].name) + "_"
            + std::to_string(std::get<1>(info.param));
    });

TEST(MatchesReferenceSelectors, UnknownWaveformsAndModes)
{
    const int16_t waves[] = { -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 300 };
    const int16_t modes[] = { -1, 0, 7, 1 };
    for (const int16_t wave : waves) {
        for (const int16_t mode : modes) {
            SynthSettings s = startSettings();
            s.SampleRate = 44100;
            s.NoiseLevel = 1.0f;
            s.Waveform = wave;
            s.ChannelMode = mode;
            SCOPED_TRACE("waveform " + std::to_string(wave) + " mode " + std::to_string(mode));
            const Synthesis got = synth(s, startModule());
            UniformSource refRandom(Seed);
            const auto want = reference::synthesize(s, startModule(), refRandom);
            ASSERT_EQ(firstDifference(got.samples, want.Samples), -1);
            EXPECT_EQ(got.draws, drawsTaken(refRandom, Seed, 2 * 44100 + 4));
        }
    }
}

// ---------------------------------------------------------------------------------------
// Buffer layout and the start values.

TEST(SynthesizeSignal, StartValuesGiveTheKnownBuffer)
{
    const Synthesis r = synth(startSettings(), startModule());
    ASSERT_EQ(r.samples.size(), 196001u);
    EXPECT_EQ(r.samples[0], 0);
    EXPECT_EQ(r.samples[1], 0);
    int16_t peak = 0;
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        ASSERT_EQ(leftAt(r, k), rightAt(r, k)) << "frame " << k;
        peak = std::max(peak, leftAt(r, k));
    }
    // The crest int32(20000 * 0.70710677) = 14142 falls between samples: 1000 Hz at
    // 98000 Hz puts no frame on the quarter period.
    EXPECT_EQ(peak, 14135);
    EXPECT_EQ(r.steps.PhaseStep1, float(double(1000.0f) * double(startSettings().Pi) / 98000.0));
    EXPECT_EQ(r.draws, 196000u); // two draws per left sample, even with no noise
}

TEST(SynthesizeSignal, SizeAndSilentTailForEveryRate)
{
    for (const int32_t rate : Rates) {
        for (const int16_t wave : { 0, 4, 6, 9 }) {
            SynthSettings s = startSettings();
            s.SampleRate = rate;
            s.Waveform = wave;
            s.NoiseLevel = 1.0f;
            std::vector<int16_t> samples(7, 123); // any previous content is discarded
            UniformSource random(Seed);
            SynthesizeSignal(s, startModule(), random, samples);
            ASSERT_EQ(samples.size(), std::size_t(2 * rate + 1));
            EXPECT_EQ(samples.back(), 0) << rate;
            EXPECT_NE(samples[std::size_t(2 * rate - 1)], 0)
                << "last written right value, " << rate;
        }
    }
}

TEST(SynthesizeSignal, PhaseStepOf20HzAt44100SpansAPeriodOf4410Indices)
{
    SynthSettings s = startSettings();
    s.SampleRate = 44100;
    s.Frequency1 = 20;
    s.Level1 = 1.0f;
    s.Waveform = vellox::WaveStairsRising;
    const Synthesis r = synth(s, startModule());
    EXPECT_EQ(r.steps.PhaseStep1, float(20.0 * double(s.Pi) / 44100.0));
    EXPECT_EQ(r.samples[0], -20000);
    EXPECT_EQ(r.samples[4408], 19982); // 40000*4408/4410 - 20000 = 19981.86
    EXPECT_EQ(r.samples[4410], -20000); // the next period starts at index 4410
}

// ---------------------------------------------------------------------------------------
// Worked values of the shapes.

TEST(SynthesizeSignal, TriangleFramesAt98000And1000Hz)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveTriangle;
    s.Level1 = 1.0f;
    const Synthesis r = synth(s, startModule());
    const struct {
        int32_t frame;
        int16_t left;
    } table[] = { { 0, 0 }, { 1, -816 }, { 24, -19592 }, { 25, -19592 }, { 49, 0 }, { 73, 19592 },
        { 74, 19592 }, { 98, 0 } };
    for (const auto& row : table)
        EXPECT_EQ(leftAt(r, row.frame), row.left) << "frame " << row.frame;
}

TEST(SynthesizeSignal, PwmThresholdsAt98000And1000HzDuty50)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WavePwm;
    s.Level1 = 1.0f;
    const Synthesis r = synth(s, startModule());
    int low = 0, high = 0;
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const int32_t m = (2 * k) % 196;
        const int16_t expected = m <= 96 ? -20000 : 20000;
        ASSERT_EQ(leftAt(r, k), expected) << "frame " << k;
        if (k < 98)
            (expected < 0 ? low : high)++;
    }
    EXPECT_EQ(low, 49);
    EXPECT_EQ(high, 49);
}

TEST(SynthesizeSignal, PwmOddPeriodAt3000Hz)
{
    // F1Period 65.333..., P 65, threshold 32.67: odd remainders in every second period.
    SynthSettings s = startSettings();
    s.Waveform = vellox::WavePwm;
    s.Frequency1 = 3000;
    s.Level1 = 1.0f;
    const Synthesis r = synth(s, startModule());
    const struct {
        std::size_t i;
        int16_t left;
    } table[] = { { 0, -20000 }, { 32, -20000 }, { 34, 20000 }, { 64, 20000 }, { 66, -20000 },
        { 96, -20000 }, { 98, 20000 }, { 130, -20000 } };
    for (const auto& row : table)
        EXPECT_EQ(r.samples[row.i], row.left) << "index " << row.i;
}

TEST(SynthesizeSignal, PwmDuty100IsAConstantLowLevel)
{
    for (const int16_t mode : { 1, 6 }) {
        SynthSettings s = startSettings();
        s.Waveform = vellox::WavePwm;
        s.ChannelMode = mode;
        s.DutyPercent = 100;
        const Synthesis r = synth(s, startModule());
        const int16_t low = int16_t(roundToInt32(-20000.0 * double(s.Level1)));
        EXPECT_EQ(low, -14142);
        for (int32_t k = 0; k < filledFrames(98000); ++k)
            ASSERT_EQ(leftAt(r, k), low) << "frame " << k;
    }
}

TEST(SynthesizeSignal, SquareIsZeroAtTheFirstIndexWithoutNoise)
{
    for (const int16_t mode : { 1, 2, 3, 4, 6 }) {
        SynthSettings s = startSettings();
        s.Waveform = vellox::WaveSquare;
        s.ChannelMode = mode;
        EXPECT_EQ(synth(s, startModule()).samples[0], 0) << "mode " << mode;
    }
}

TEST(SynthesizeSignal, TrapezeFlatTopsAndRamps)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveTrapeze;
    s.Level1 = 1.0f;
    const Synthesis r = synth(s, startModule());
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const double s1 = std::sin(double(r.steps.PhaseStep1) * double(2 * k));
        if (std::fabs(s1) >= 0.33334) {
            ASSERT_EQ(leftAt(r, k), s1 > 0 ? 20000 : -20000) << "frame " << k;
        } else if (std::fabs(s1) < 0.3333) {
            ASSERT_NEAR(leftAt(r, k), 60000.0 * s1, 1.0) << "frame " << k;
        }
    }
}

TEST(SynthesizeSignal, StairsMirrorInModes1346)
{
    const int16_t modes[] = { 1, 3, 4, 6 };
    const int16_t frequencies[] = { 20, 1000, 3001, 20000 };
    for (std::size_t r = 0; r < std::size(Rates); ++r) {
        const int32_t rate = Rates[r];
        for (std::size_t m = 0; m < std::size(modes); ++m) {
            for (std::size_t f = 0; f < std::size(frequencies); ++f) {
                if (!vellox::synthgrid::inGrid(m * std::size(frequencies) + f, r, std::size(Rates)))
                    continue;
                const int16_t mode = modes[m];
                const int16_t f1 = frequencies[f];
                SynthSettings s = startSettings();
                s.SampleRate = rate;
                s.ChannelMode = mode;
                s.Frequency1 = f1;
                s.Level1 = 1.0f;
                s.Level2 = levelStep(3);
                s.Waveform = vellox::WaveStairsFalling;
                const Synthesis falling = synth(s, startModule());
                s.Waveform = vellox::WaveStairsRising;
                const Synthesis rising = synth(s, startModule());
                for (int32_t k = 0; k < filledFrames(rate); ++k)
                    ASSERT_EQ(leftAt(falling, k), -leftAt(rising, k))
                        << rate << " mode " << mode << " F1 " << f1 << " frame " << k;
            }
        }
    }
}

TEST(SynthesizeSignal, StairsDoNotMirrorInModes2And5)
{
    for (const int16_t mode : { 2, 5 }) {
        SynthSettings s = startSettings();
        s.ChannelMode = mode;
        s.Waveform = vellox::WaveStairsFalling;
        const Synthesis falling = synth(s, startModule());
        s.Waveform = vellox::WaveStairsRising;
        const Synthesis rising = synth(s, startModule());
        int differing = 0;
        for (int32_t k = 0; k < filledFrames(98000); ++k)
            differing += leftAt(falling, k) != -leftAt(rising, k);
        EXPECT_GT(differing, 1000) << "mode " << mode;
    }
}

// ---------------------------------------------------------------------------------------
// Modulation.

TEST(SynthesizeSignal, FmOfTrapezeTriangleAndFallingStairsIsSineFm)
{
    SynthSettings s = startSettings();
    s.ChannelMode = vellox::ModeFm;
    s.NoiseLevel = 0.5f;
    const Synthesis sine = synth(s, startModule());
    for (const int16_t wave : { 3, 5, 7 }) {
        s.Waveform = wave;
        EXPECT_EQ(firstDifference(synth(s, startModule()).samples, sine.samples), -1)
            << "waveform " << wave;
    }
}

TEST(SynthesizeSignal, SquareFmIsThreeLevelAndIgnoresLevel1)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveSquare;
    s.ChannelMode = vellox::ModeFm;
    s.Level1 = 1.0f;
    const Synthesis loud = synth(s, startModule());
    s.Level1 = levelStep(15);
    const Synthesis quiet = synth(s, startModule());
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const int16_t v = leftAt(loud, k);
        ASSERT_TRUE(v == -20000 || v == 0 || v == 20000) << "frame " << k << ": " << v;
        ASSERT_EQ(leftAt(quiet, k), v) << "frame " << k;
    }
}

TEST(SynthesizeSignal, RisingStairsFmIsAnInvertedSine)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveStairsRising;
    s.ChannelMode = vellox::ModeFm;
    const Synthesis r = synth(s, startModule());
    const double L1 = double(s.Level1), L2 = double(s.Level2);
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const double i = double(2 * k);
        const double s2 = std::sin(double(r.steps.PhaseStep2) * i);
        const double expected = -20000.0 * L1 * std::sin(double(r.steps.PhaseStep1) * i - L2 * s2);
        ASSERT_NEAR(leftAt(r, k), expected, 1.5) << "frame " << k;
    }
}

TEST(SynthesizeSignal, AmWithSmallestDepthIsNearlyTheUnmodulatedShape)
{
    for (const int16_t wave : { 0, 1, 2, 3, 5, 6 }) {
        SynthSettings s = startSettings();
        s.Waveform = wave;
        s.Level2 = levelStep(15);
        const Synthesis plain = synth(s, startModule());
        s.ChannelMode = vellox::ModeAm;
        const Synthesis am = synth(s, startModule());
        for (int32_t k = 0; k < filledFrames(98000); ++k)
            ASSERT_NEAR(leftAt(am, k), leftAt(plain, k), 20000.0 * 0.0057 + 1) << wave << " " << k;
    }
}

TEST(SynthesizeSignal, ModeTwoClipsAt32767WhereTheSinesAddUp)
{
    SynthSettings s = startSettings();
    s.ChannelMode = vellox::ModeF1PlusF2;
    s.Level1 = 1.0f;
    s.Level2 = 1.0f;
    const Synthesis r = synth(s, startModule());
    int clippedHigh = 0, clippedLow = 0;
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const double i = double(2 * k);
        const double sum
            = std::sin(double(r.steps.PhaseStep1) * i) + std::sin(double(r.steps.PhaseStep2) * i);
        if (sum > 1.63835 + 1e-9) {
            ASSERT_EQ(leftAt(r, k), 32767) << "frame " << k;
            ++clippedHigh;
        } else if (sum < -1.63835 - 1e-9) {
            ASSERT_EQ(leftAt(r, k), -32767) << "frame " << k;
            ++clippedLow;
        } else {
            ASSERT_NEAR(leftAt(r, k), 20000.0 * sum, 0.5 + 1e-6) << "frame " << k;
        }
    }
    EXPECT_GT(clippedHigh, 100);
    EXPECT_GT(clippedLow, 100);
}

TEST(SynthesizeSignal, PwmFmKeepsItsPeriodUsableAtTheExtremes)
{
    // Highest F1 at the lowest rate (F1Period 4.41) with the deepest period modulation.
    for (const int16_t f2 : { 20, 20000 }) {
        SynthSettings s = startSettings();
        s.SampleRate = 44100;
        s.Frequency1 = 20000;
        s.Frequency2 = f2;
        s.Level2 = 1.0f;
        s.Waveform = vellox::WavePwm;
        s.ChannelMode = vellox::ModeFm;
        EXPECT_NO_THROW(synth(s, startModule())) << "F2 " << f2;
    }
}

// ---------------------------------------------------------------------------------------
// Noise.

TEST(SynthesizeSignal, WhiteNoiseWithoutNoiseIsOneEverywhere)
{
    for (const int32_t rate : Rates) {
        for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
            SynthSettings s = startSettings();
            s.SampleRate = rate;
            s.Waveform = vellox::WaveNoise;
            s.ChannelMode = mode;
            const Synthesis r = synth(s, startModule());
            for (int32_t k = 0; k < filledFrames(rate); ++k)
                ASSERT_EQ(leftAt(r, k), 1) << rate << " mode " << mode << " frame " << k;
        }
    }
}

TEST(SynthesizeSignal, WhiteNoiseAtFullNoiseStaysInBoundsAndIsTriangular)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveNoise;
    s.NoiseLevel = 1.0f;
    const Synthesis r = synth(s, startModule());
    int16_t lo = 32767, hi = -32767;
    double sum = 0;
    int inner = 0;
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const int16_t v = leftAt(r, k);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
        inner += std::abs(v - 1) < 10000;
    }
    // (u1 - u2) lies in (-1, 1): int32(20000*(u1 - u2) + 1) in -19999..20001.
    EXPECT_GE(lo, -19999);
    EXPECT_LE(hi, 20001);
    EXPECT_LT(lo, -18000);
    EXPECT_GT(hi, 18000);
    EXPECT_NEAR(sum / 98000.0, 1.0, 200.0);
    EXPECT_NEAR(inner / 98000.0, 0.75, 0.02); // triangular: P(|x| < 1/2) = 3/4
}

TEST(SynthesizeSignal, SineWithFullNoiseSpreadsAroundTheCleanSignalAndClips)
{
    SynthSettings s = startSettings();
    s.ChannelMode = vellox::ModeStereo;
    s.NoiseLevel = 1.0f;
    const Synthesis r = synth(s, startModule());
    bool clippedHigh = false, clippedLow = false;
    for (int32_t k = 0; k < filledFrames(98000); ++k) {
        const double clean
            = 20000.0 * double(s.Level1) * std::sin(double(r.steps.PhaseStep1) * double(2 * k));
        const int16_t v = leftAt(r, k);
        clippedHigh |= v == 32767;
        clippedLow |= v == -32767;
        if (std::abs(v) < 32767) {
            ASSERT_LT(std::fabs(v - clean), 20001.0) << "frame " << k;
        }
    }
    EXPECT_TRUE(clippedHigh);
    EXPECT_TRUE(clippedLow);
}

TEST(SynthesizeSignal, EveryNoisyLeftSampleTakesTwoDraws)
{
    for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
        if (wave == 8 || wave == 9)
            continue;
        for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
            SynthSettings s = startSettings();
            s.SampleRate = 44100;
            s.Waveform = wave;
            s.ChannelMode = mode;
            EXPECT_EQ(synth(s, startModule()).draws, 88200u) << wave << " mode " << mode;
        }
    }
}

TEST(SynthesizeSignal, SameSeedSameBufferOtherSeedOtherNoise)
{
    SynthSettings s = startSettings();
    s.NoiseLevel = 1.0f;
    EXPECT_EQ(synth(s, startModule(), 5).samples, synth(s, startModule(), 5).samples);
    EXPECT_NE(synth(s, startModule(), 5).samples, synth(s, startModule(), 6).samples);
}

// ---------------------------------------------------------------------------------------
// Properties over every waveform and mode.

TEST(SynthesizeSignal, RightChannelIsTheCleanSineInEveryModeAndWaveform)
{
    const int32_t rates[] = { 44100, 192000 };
    for (std::size_t r = 0; r < std::size(rates); ++r) {
        const int32_t rate = rates[r];
        for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
            for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
                if (!vellox::synthgrid::inGrid(
                        std::size_t(wave * vellox::ModeEnd + mode), r, std::size(rates)))
                    continue;
                SynthSettings s = startSettings();
                s.SampleRate = rate;
                s.Frequency1 = 1234;
                s.Frequency2 = 567;
                s.Level1 = levelStep(1);
                s.Level2 = levelStep(4);
                s.NoiseLevel = 1.0f;
                s.Waveform = wave;
                s.ChannelMode = mode;
                const Synthesis r = synth(s, startModule());
                const double step = double(mode == 1 ? r.steps.PhaseStep1 : r.steps.PhaseStep2);
                const double level = double(mode == 1 ? s.Level1 : s.Level2);
                for (int32_t k = 0; k < filledFrames(rate); ++k) {
                    const double clean = std::sin(step * double(2 * k)) * 20000.0 * level;
                    ASSERT_EQ(rightAt(r, k), roundToInt32(clean))
                        << rate << " waveform " << wave << " mode " << mode << " frame " << k;
                }
            }
        }
    }
}

TEST(SynthesizeSignal, MinusFullScaleNeverAppears)
{
    Module1 m = startModule();
    m.BitCode = "9191";
    for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
        for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
            SynthSettings s = startSettings();
            s.Level1 = 1.0f;
            s.Level2 = 1.0f;
            s.NoiseLevel = 1.0f;
            s.Waveform = wave;
            s.ChannelMode = mode;
            const Synthesis r = synth(s, m);
            const auto lowest = *std::min_element(r.samples.begin(), r.samples.end());
            const auto highest = *std::max_element(r.samples.begin(), r.samples.end());
            EXPECT_GE(lowest, -32767) << "waveform " << wave << " mode " << mode;
            EXPECT_LE(highest, 32767);
            if (wave == 7 && mode == 3) {
                EXPECT_EQ(lowest, -32767) << "falling stairs AM reaches -60000 before clipping";
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Bit codes.

TEST(SynthesizeSignal, BitFramesPerRateSendThePatternThenSilence)
{
    const struct {
        int32_t rate;
        int32_t bitFrames;
    } table[] = { { 98000, 98 }, { 44100, 44 }, { 192000, 192 } };
    const std::string pattern = startModule().BitCode;
    for (const auto& row : table) {
        SynthSettings s = startSettings();
        s.SampleRate = row.rate;
        s.Waveform = vellox::WaveBitCode;
        s.Level1 = 1.0f;
        const Synthesis r = synth(s, startModule());
        const int32_t sent = 32 * row.bitFrames;
        for (int32_t k = 0; k < filledFrames(row.rate); ++k) {
            const int16_t expected
                = k < sent ? (pattern[std::size_t(k / row.bitFrames)] == '1' ? -20000 : 20000) : 0;
            ASSERT_EQ(leftAt(r, k), expected) << row.rate << " frame " << k;
        }
        EXPECT_EQ(r.draws, std::size_t(2 * sent)) << "no draws in the silence";
    }
}

TEST(SynthesizeSignal, BitFramesRoundBitLengthTimesRatePlusTwoTenths)
{
    const struct {
        int32_t rate;
        double bitLength; // seconds, stored as float32
        int32_t bitFrames;
    } table[] = {
        { 44100, 20e-6, 1 }, // 0.882 + 0.2 = 1.082
        { 98000, 20e-6, 2 }, // 1.96 + 0.2 = 2.16
        { 192000, 20e-6, 4 }, // 3.84 + 0.2 = 4.04
        { 44100, 30e-6, 2 }, // 1.323 + 0.2 = 1.523
        { 98000, 2.25 / 98000, 2 }, // 2.25 + 0.2 = 2.45
        { 98000, 2.35 / 98000, 3 }, // 2.35 + 0.2 = 2.55
        { 44100, 1.0 / 1000, 44 }, // 44.1 + 0.2 = 44.3
    };
    for (const auto& row : table) {
        SynthSettings s = startSettings();
        s.SampleRate = row.rate;
        s.Waveform = vellox::WaveBitCode;
        s.Level1 = 1.0f;
        Module1 m = startModule();
        m.BitCode = "10";
        m.BitLength = float(row.bitLength);
        const Synthesis r = synth(s, m);
        for (int32_t k = 0; k < row.bitFrames; ++k)
            ASSERT_EQ(leftAt(r, k), -20000) << row.rate << " " << row.bitLength << " frame " << k;
        for (int32_t k = row.bitFrames; k < 2 * row.bitFrames; ++k)
            ASSERT_EQ(leftAt(r, k), 20000) << row.rate << " " << row.bitLength << " frame " << k;
        EXPECT_EQ(leftAt(r, 2 * row.bitFrames), 0) << row.rate << " " << row.bitLength;
    }
}

TEST(SynthesizeSignal, BitCodeSilenceHasNoNoise)
{
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveBitCode;
    s.NoiseLevel = 1.0f;
    const Synthesis r = synth(s, startModule());
    int noisy = 0;
    for (int32_t k = 0; k < 3136; ++k)
        noisy += std::abs(leftAt(r, k)) != 14142;
    EXPECT_GT(noisy, 3000);
    for (int32_t k = 3136; k < filledFrames(98000); ++k)
        ASSERT_EQ(leftAt(r, k), 0) << "frame " << k;
    EXPECT_EQ(r.draws, 2u * 3136u);
}

TEST(SynthesizeSignal, BitsOfHalfASecondFillTheSecondWithTheFirstTwo)
{
    Module1 m = startModule(); // "10..."
    m.BitLength = 0.5f;
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveBitCode;
    const Synthesis r = synth(s, m);
    for (int32_t k = 0; k < filledFrames(98000); ++k)
        ASSERT_EQ(leftAt(r, k), k < 49000 ? -14142 : 14142) << "frame " << k;
}

TEST(SynthesizeSignal, TwoToneSingleOneIsF2ThenSilence)
{
    Module1 m = startModule();
    m.BitCode = "1";
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveBitTwoTone;
    s.ChannelMode = vellox::ModeStereo; // right = F2 at Level2
    const Synthesis r = synth(s, m);
    for (int32_t k = 0; k < 98; ++k)
        ASSERT_NEAR(leftAt(r, k), rightAt(r, k), 1) << "frame " << k;
    EXPECT_NE(leftAt(r, 50), 0);
    for (int32_t k = 98; k < filledFrames(98000); ++k)
        ASSERT_EQ(leftAt(r, k), 0) << "frame " << k;
}

TEST(SynthesizeSignal, SymbolsOtherThanDigitsSendZeroAndDigitsCountByValue)
{
    const struct {
        int16_t wave;
        const char* pattern;
        const char* sameAs;
    } table[] = {
        { vellox::WaveBitCode, "a b\n-.", "000000" },
        { vellox::WaveBitTwoTone, "a b\n-.", "000000" },
        { vellox::WaveBitTwoTone, "1234567890x", "11111111100" },
        { vellox::WaveBitCode, "0\t1", "001" },
    };
    for (const auto& row : table) {
        SynthSettings s = startSettings();
        s.Waveform = row.wave;
        s.ChannelMode = vellox::ModeStereo;
        s.NoiseLevel = 0.5f;
        Module1 a = startModule(), b = startModule();
        a.BitCode = row.pattern;
        b.BitCode = row.sameAs;
        EXPECT_EQ(firstDifference(synth(s, a).samples, synth(s, b).samples), -1) << row.sameAs;
    }
    // A digit 2..9 drives "Bit Code" below full scale: (20000 - 40000*v)*Level1, clipped.
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveBitCode;
    s.Level1 = 1.0f;
    Module1 m = startModule();
    m.BitCode = "23456789";
    const Synthesis r = synth(s, m);
    for (int32_t k = 0; k < 8 * 98; ++k)
        ASSERT_EQ(leftAt(r, k), -32767) << "frame " << k;
    EXPECT_EQ(leftAt(r, 8 * 98), 0);
}

TEST(SynthesizeSignal, EmptyPatternIsSilentWithoutDraws)
{
    for (const int16_t wave : { 8, 9 }) {
        for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
            SynthSettings s = startSettings();
            s.Waveform = wave;
            s.ChannelMode = mode;
            s.NoiseLevel = 1.0f;
            Module1 m = startModule();
            m.BitCode.clear();
            const Synthesis r = synth(s, m);
            for (int32_t k = 0; k < filledFrames(98000); ++k)
                ASSERT_EQ(leftAt(r, k), 0);
            EXPECT_EQ(r.draws, 0u);
        }
    }
}

TEST(SynthesizeSignal, PatternLongerThan32767SymbolsIsSentWhole)
{
    // 20 us at 44100 Hz, the dialog's shortest bit: one frame per bit, so 44100 bits fit
    // into the second and a 40000-bit pattern (0.8 s, which the dialog accepts) is sent
    // whole, not cut at a 16-bit count.
    SynthSettings s = startSettings();
    s.Waveform = vellox::WaveBitCode;
    s.Level1 = 1.0f;
    s.SampleRate = 44100;
    Module1 m = startModule();
    m.BitCode = std::string(40000, '1');
    m.BitLength = float(20.0 / 1000000.0);
    const Synthesis r = synth(s, m);
    for (int32_t k = 0; k < filledFrames(44100); ++k)
        ASSERT_EQ(leftAt(r, k), k < 40000 ? -20000 : 0) << "frame " << k;
}

TEST(SynthesizeSignal, BitLengthBelowOneFrameIsAnError)
{
    SynthSettings s = startSettings();
    s.SampleRate = 44100;
    Module1 m = startModule();
    m.BitLength = 1e-6f; // int32(0.0441 + 0.2) = 0 frames per bit
    for (const int16_t wave : { 8, 9 }) {
        s.Waveform = wave;
        EXPECT_THROW(synth(s, m), std::range_error) << wave;
    }
    s.Waveform = vellox::WaveSine; // the bit length is not read by other waveforms
    EXPECT_NO_THROW(synth(s, m));
}

// ---------------------------------------------------------------------------------------
// Unknown selectors and preconditions.

TEST(SynthesizeSignal, UnknownSelectorsLeaveTheLeftChannelSilentWithoutDraws)
{
    const struct {
        int16_t wave;
        int16_t mode;
        int16_t left; // every written left value
        std::size_t draws;
    } table[] = {
        { -1, 1, 0, 0 },
        { 11, 3, 0, 0 },
        { 0, 0, 0, 0 },
        { 6, 7, 0, 0 },
        { 7, -1, 0, 0 },
        { 10, 0, 0, 0 },
        { 4, 0, 1, 196000 },
        { 4, 9, 1, 196000 },
    };
    for (const auto& row : table) {
        SynthSettings s = startSettings();
        s.Waveform = row.wave;
        s.ChannelMode = row.mode;
        const Synthesis r = synth(s, startModule());
        for (int32_t k = 0; k < filledFrames(98000); ++k) {
            ASSERT_EQ(leftAt(r, k), row.left) << row.wave << "/" << row.mode << " frame " << k;
            const bool f1 = row.mode == 1;
            const double step = double(f1 ? r.steps.PhaseStep1 : r.steps.PhaseStep2);
            const double level = double(f1 ? s.Level1 : s.Level2);
            const int32_t right = roundToInt32(std::sin(step * double(2 * k)) * 20000.0 * level);
            ASSERT_EQ(rightAt(r, k), right) << row.wave << "/" << row.mode << " frame " << k;
        }
        EXPECT_EQ(r.draws, row.draws) << row.wave << "/" << row.mode;
    }
}

TEST(SynthesizeSignal, BrokenPreconditionsAreErrorsNotGarbage)
{
    const std::function<void(SynthSettings&)> cases[] = {
        [](SynthSettings& s) { s.SampleRate = 47999; }, [](SynthSettings& s) { s.SampleRate = 0; },
        [](SynthSettings& s) { s.SampleRate = -98000; },
        [](SynthSettings& s) { s.Frequency1 = 19; }, [](SynthSettings& s) { s.Frequency1 = 0; },
        [](SynthSettings& s) { s.Frequency2 = 20001; },
        [](SynthSettings& s) { s.Frequency2 = -100; },
        [](SynthSettings& s) { s.Level1 = std::nanf(""); },
        [](SynthSettings& s) { s.NoiseLevel = INFINITY; },
        [](SynthSettings& s) { s.Pi = std::nanf(""); },
        [](SynthSettings& s) { s.Level1 = 1e30f; }, // beyond int32: an error, never a wrap
    };
    int n = 0;
    for (const auto& apply : cases) {
        SynthSettings s = startSettings();
        apply(s);
        EXPECT_THROW(synth(s, startModule()), std::range_error) << "case " << n++;
    }
}

} // namespace
