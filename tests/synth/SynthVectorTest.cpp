// The vector engine against the plain reference on every path this CPU runs (the scalar
// loops, AVX2, AVX-512), and its fallback: values it cannot prove exact are recomputed.

#include "SynthVector.h"
#include "SynthGrid.h"
#include "SynthPath.h"
#include "SynthReference.h"
#include "Synthesizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using vellox::Module1;
using vellox::SynthesizeSignal;
using vellox::SynthSettings;
using vellox::UniformSource;
namespace synthpath = vellox::synthpath;
using synthpath::Path;

namespace {

constexpr uint64_t Seed = 77001;
const auto& Rates = vellox::PlayableRates; // the window's three and the sound card's own
const Path Paths[] = { Path::Scalar, Path::Avx2, Path::Avx512 };

const char* nameOf(Path p)
{
    return p == Path::Scalar ? "scalar" : (p == Path::Avx2 ? "avx2" : "avx512");
}

SynthSettings settings(int32_t rate, int16_t wave, int16_t mode)
{
    SynthSettings s = vellox::startSynthSettings();
    s.SampleRate = rate;
    s.Waveform = wave;
    s.ChannelMode = mode;
    return s;
}

Module1 module()
{
    return vellox::startModule1();
}

// The next three draws of a source: equal triples mean equal positions in the sequence.
std::vector<float> nextDraws(UniformSource& r)
{
    return { r.next(), r.next(), r.next() };
}

long firstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    if (a.size() != b.size())
        return 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k] != b[k])
            return long(k);
    return -1;
}

// Whether this CPU runs a vector path; the tests of the vector paths alone skip without one
// rather than compute references that nothing is compared with.
bool anyVectorPath()
{
    return synthpath::supported(Path::Avx2) || synthpath::supported(Path::Avx512);
}

// Restores the detected path and clears the hooks whatever a test does.
class PathTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        synthpath::resetPath();
        synthpath::setTestHooks(0.0, 0);
    }
};

struct Outcome {
    std::vector<int16_t> samples;
    std::vector<float> after; // the source's next draws after the call
    synthpath::Stats stats;
};

Outcome runOn(Path path, const SynthSettings& s, const Module1& m, uint64_t seed)
{
    synthpath::forcePath(path);
    Outcome r;
    UniformSource random(seed);
    SynthesizeSignal(s, m, random, r.samples);
    r.stats = synthpath::lastStats();
    r.after = nextDraws(random);
    return r;
}

reference::Result referenceOf(
    const SynthSettings& s, const Module1& m, uint64_t seed, std::vector<float>& after)
{
    UniformSource random(seed);
    reference::Result want = reference::synthesize(s, m, random);
    after = nextDraws(random);
    return want;
}

// ---------------------------------------------------------------------------------------

TEST_F(PathTest, ScalarPathIsAlwaysThereAndTheEnvironmentCanForceIt)
{
    EXPECT_TRUE(synthpath::supported(Path::Scalar));
    const char* env = std::getenv("VELLOX_SYNTH_SCALAR");
    if (env != nullptr && std::strcmp(env, "0") != 0) {
        EXPECT_EQ(synthpath::detectedPath(), Path::Scalar);
    } else if (synthpath::supported(Path::Avx512)) {
        EXPECT_EQ(synthpath::detectedPath(), Path::Avx512);
    } else if (synthpath::supported(Path::Avx2)) {
        EXPECT_EQ(synthpath::detectedPath(), Path::Avx2);
    }

    const SynthSettings s = settings(44100, vellox::WaveSine, vellox::ModeFm);
    Outcome r = runOn(Path::Scalar, s, module(), Seed);
    EXPECT_EQ(r.stats.path, Path::Scalar);
    EXPECT_EQ(r.stats.vectorFrames, 0);
    if (synthpath::supported(Path::Avx2)) {
        r = runOn(Path::Avx2, s, module(), Seed);
        EXPECT_EQ(r.stats.path, Path::Avx2);
        EXPECT_EQ(r.stats.vectorFrames, vellox::filledFrames(44100));
    }
}

// Every path, rate, waveform and mode, noisy with a fixed seed and noise-free with
// unrelated seeds (no noise: the values cannot depend on the draws, only their count).
TEST_F(PathTest, EveryPathEqualsTheReferenceEverywhere)
{
    for (std::size_t r = 0; r < std::size(Rates); ++r) {
        const int32_t rate = Rates[r];
        for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
            for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
                if (!vellox::synthgrid::inGrid(
                        std::size_t(wave * vellox::ModeEnd + mode), r, std::size(Rates)))
                    continue;
                for (const bool noisy : { true, false }) {
                    SynthSettings s = settings(rate, wave, mode);
                    s.NoiseLevel = noisy ? 0.7f : 0.0f;
                    const uint64_t refSeed = noisy ? Seed : std::random_device {}();
                    std::vector<float> wantAfter;
                    const auto want = referenceOf(s, module(), refSeed, wantAfter);
                    for (const Path path : Paths) {
                        if (!synthpath::supported(path))
                            continue;
                        SCOPED_TRACE(std::string(nameOf(path)) + " rate " + std::to_string(rate)
                            + " waveform " + std::to_string(wave) + " mode " + std::to_string(mode)
                            + (noisy ? " seeded noise" : " no noise"));
                        const uint64_t seed = noisy ? Seed : std::random_device {}();
                        const Outcome got = runOn(path, s, module(), seed);
                        const long at = firstDifference(got.samples, want.Samples);
                        ASSERT_EQ(at, -1)
                            << "got " << got.samples[std::size_t(std::max(at, 0L))] << " want "
                            << want.Samples[std::size_t(std::max(at, 0L))];
                        EXPECT_EQ(got.stats.path, path);
                        if (noisy) {
                            EXPECT_EQ(got.after, wantAfter); // same number of draws
                        } else {
                            // Same count of draws: compare with the reference at this seed.
                            std::vector<float> after;
                            referenceOf(s, module(), seed, after);
                            EXPECT_EQ(got.after, after);
                        }
                    }
                }
            }
        }
    }
}

// Harder settings on the vector paths: extreme frequencies and levels, odd duty, full noise.
TEST_F(PathTest, ExtremeSettingsEqualTheReference)
{
    if (!anyVectorPath())
        GTEST_SKIP() << "no vector path on this CPU";
    struct Case {
        int16_t f1, f2;
        float l1, l2, noise;
        int32_t duty;
    };
    const Case cases[] = {
        { 20, 20000, 1.0f, 1.0f, 1.0f, 1 },
        { 20000, 20, 0.0056f, 1.0f, 0.3f, 100 },
        { 19999, 19998, 1.0f, 1.0f, 0.0f, 99 },
        { 3001, 777, 0.5f, 0.25f, 0.1f, 33 },
    };
    for (const Case& cs : cases) {
        for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
            for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
                SynthSettings s = settings(98000, wave, mode);
                s.Frequency1 = cs.f1;
                s.Frequency2 = cs.f2;
                s.Level1 = cs.l1;
                s.Level2 = cs.l2;
                s.NoiseLevel = cs.noise;
                s.DutyPercent = cs.duty;
                std::vector<float> wantAfter;
                const auto want = referenceOf(s, module(), Seed, wantAfter);
                for (const Path path : { Path::Avx2, Path::Avx512 }) {
                    if (!synthpath::supported(path))
                        continue;
                    SCOPED_TRACE(std::string(nameOf(path)) + " f1 " + std::to_string(cs.f1)
                        + " waveform " + std::to_string(wave) + " mode " + std::to_string(mode));
                    const Outcome got = runOn(path, s, module(), Seed);
                    ASSERT_EQ(firstDifference(got.samples, want.Samples), -1);
                    EXPECT_EQ(got.after, wantAfter);
                }
            }
        }
    }
}

// With every bound scaled up by 2^60 no vector value is trusted: every frame takes the
// fallback, which must give the same buffer.
TEST_F(PathTest, FallbackOnEverySampleEqualsTheReference)
{
    if (!anyVectorPath())
        GTEST_SKIP() << "no vector path on this CPU";
    synthpath::setTestHooks(0.0, 60);
    for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
        for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
            SynthSettings s = settings(44100, wave, mode);
            s.NoiseLevel = 0.4f;
            std::vector<float> wantAfter;
            const auto want = referenceOf(s, module(), Seed, wantAfter);
            for (const Path path : { Path::Avx2, Path::Avx512 }) {
                if (!synthpath::supported(path))
                    continue;
                SCOPED_TRACE(std::string(nameOf(path)) + " waveform " + std::to_string(wave)
                    + " mode " + std::to_string(mode));
                const Outcome got = runOn(path, s, module(), Seed);
                ASSERT_EQ(firstDifference(got.samples, want.Samples), -1);
                EXPECT_EQ(got.after, wantAfter);
                // Every right value, and every left value that carries a sine.
                EXPECT_GE(got.stats.fallbacks, vellox::filledFrames(44100));
            }
        }
    }
}

// Sines deliberately off by 1e-6, with the bounds widened to cover that (2^22 * 2^-40 is
// about 3.8e-6): the checks must catch every value the error could move.
TEST_F(PathTest, SinesOffWithinTheBoundNeverChangeAValue)
{
    if (!anyVectorPath())
        GTEST_SKIP() << "no vector path on this CPU";
    for (const Path path : { Path::Avx2, Path::Avx512 }) {
        if (!synthpath::supported(path))
            continue;
        for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
            for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
                SynthSettings s = settings(98000, wave, mode);
                s.NoiseLevel = 0.2f;
                s.Level1 = 1.0f;
                s.Level2 = 1.0f;
                SCOPED_TRACE(std::string(nameOf(path)) + " waveform " + std::to_string(wave)
                    + " mode " + std::to_string(mode));
                std::vector<float> wantAfter;
                const auto want = referenceOf(s, module(), Seed, wantAfter);
                synthpath::setTestHooks(1e-6, 22);
                const Outcome got = runOn(path, s, module(), Seed);
                synthpath::setTestHooks(0.0, 0);
                ASSERT_EQ(firstDifference(got.samples, want.Samples), -1);
                EXPECT_EQ(got.after, wantAfter);
            }
        }
    }
}

// The same perturbation without the widened bound does change values: the hook works, and
// it is the bound that keeps the buffer exact.
TEST_F(PathTest, SinesOffBeyondTheBoundDoChangeValues)
{
    for (const Path path : { Path::Avx2, Path::Avx512 }) {
        if (!synthpath::supported(path))
            continue;
        SynthSettings s = settings(98000, vellox::WaveSine, vellox::ModeF1Both);
        std::vector<float> wantAfter;
        const auto want = referenceOf(s, module(), Seed, wantAfter);
        synthpath::setTestHooks(1e-6, 0);
        const Outcome got = runOn(path, s, module(), Seed);
        synthpath::setTestHooks(0.0, 0);
        EXPECT_NE(firstDifference(got.samples, want.Samples), -1) << nameOf(path);
    }
}

// Under the real bound, fallbacks are rare; "Square" has one at index 0, where s1 is 0 and
// its sign cannot be trusted from a vector sine.
TEST_F(PathTest, FallbacksAreRareAndSquareFallsBackAtZero)
{
    for (const Path path : { Path::Avx2, Path::Avx512 }) {
        if (!synthpath::supported(path))
            continue;
        for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
            for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
                SynthSettings s = settings(192000, wave, mode);
                s.NoiseLevel = 0.5f;
                const Outcome got = runOn(path, s, module(), Seed);
                SCOPED_TRACE(std::string(nameOf(path)) + " waveform " + std::to_string(wave)
                    + " mode " + std::to_string(mode));
                EXPECT_EQ(got.stats.vectorFrames, vellox::filledFrames(192000));
                EXPECT_LT(got.stats.fallbacks, 200); // of 384000 values
                if (wave == vellox::WaveSquare && mode != vellox::ModeFm) {
                    EXPECT_GE(got.stats.fallbacks, 1);
                }
            }
        }
    }
}

// The bulk draws need 312 draws to take over the generator; around that count, and well
// below it, the draws and the source's position must still match the reference.
TEST_F(PathTest, BitCodesAroundTheBulkDrawThreshold)
{
    if (!anyVectorPath())
        GTEST_SKIP() << "no vector path on this CPU";
    for (const std::size_t bits : { 1u, 155u, 156u, 157u, 400u }) {
        for (const int16_t wave :
            { int16_t(vellox::WaveBitCode), int16_t(vellox::WaveBitTwoTone) }) {
            SynthSettings s = settings(44100, wave, vellox::ModeF1PlusF2);
            s.NoiseLevel = 0.9f;
            Module1 m = module();
            m.BitCode.clear();
            for (std::size_t k = 0; k < bits; ++k)
                m.BitCode += (k % 3 == 0) ? '1' : (k % 5 == 0 ? '7' : '0');
            m.BitLength = float(20.0 / 1000000.0); // one frame per bit at 44100 Hz
            std::vector<float> wantAfter;
            const auto want = referenceOf(s, m, Seed, wantAfter);
            for (const Path path : { Path::Avx2, Path::Avx512 }) {
                if (!synthpath::supported(path))
                    continue;
                SCOPED_TRACE(std::string(nameOf(path)) + " bits " + std::to_string(bits)
                    + " waveform " + std::to_string(wave));
                const Outcome got = runOn(path, s, m, Seed);
                ASSERT_EQ(firstDifference(got.samples, want.Samples), -1);
                EXPECT_EQ(got.after, wantAfter);
            }
        }
    }
}

// A source that has already been used: the bulk draws continue from its position.
TEST_F(PathTest, BulkDrawsContinueAUsedSource)
{
    for (const Path path : { Path::Avx2, Path::Avx512 }) {
        if (!synthpath::supported(path))
            continue;
        const SynthSettings s = [] {
            SynthSettings x = settings(98000, vellox::WaveNoise, vellox::ModeStereo);
            x.NoiseLevel = 1.0f;
            return x;
        }();
        for (const int used : { 1, 311, 312, 313, 1000 }) {
            UniformSource a(Seed), b(Seed);
            for (int k = 0; k < used; ++k) {
                a.next();
                b.next();
            }
            synthpath::forcePath(path);
            std::vector<int16_t> got;
            SynthesizeSignal(s, module(), a, got);
            const auto want = reference::synthesize(s, module(), b);
            SCOPED_TRACE(std::string(nameOf(path)) + " used " + std::to_string(used));
            ASSERT_EQ(firstDifference(got, want.Samples), -1);
            EXPECT_EQ(nextDraws(a), nextDraws(b));
        }
    }
}

// The precise synthesis in the lanes of each vector path against its scalar loop (the scalar
// path): the same values to the last bit, but for FM, whose carrier is glibc's vector sine in
// lanes and libm's sin in the loop (within the precise synthesis's 1e-9 of a step); noisy,
// turned by a phase where one applies, and at 44100 Hz, whose last block ends inside a
// vector. The bytes of every format, with and without dither, are the same on every path.
TEST_F(PathTest, PreciseLanesEqualThePreciseLoop)
{
    using vellox::SignalOptions;
    for (const int32_t rate : { 44100, 48000 }) {
        for (int16_t wave = 0; wave < vellox::WaveformCount; ++wave) {
            for (int16_t mode = vellox::ModeF1Both; mode < vellox::ModeEnd; ++mode) {
                SynthSettings s = settings(rate, wave, mode);
                s.Frequency1 = 1001;
                s.Frequency2 = int16_t(mode == vellox::ModeStereo ? 1001 : 97);
                s.NoiseLevel = 0.3f;
                s.DutyPercent = 37;
                SignalOptions o;
                o.synthesis = vellox::Synthesis::Precise;
                o.phaseDegrees = 123;
                const auto run = [&](Path path, std::vector<float>& after) {
                    synthpath::forcePath(path);
                    UniformSource random(Seed);
                    std::vector<double> v;
                    synthpath::signalValues(s, module(), o, random, v);
                    after = nextDraws(random);
                    return v;
                };
                std::vector<float> wantAfter;
                const std::vector<double> want = run(Path::Scalar, wantAfter);
                for (const Path path : { Path::Avx2, Path::Avx512 }) {
                    if (!synthpath::supported(path))
                        continue;
                    SCOPED_TRACE(std::string(nameOf(path)) + " rate " + std::to_string(rate)
                        + " waveform " + std::to_string(wave) + " mode " + std::to_string(mode));
                    std::vector<float> after;
                    const std::vector<double> got = run(path, after);
                    ASSERT_EQ(got.size(), want.size());
                    EXPECT_EQ(after, wantAfter);
                    const bool carrier = mode == vellox::ModeFm && vellox::dependsOnMode(wave)
                        && wave != vellox::WavePwm;
                    for (std::size_t i = 0; i < got.size(); ++i) {
                        if (carrier)
                            ASSERT_NEAR(got[i], want[i], 1e-9) << "value " << i;
                        else
                            ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof(double)), 0)
                                << "value " << i << ": " << got[i] << " want " << want[i];
                    }
                }
            }
        }
    }

    const SynthSettings s = settings(44100, vellox::WaveSine, vellox::ModeF1PlusF2);
    for (const auto format :
        { vellox::SampleFormat::S16, vellox::SampleFormat::S24, vellox::SampleFormat::F32 }) {
        for (const auto dither : { vellox::Dither::None, vellox::Dither::Tpdf }) {
            SignalOptions o;
            o.synthesis = vellox::Synthesis::Precise;
            o.format = format;
            o.dither = dither;
            const auto bytes = [&](Path path) {
                synthpath::forcePath(path);
                UniformSource random(Seed);
                vellox::SignalBuffer b;
                vellox::SynthesizeFrames(s, module(), o, random, b);
                return b.bytes;
            };
            const auto want = bytes(Path::Scalar);
            for (const Path path : { Path::Avx2, Path::Avx512 }) {
                if (!synthpath::supported(path))
                    continue;
                SCOPED_TRACE(std::string(nameOf(path)) + " " + vellox::sampleFormatName(format)
                    + " " + vellox::ditherName(dither));
                EXPECT_TRUE(bytes(path) == want);
            }
        }
    }
}

// The dither's bulk draws are its draws one at a time (drawDither) and leave the source where
// as many draws would, from a fresh or a used source, around the 312 draws the bulk needs:
// one seed dithers alike on every machine. A fault in their low bits would move a rounded sample
// too rarely for a comparison of bytes to show it.
TEST_F(PathTest, BulkDitherDrawsAreTheDrawsOneByOne)
{
    for (const Path path : { Path::Avx2, Path::Avx512 }) {
        if (!synthpath::supported(path))
            continue;
        for (const int32_t n : { 1, 623, 624, 625, 1249, 96001 }) {
            for (const int used : { 0, 5 }) {
                SCOPED_TRACE(std::string(nameOf(path)) + " n " + std::to_string(n) + " used "
                    + std::to_string(used));
                UniformSource a(Seed), b(Seed);
                for (int k = 0; k < used; ++k) {
                    a.next();
                    b.next();
                }
                const std::size_t count = std::size_t(n);
                std::vector<double> want(count), got(count);
                vellox::synthvector::drawDitherDifferences(Path::Scalar, a, want.data(), n);
                vellox::synthvector::drawDitherDifferences(path, b, got.data(), n);
                ASSERT_EQ(got, want);
                EXPECT_EQ(nextDraws(a), nextDraws(b));
            }
        }
    }
}

} // namespace
