#pragma once

// The level in volts and in dBFS: the arithmetic behind VOLTage. The levels are the
// spinners' 3 dB steps; a full-scale calibration (the peak-to-peak volts of a full-level
// sine, which the user measures at the output) turns a level factor into volts. 0 dBFS is
// the full level (factor 1, the "Level =  0 dB" step).

#include "SynthTypes.h"

#include <optional>

namespace vellox::remote {

enum class VoltageUnit : uint8_t { Vpp, Vrms, Dbfs };

// The root-mean-square value of the waveform's shape at a peak of 1, as the left channel
// sends it in "F1 Left<->F1 Right" without noise: 1/sqrt(2) for the sine, 1 for the
// square. Where the level does not scale the left channel's shape ("W Noise", scaled by
// the noise alone) it is the sine's, which the level scales on the right channel; for the
// bit codes it is that of the bits while they are sent.
double rmsAtUnitPeak(WaveformIndex waveform);

// The level `factor` in `unit`, with `fullScaleVpp` the volts peak to peak at factor 1
// and `rms` the shape's rmsAtUnitPeak.
double levelInUnit(float factor, VoltageUnit unit, double fullScaleVpp, double rms);

// The step nearest to `value` in `unit` (nearest in dB, halves to even); nothing when
// that step is not one of the spinner's (louder than 0 dB or softer than -45 dB by more
// than half a step, zero, negative or not finite).
std::optional<int> nearestLevelStep(
    double value, VoltageUnit unit, double fullScaleVpp, double rms);

} // namespace vellox::remote
