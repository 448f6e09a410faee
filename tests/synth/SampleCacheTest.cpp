// The sample cache takes a buffer again only for the very inputs it was made from. A
// buffer taken again is told from a computed one by a mark: the value after the filled
// frames is always 0 in a synthesized buffer, and the test sets it to 1 in the buffer it
// holds; a buffer taken again keeps the mark.

#include "SampleCache.h"
#include "Synthesizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

using vellox::Module1;
using vellox::SampleCache;
using vellox::SignalOptions;
using vellox::SynthSettings;
using vellox::UniformSource;

namespace {

// The number of fields of an aggregate: the most initializers its braces take.
struct AnyField {
    template <class T> operator T() const;
};
template <class T, std::size_t... I> constexpr bool takes(std::index_sequence<I...>)
{
    return requires
    {
        T { (void(I), AnyField {})... };
    };
}
template <class T, std::size_t N = 1> constexpr std::size_t fieldCount()
{
    if constexpr (takes<T>(std::make_index_sequence<N> {}))
        return fieldCount<T, N + 1>();
    else
        return N - 1;
}

std::vector<int16_t> fresh(const SynthSettings& s, const Module1& m, const SignalOptions& o = {})
{
    UniformSource random(1);
    std::vector<int16_t> samples;
    if (o == SignalOptions {}) {
        vellox::SynthesizeSignal(s, m, random, samples);
    } else {
        vellox::SignalBuffer frames;
        vellox::SynthesizeFrames(s, m, o, random, frames);
        vellox::samples16(frames, samples);
    }
    return samples;
}

void mark(std::vector<int16_t>& samples)
{
    samples.back() = 1;
}
bool marked(const std::vector<int16_t>& samples)
{
    return samples.back() == 1;
}

struct FieldChange {
    const char* field;
    std::function<void(SynthSettings&, Module1&, SignalOptions&)> change;
};

// One change per field of the cache's inputs, each to a value the synthesis accepts.
const FieldChange FieldChanges[] = {
    { "SampleRate", [](SynthSettings& s, Module1&, SignalOptions&) { s.SampleRate = 44100; } },
    { "Frequency1", [](SynthSettings& s, Module1&, SignalOptions&) { s.Frequency1 = 1001; } },
    { "Frequency2", [](SynthSettings& s, Module1&, SignalOptions&) { s.Frequency2 = 101; } },
    { "Pi", [](SynthSettings& s, Module1&, SignalOptions&) { s.Pi = std::nextafter(s.Pi, 4.0f); } },
    { "Level1", [](SynthSettings& s, Module1&, SignalOptions&) { s.Level1 = 0.5f; } },
    { "Level2", [](SynthSettings& s, Module1&, SignalOptions&) { s.Level2 = 0.5f; } },
    // The buffer made at noise 0 is kept; noise in the next settings must not take it.
    { "NoiseLevel", [](SynthSettings& s, Module1&, SignalOptions&) { s.NoiseLevel = 0.1f; } },
    { "Waveform",
        [](SynthSettings& s, Module1&, SignalOptions&) { s.Waveform = vellox::WaveSquare; } },
    { "ChannelMode",
        [](SynthSettings& s, Module1&, SignalOptions&) { s.ChannelMode = vellox::ModeF1PlusF2; } },
    { "DutyPercent", [](SynthSettings& s, Module1&, SignalOptions&) { s.DutyPercent = 49; } },
    { "BitCode", [](SynthSettings&, Module1& m, SignalOptions&) { m.BitCode = "1"; } },
    { "RepetitiveTime",
        [](SynthSettings&, Module1& m, SignalOptions&) { m.RepetitiveTime = 0.5f; } },
    { "BitLength", [](SynthSettings&, Module1& m, SignalOptions&) { m.BitLength = 0.002f; } },
    { "synthesis",
        [](SynthSettings&, Module1&, SignalOptions& o) {
            o.synthesis = vellox::Synthesis::Precise;
        } },
    { "dither",
        [](SynthSettings&, Module1&, SignalOptions& o) { o.dither = vellox::Dither::Tpdf; } },
    { "format",
        [](SynthSettings&, Module1&, SignalOptions& o) { o.format = vellox::SampleFormat::S24; } },
    { "phaseDegrees", [](SynthSettings&, Module1&, SignalOptions& o) { o.phaseDegrees = 90; } },
    { "ditherSeed", [](SynthSettings&, Module1&, SignalOptions& o) { o.ditherSeed = 2; } },
};

// A field added to any of the structs needs its row above.
static_assert(fieldCount<SynthSettings>() + fieldCount<Module1>() + fieldCount<SignalOptions>()
    == std::size(FieldChanges));

} // namespace

TEST(SampleCache, TakesTheBufferAgainForTheSameInputs)
{
    SampleCache cache;
    UniformSource random(1);
    std::vector<int16_t> samples;
    const SynthSettings s = vellox::startSynthSettings();
    const Module1 m = vellox::startModule1();
    cache.synthesize(s, m, random, samples);
    EXPECT_EQ(samples, fresh(s, m));
    mark(samples);
    cache.synthesize(s, m, random, samples);
    EXPECT_TRUE(marked(samples));
}

TEST(SampleCache, EveryFieldOfTheInputsCounts)
{
    for (const FieldChange& c : FieldChanges) {
        SCOPED_TRACE(c.field);
        SampleCache cache;
        UniformSource random(1);
        std::vector<int16_t> samples;
        SynthSettings s = vellox::startSynthSettings();
        Module1 m = vellox::startModule1();
        SignalOptions o;
        cache.synthesize(s, m, o, random, samples);
        mark(samples);
        cache.setAside(samples); // the spare is compared as well
        cache.synthesize(s, m, o, random, samples);
        ASSERT_TRUE(marked(samples)) << "the same inputs were not taken again";

        c.change(s, m, o);
        cache.synthesize(s, m, o, random, samples);
        EXPECT_FALSE(marked(samples)) << "a buffer of other inputs was taken";
        if (s.NoiseLevel == 0.0f) {
            EXPECT_EQ(samples, fresh(s, m, o));
        }
    }
}

TEST(SampleCache, NoisyBuffersAreNeverTakenAgain)
{
    SampleCache cache;
    UniformSource random(1);
    std::vector<int16_t> samples;
    SynthSettings s = vellox::startSynthSettings();
    s.NoiseLevel = 0.3f;
    const Module1 m = vellox::startModule1();
    cache.synthesize(s, m, random, samples);
    const uint64_t id = cache.samplesId();
    mark(samples);
    cache.synthesize(s, m, random, samples);
    EXPECT_FALSE(marked(samples));
    EXPECT_NE(cache.samplesId(), id);
}

TEST(SampleCache, ASetAsideBufferComesBackWithItsId)
{
    SampleCache cache;
    UniformSource random(1);
    std::vector<int16_t> samples;
    SynthSettings s = vellox::startSynthSettings();
    const Module1 m = vellox::startModule1();
    cache.synthesize(s, m, random, samples);
    const uint64_t id = cache.samplesId();
    mark(samples);

    cache.setAside(samples);
    EXPECT_NE(cache.samplesId(), id);
    samples.assign(samples.size(), 0); // overwritten, as Play does
    cache.synthesize(s, m, random, samples);
    EXPECT_TRUE(marked(samples));
    EXPECT_EQ(cache.samplesId(), id);

    // Forgotten content is never taken again.
    cache.forget();
    cache.synthesize(s, m, random, samples);
    EXPECT_FALSE(marked(samples));
}
