#pragma once

// Takes a synthesized buffer again instead of computing it anew. Recomputing the buffer is
// the bulk of every restart, and a sweep step or a frequency change asks for the same
// buffer up to three times in a row (the tick, the spinner's change, Play). Without noise
// the buffer is a function of its inputs alone (the noise term is the random difference
// times 0, added to the value, which changes no sum but at most the sign of a zero that
// the rounding to an integer erases), so a buffer computed from the same inputs is taken
// again: the one in the caller's samples, or the one set aside before they were
// overwritten. With noise every call computes afresh.
//
// The cache describes the caller's sample vector (the generator state's Samples), which
// every call passes in, and owns one spare vector it swaps with it: nothing is copied or
// allocated to set a buffer aside or to take it back. Not thread-safe; the UI thread's.

#include "SynthTypes.h"
#include "UniformSource.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace vellox {

class SampleCache {
public:
    // `samples` now holds a content no settings describe (re-created or zero-filled).
    void forget();

    // `samples` is about to be overwritten: a buffer worth taking again moves aside (the
    // vector that was aside comes back, to be overwritten), and `samples` is forgotten.
    void setAside(std::vector<int16_t>& samples);

    // SynthesizeSignal of the inputs into `samples`, or the buffer of the same inputs taken
    // again (from `samples` itself or from the spare). Throws as SynthesizeSignal does; then
    // `samples` is unspecified and forgotten.
    PhaseSteps synthesize(const SynthSettings& settings, const Module1& module1,
        UniformSource& random, std::vector<int16_t>& samples);

    // Names the content of `samples`: every new content gets a new id, a buffer taken back
    // from the spare its old one.
    uint64_t samplesId() const { return m_samplesId; }

private:
    struct Source {
        SynthSettings settings;
        Module1 module1;
        PhaseSteps steps;
    };
    void swapWithSpare(std::vector<int16_t>& samples);

    std::optional<Source> m_samplesSource; // what `samples` holds, when worth taking again
    std::vector<int16_t> m_spare;
    std::optional<Source> m_spareSource;
    uint64_t m_samplesId = 0;
    uint64_t m_spareId = 0;
    uint64_t m_nextId = 1;
};

} // namespace vellox
