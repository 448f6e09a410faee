#pragma once

#include "SynthTypes.h"
#include "UniformSource.h"

#include <cstdint>
#include <vector>

namespace vellox {

// Recomputes the whole sample buffer from the settings: `samples` is re-created with
// indices 0..2*SampleRate, all zero, and its first SampleRate values (SampleRate/2
// interleaved stereo frames) are filled; the rest stays 0. Returns the two phase steps
// the state stores. Preconditions: SampleRate one of 44100, 98000, 192000; both
// frequencies 20..20000. Throws std::range_error on an arithmetic failure.
PhaseSteps SynthesizeSignal(const SynthSettings& settings, const Module1& module1,
    UniformSource& random, std::vector<int16_t>& samples);

} // namespace vellox
