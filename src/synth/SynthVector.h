#pragma once

// The vector engine behind SynthesizeSignal, and its bulk noise, sines, precise lanes and
// stores for the other syntheses. Internal to vellox_synth. Built where the compiler targets
// x86-64 (SynthVector.cpp); elsewhere SynthPortable.cpp stands in, with the scalar path alone.

#include "SignalOptions.h"
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

// n dither values into d, two from each draw of the engine (drawDither, SynthFormulas.h), the
// same values on every path; `random` is left where ceil(n/2) draws would leave it.
void drawDitherDifferences(synthpath::Path path, UniformSource& random, double* d, int32_t n);

// out[k] = sin(x[k]) for k < n: glibc's vector sine on Avx2 and Avx512 (within 4 ulp),
// libm's sin on Scalar.
void sines(synthpath::Path path, const double* x, double* out, int32_t n);

// Frames the general synthesis computes before it rounds and stores them.
inline constexpr int32_t BlockFrames = 512;
// Lanes of the widest path: buffers the lanes read past their last frame are padded by this.
inline constexpr int32_t MaxLanes = 8;

// Per-call values of the general synthesis's blocks (SignalSynthesis.cpp), read by its scalar
// loop and by the precise lanes.
struct BlockCall {
    int32_t rate = 0;
    int32_t frames = 0;
    int32_t f1 = 0, f2 = 0; // Hz
    const double* table = nullptr; // precise: sin(2*pi*j/rate) for j < rate
    double radiansPerStep = 0.0; // precise: 2*pi/rate, the phase of j = 1
    double cyclesPerStep = 0.0; // precise: 1/rate
    bool phased = false; // the right channel's sine is turned by the phase
    double phase = 0.0; // radians
    double cosPhase = 1.0, sinPhase = 0.0;
    // The draws' differences of frames 0..active-1; MaxLanes readable values after the
    // frames, 0.
    const double* noise = nullptr;
    int32_t active = 0;
    synthpath::Path path = synthpath::Path::Scalar;
};

// Where the precise lanes hand each block: take(self, k0, n, values), the interleaved values
// (left, right) of n frames from frame k0.
struct BlockSink {
    void* self = nullptr;
    void (*take)(void* self, int32_t k0, int32_t n, const double* values) = nullptr;
};

// The precise synthesis of a whole call, block after block into `sink`, in the lanes of
// call.path: the values of the scalar loop (leftValueOf with PreciseNumbers, its FM carriers
// through sines() on the same path) to the last bit. `c` is the prepared context ("PWM" FM
// runs its period on in it). Returns false, having done nothing, on the scalar path or for an
// unknown waveform or mode (the scalar loop then runs).
bool preciseBlocks(synthdetail::BasicContext<double>& c, const BlockCall& call, int wave, int mode,
    const BlockSink& sink);

// count values scaled by `scale`, plus dither[v] where dither is not null, rounded to the
// nearest integer (halves to even), clipped at the format's limit and stored little-endian
// at `at`; f32 scaled to full scale and clipped at +-1 instead. Returns false, having done
// nothing, on the scalar path.
bool storeValues(synthpath::Path path, SampleFormat format, uint8_t* at, int32_t count,
    const double* values, const double* dither, double scale);

// Where SynthesizeSignal leaves the statistics of its call (per thread).
synthpath::Stats& lastStatsSlot();

} // namespace vellox::synthvector
