#pragma once

#include "SynthTypes.h"
#include "UniformSource.h"

#include <cstdint>
#include <vector>

namespace vellox {

// Recomputes the whole sample buffer from the settings: `samples` is re-created with
// indices 0..2*SampleRate and its first 2*SampleRate values (one second: SampleRate
// interleaved stereo frames, filledFrames) are filled; the last value stays 0. Returns the two
// phase steps the state stores. Preconditions: SampleRate one of SampleRates; both
// frequencies MinFrequency..MaxFrequency; Pi, levels and noise finite. Throws std::range_error when
// a precondition fails or on an arithmetic failure (a value out of int32 range, a bit length below
// one frame per bit for the bit codes); `samples` is then unspecified. Draws two values from
// `random` for every left sample whose formula has noise in it.
PhaseSteps SynthesizeSignal(const SynthSettings& settings, const Module1& module1,
    UniformSource& random, std::vector<int16_t>& samples);

} // namespace vellox
