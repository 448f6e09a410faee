#pragma once

// Which engine SynthesizeSignal runs, for tests and benchmarks. Internal to vellox_synth
// and its tests; the program itself never calls these.

#include "SignalOptions.h"
#include "SynthTypes.h"
#include "UniformSource.h"

#include <cstdint>
#include <vector>

namespace vellox::synthpath {

enum class Path {
    Scalar, // the plain loops: one libm sin/pow per use, one draw at a time
    Avx2, // 4 lanes, glibc's vector sin (_ZGVdN4v_sin)
    Avx512, // 8 lanes, glibc's vector sin (_ZGVeN8v_sin)
};

// The best path this CPU supports, or Scalar when VELLOX_SYNTH_SCALAR is set to anything
// but "0" in the environment (read once, at the first call).
Path detectedPath();

// Whether this CPU can run `path`.
bool supported(Path path);

// Forces `path` for the following calls (it must be supported); resetPath() returns to
// detectedPath(). Not thread-safe: tests only.
void forcePath(Path path);
void resetPath();
Path activePath();

// What the last SynthesizeSignal on this thread did.
struct Stats {
    Path path = Path::Scalar;
    int64_t vectorFrames = 0; // frames computed in vector lanes
    int64_t fallbacks = 0; // values recomputed with libm because the bound could not
                           // prove the vector value exact
};
Stats lastStats();

// Test hooks of the vector paths, both 0 normally.
// - sinePerturbation: added with alternating sign to every vector sine (before any use),
//   to prove that a sine off by that much never changes a stored value;
// - boundScale: multiplies every error bound by 2^boundScale; large values make every value
//   fall back, which exercises the fallback path on every sample.
void setTestHooks(double sinePerturbation, int boundScale);

// The values SynthesizeFrames rounds: 2*SampleRate doubles on the 16-bit scale (left at
// even indices), before the format's scale, dither, rounding and clipping. Draws from `random`
// as SynthesizeFrames does.
PhaseSteps signalValues(const SynthSettings& settings, const Module1& module1,
    const SignalOptions& options, UniformSource& random, std::vector<double>& values);

} // namespace vellox::synthpath
