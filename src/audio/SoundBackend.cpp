#include "SoundBackend.h"

#include <string>

namespace vellox::audio {

void checkBufferDesc(const BufferDesc& desc)
{
    const WaveFormat& f = desc.Format;
    const std::optional<FrameEncoding> encoding = frameEncodingOf(f);
    if (!encoding || f.BlockAlign != frameBytes(*encoding))
        throw SoundError("unsupported wave format: only stereo 16-bit or 32-bit PCM, or 32-bit "
                         "float, can be played");
    if (f.SamplesPerSec <= 0)
        throw SoundError("invalid sample rate " + std::to_string(f.SamplesPerSec));
    if (desc.BufferBytes < int32_t(f.BlockAlign))
        throw SoundError("buffer of " + std::to_string(desc.BufferBytes)
            + " bytes holds no whole stereo frame (" + std::to_string(f.BlockAlign)
            + " bytes at least)");
}

void checkWriteRange(
    int32_t bufferBytes, int32_t start, int32_t byteCount, const void* data, int32_t flags)
{
    if (flags != 0)
        throw SoundError("unsupported write flags " + std::to_string(flags));
    // Computed in 64 bits: start + byteCount may exceed int32.
    if (start < 0 || byteCount < 0 || int64_t(start) + int64_t(byteCount) > int64_t(bufferBytes))
        throw SoundError("write of " + std::to_string(byteCount) + " bytes at "
            + std::to_string(start) + " outside a buffer of " + std::to_string(bufferBytes)
            + " bytes");
    if (byteCount > 0 && data == nullptr)
        throw SoundError("write without data");
}

} // namespace vellox::audio
