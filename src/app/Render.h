#pragma once

// Rendering what the device would loop into a sound file (--render), and the loop itself.

#include "LaunchSettings.h"
#include "UniformSource.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vellox {

// The frames the device loops for these settings, interleaved: the buffer Play_Click
// writes (RepetitiveTime x 4 x SampleRate bytes), whole frames only, as the device plays
// them. Throws std::exception on a synthesis failure.
std::vector<int16_t> loopFrames(const HeadlessSettings& settings, UniformSource& random);

// Writes `seconds` of `loop` repeated from its first frame, at `rate`, as 16-bit stereo
// PCM to `path`, the format from its extension (.wav or .flac). Nothing is left at `path`
// unless the whole file was written. Returns "" or a one-line reason.
std::string writeLoopFile(
    const std::string& path, const std::vector<int16_t>& loop, int32_t rate, double seconds);

// Whether writeLoopFile takes the file name's extension.
bool isRenderableName(const std::string& path);

} // namespace vellox
