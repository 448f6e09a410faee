#pragma once

// The vector engine behind SynthesizeSignal. Internal to vellox_synth.

#include "SynthFormulas.h"
#include "SynthPath.h"

namespace vellox::synthvector {

// Fills the frames of `samples` (already sized and zeroed) for every waveform (isWaveform)
// and channel mode (isChannelMode) on `path` (Avx2 or Avx512, supported by this CPU), with exactly
// the values and draws of the scalar loops. `c` is the prepared context of the call. Returns false,
// having done nothing, where the levels are too large for it (the scalar loops then run).
bool synthesize(synthpath::Path path, synthdetail::Context& c, UniformSource& random,
    int32_t sampleRate, int16_t* samples, int wave, int mode, synthpath::Stats& stats);

// Where SynthesizeSignal leaves the statistics of its call (per thread).
synthpath::Stats& lastStatsSlot();

} // namespace vellox::synthvector
