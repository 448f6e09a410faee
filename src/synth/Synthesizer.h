#pragma once

#include "SignalOptions.h"
#include "SynthTypes.h"
#include "UniformSource.h"

#include <cstdint>
#include <vector>

namespace vellox {

// Recomputes the whole sample buffer from the settings: `samples` is re-created with
// indices 0..2*SampleRate and its first 2*SampleRate values (one second: SampleRate
// interleaved stereo frames, filledFrames) are filled; the last value stays 0. Returns the two
// phase steps the state stores. Preconditions: SampleRate one of PlayableRates; both
// frequencies MinFrequency..MaxFrequency; Pi, levels and noise finite. Throws std::range_error when
// a precondition fails or on an arithmetic failure (a value out of int32 range, a bit length below
// one frame per bit for the bit codes); `samples` is then unspecified. Draws two values from
// `random` for every left sample whose formula has noise in it.
PhaseSteps SynthesizeSignal(const SynthSettings& settings, const Module1& module1,
    UniformSource& random, std::vector<int16_t>& samples);

// One second of interleaved frames in the byte layout of the device (see SampleFormat):
// filledFrames(sampleRate) frames of bytesPerFrame(format) bytes, little-endian, left first.
// Unlike the 16-bit Samples it holds no value after the frames.
struct SignalBuffer {
    SampleFormat format = SampleFormat::S16;
    int32_t sampleRate = 0;
    std::vector<uint8_t> bytes;

    int32_t frames() const { return int32_t(bytes.size() / std::size_t(bytesPerFrame(format))); }
};

// The general synthesis: the settings, the bit code and `options` into `out` (re-created).
// With the default options the bytes are those of SynthesizeSignal's first 2*SampleRate
// values, and the draws from `random` are the same. The exact synthesis in s16 without
// dither or phase runs SynthesizeSignal's engines; every other choice runs the formulas
// once more without their int32 rounding and rounds (with the dither) at the format's word
// length. Preconditions and failures as SynthesizeSignal; besides, options.phaseDegrees
// within 0..MaxPhaseDegrees. The phase turns the right channel's sine where phaseApplies.
PhaseSteps SynthesizeFrames(const SynthSettings& settings, const Module1& module1,
    const SignalOptions& options, UniformSource& random, SignalBuffer& out);

// The 16-bit view of any such buffer, in the layout of Samples (2*frames + 1 values, the last
// 0): s16 as it is, s24 and f32 rounded to the nearest 16-bit step (halves to even) and
// clipped to +-32767. For the time view.
void samples16(const SignalBuffer& buffer, std::vector<int16_t>& samples);

} // namespace vellox
