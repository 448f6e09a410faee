#pragma once

// Rendering what the device would loop into a sound file (--render), and the loop itself.

#include "LaunchSettings.h"
#include "Synthesizer.h"
#include "ToneStream.h"
#include "UniformSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellox {

// The frames the device loops for these settings, interleaved: the buffer Play_Click
// writes (RepetitiveTime x 4 x SampleRate bytes), whole frames only, as the device plays
// them, in 16 bits (the synthesis, dither and phase of settings.signal; its sample format
// is loopSignal's). Throws std::exception on a synthesis failure.
std::vector<int16_t> loopFrames(const HeadlessSettings& settings, UniformSource& random);

// The same loop in the sample format, synthesis, dither and phase of settings.signal: the
// frames of SynthesizeFrames that the device loops (whole frames of RepetitiveTime).
SignalBuffer loopSignal(const HeadlessSettings& settings, UniformSource& random);

// Writes `seconds` of `loop` repeated from its first frame, at its rate, to `path`, the file
// type from its extension (.wav or .flac) and the samples from the loop's format: s16 as
// 16-bit PCM, s24 as 24-bit PCM, f32 as WAV float (FLAC holds no float). The samples go to
// the file unchanged. Nothing is left at `path` unless the whole file was written. Returns ""
// or a one-line reason.
std::string writeLoopFile(const std::string& path, const SignalBuffer& loop, double seconds);

// The 16-bit loop as before: written as s16, byte for byte.
std::string writeLoopFile(
    const std::string& path, const std::vector<int16_t>& loop, int32_t rate, double seconds);

// Writes `seconds` of the stream's frames (its rate and format), as writeLoopFile writes a
// loop: the precise synthesis computed as it plays, for any length.
std::string writeStreamFile(const std::string& path, ToneStream& stream, double seconds);

// Whether writeLoopFile takes the file name's extension.
bool isRenderableName(const std::string& path);

} // namespace vellox
