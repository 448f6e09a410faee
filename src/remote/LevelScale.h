#pragma once

// The level in volts and in decibels: the arithmetic behind VOLTage. A full-scale
// calibration (the peak-to-peak volts of a sine at the unit level, the spinner's 0 dB,
// which the user measures at the output) turns a level factor into volts. dBFS is AES17's:
// the rms against that of a sine whose peak reaches full scale (FullScaleLevel), so the
// unit level of a sine is -4.29 dBFS. dBV is against 1 Vrms, dBu against 0.775 Vrms (the
// voltage of 1 mW in 600 ohms).

#include "SynthTypes.h"

#include <optional>

namespace vellox::remote {

enum class VoltageUnit : uint8_t { Vpp, Vrms, Dbfs, Dbv, Dbu };

// The root-mean-square value of the waveform's shape at a peak of 1, as the left channel
// sends it in "F1 Left<->F1 Right" without noise: 1/sqrt(2) for the sine, 1 for the
// square. Where the level does not scale the left channel's shape ("W Noise", scaled by
// the noise alone) it is the sine's, which the level scales on the right channel; for the
// bit codes it is that of the bits while they are sent.
double rmsAtUnitPeak(WaveformIndex waveform);

// The level `factor` in `unit`, with `fullScaleVpp` the volts peak to peak at factor 1
// and `rms` the shape's rmsAtUnitPeak.
double levelInUnit(double factor, VoltageUnit unit, double fullScaleVpp, double rms);

// The factor that gives `value` in `unit`: exact, never a step's. Nothing when that is no
// level the generator takes: a peak beyond full scale or more than 120 dB below it (a
// hair's rounding of either end is that end), zero or negative volts, not finite.
std::optional<double> factorOfLevel(
    double value, VoltageUnit unit, double fullScaleVpp, double rms);

} // namespace vellox::remote
