#pragma once

// Takes a synthesized buffer again instead of computing it anew. Recomputing the buffer is
// the bulk of every restart, and a sweep step or a frequency change asks for the same
// buffer up to three times in a row (the tick, the spinner's change, Play). Without noise
// the buffer is a function of its inputs alone (the noise term is the random difference
// times 0, added to the value, which changes no sum but at most the sign of a zero that
// the rounding to an integer erases; the dither has its own seed among the inputs), so a
// buffer computed from the same inputs is taken again: the one in the caller's buffer, or
// the one set aside before it was overwritten. With noise every call computes afresh.
//
// The cache describes the caller's buffer (the generator state's Samples, or the device
// frames of a SignalBuffer), which every call passes in, and owns one spare it swaps with
// it: nothing is copied or allocated to set a buffer aside or to take it back. Not
// thread-safe; the UI thread's.

#include "SignalOptions.h"
#include "SynthTypes.h"
#include "Synthesizer.h"
#include "UniformSource.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vellox {

// Buffer: std::vector<int16_t> (the 16-bit Samples) or SignalBuffer (the device's frames).
template <class Buffer> class BasicSampleCache {
public:
    // `buffer` now holds a content no settings describe (re-created or zero-filled).
    void forget();

    // `buffer` is about to be overwritten: a buffer worth taking again moves aside (the
    // one that was aside comes back, to be overwritten), and `buffer` is forgotten.
    void setAside(Buffer& buffer);

    // The synthesis of the inputs into `buffer` (SynthesizeFrames; for the 16-bit Samples its
    // 16-bit view, SynthesizeSignal itself with the default options), or the buffer of the
    // same inputs taken again (from `buffer` itself or from the spare). Throws as the
    // synthesis does; then `buffer` is unspecified and forgotten.
    PhaseSteps synthesize(const SynthSettings& settings, const Module1& module1,
        const SignalOptions& options, UniformSource& random, Buffer& buffer);

    // Names the content of `buffer`: every new content gets a new id, a buffer taken back
    // from the spare its old one.
    uint64_t samplesId() const { return m_samplesId; }

private:
    struct Source {
        SynthSettings settings;
        Module1 module1;
        SignalOptions options;
        PhaseSteps steps;
    };
    void swapWithSpare(Buffer& buffer);

    std::optional<Source> m_samplesSource; // what `buffer` holds, when worth taking again
    Buffer m_spare;
    std::optional<Source> m_spareSource;
    uint64_t m_samplesId = 0;
    uint64_t m_spareId = 0;
    uint64_t m_nextId = 1;
};

// The window's cache of Samples.
class SampleCache : public BasicSampleCache<std::vector<int16_t>> {
public:
    using BasicSampleCache::synthesize;
    PhaseSteps synthesize(const SynthSettings& settings, const Module1& module1,
        UniformSource& random, std::vector<int16_t>& samples)
    {
        return synthesize(settings, module1, SignalOptions {}, random, samples);
    }
};

// The same for buffers in the device's sample format.
using SignalCache = BasicSampleCache<SignalBuffer>;

extern template class BasicSampleCache<std::vector<int16_t>>;
extern template class BasicSampleCache<SignalBuffer>;

} // namespace vellox
