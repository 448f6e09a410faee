#pragma once

// The sound format and the failure type shared by the logical sound objects
// (SoundObjects.h) and the device boundary below them (SoundBackend.h). Plain data, no SDL.

#include <cstdint>
#include <stdexcept>

namespace vellox::audio {

// A failure status of a device operation; an error of the running operation that the
// restart sequence catches and reports.
class SoundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one format the generator plays: 16-bit PCM stereo, 4 bytes per frame.
inline constexpr uint16_t PcmTag = 1;
inline constexpr uint16_t StereoChannels = 2;
inline constexpr uint16_t SampleBits = 16;
inline constexpr int32_t FrameBytes = StereoChannels * SampleBits / 8;

struct WaveFormat {
    uint16_t FormatTag = 0; // 1 = PCM
    uint16_t Channels = 0;
    int32_t SamplesPerSec = 0;
    int32_t AvgBytesPerSec = 0;
    uint16_t BlockAlign = 0;
    uint16_t BitsPerSample = 0;
    uint16_t ExtraSize = 0;
};

struct BufferDesc {
    int32_t Flags = 0;
    int32_t BufferBytes = 0;
    WaveFormat Format;
};

} // namespace vellox::audio
