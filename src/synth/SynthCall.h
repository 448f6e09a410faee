#pragma once

// The steps every synthesis shares, whichever engine and format follow. Internal to
// vellox_synth.

#include "SynthFormulas.h"
#include "SynthTypes.h"
#include "UniformSource.h"

#include <cstdint>

namespace vellox::synthdetail {

// Throws std::range_error unless the settings meet SynthesizeSignal's preconditions.
void checkSynthSettings(const SynthSettings& settings);

// Checks the settings and fills the values of one call: levels, steps, the F1 period, the
// bit table. Returns the phase steps the state stores.
template <class Stored>
PhaseSteps prepareContext(
    const SynthSettings& settings, const Module1& module1, BasicContext<Stored>& c);

// The exact 16-bit synthesis into frames[0 .. 2*SampleRate-1], on the best engine this CPU
// has.
PhaseSteps synthesizeExact16(
    const SynthSettings& settings, const Module1& module1, UniformSource& random, int16_t* frames);

} // namespace vellox::synthdetail
