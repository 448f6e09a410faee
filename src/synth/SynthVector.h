#pragma once

// The vector engine behind SynthesizeSignal, and its bulk noise and sines for the other
// syntheses. Internal to vellox_synth. Built where the compiler targets x86-64
// (SynthVector.cpp); elsewhere SynthPortable.cpp stands in, with the scalar path alone.

#include "SynthFormulas.h"
#include "SynthPath.h"

namespace vellox::synthvector {

// Fills the frames of `samples` (already sized and zeroed) for every waveform (isWaveform)
// and channel mode (isChannelMode) on `path` (Avx2 or Avx512, supported by this CPU), with exactly
// the values and draws of the scalar loops. `c` is the prepared context of the call. Returns false,
// having done nothing, where the levels are too large for it (the scalar loops then run).
bool synthesize(synthpath::Path path, synthdetail::Context& c, UniformSource& random,
    int32_t sampleRate, int16_t* samples, int wave, int mode, synthpath::Stats& stats);

// n noise differences u1 - u2 of consecutive draws, in draw order, into d; `random` is left
// exactly where 2n next() calls would leave it. Bulk (the twister in lanes) on Avx2 and
// Avx512, one draw at a time on Scalar.
void drawDifferences(synthpath::Path path, UniformSource& random, double* d, int32_t n);

// out[k] = sin(x[k]) for k < n: glibc's vector sine on Avx2 and Avx512 (within 4 ulp),
// libm's sin on Scalar.
void sines(synthpath::Path path, const double* x, double* out, int32_t n);

// Where SynthesizeSignal leaves the statistics of its call (per thread).
synthpath::Stats& lastStatsSlot();

} // namespace vellox::synthvector
