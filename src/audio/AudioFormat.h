#pragma once

// The sound format and the failure type shared by the logical sound objects
// (SoundObjects.h) and the device boundary below them (SoundBackend.h). Plain data, no SDL.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

namespace vellox::audio {

// A failure status of a device operation; an error of the running operation that the
// restart sequence catches and reports.
class SoundError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The generator's own format: 16-bit PCM stereo, 4 bytes per frame. Beside it the device
// takes 32-bit frames: integers (24-bit values in their top bits) and floats.
inline constexpr uint16_t PcmTag = 1;
inline constexpr uint16_t FloatTag = 3; // IEEE float
inline constexpr uint16_t StereoChannels = 2;
inline constexpr uint16_t SampleBits = 16;
inline constexpr int32_t FrameBytes = StereoChannels * SampleBits / 8;

// How the samples of a frame are stored, little-endian, left before right.
enum class FrameEncoding : uint8_t {
    S16, // int16
    S32, // int32, full scale at 2^31
    F32, // float, full scale at 1.0
};

constexpr size_t frameBytes(FrameEncoding encoding)
{
    return encoding == FrameEncoding::S16 ? 4 : 8;
}

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

// The frames a stereo format describes: PCM of 16 or 32 bits, or 32-bit float; empty for
// any other.
constexpr std::optional<FrameEncoding> frameEncodingOf(const WaveFormat& f)
{
    if (f.Channels != StereoChannels)
        return std::nullopt;
    if (f.FormatTag == PcmTag && f.BitsPerSample == 16)
        return FrameEncoding::S16;
    if (f.FormatTag == PcmTag && f.BitsPerSample == 32)
        return FrameEncoding::S32;
    if (f.FormatTag == FloatTag && f.BitsPerSample == 32)
        return FrameEncoding::F32;
    return std::nullopt;
}

} // namespace vellox::audio
