#pragma once

// The device boundary under SoundObjects: the root object, the device object and the
// secondary buffers, addressed by handles the backend hands out. Two implementations:
// SdlSoundBackend (real output through SDL2) and FakeSoundBackend (records calls for
// tests). Every function here is called on the UI thread only.

#include "AudioFormat.h"
#include "SignalPhase.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vellox::audio {

// What the sound server holds ahead unless told otherwise, in milliseconds: enough that a
// busy two-core machine, a server at 192000 Hz or PipeWire's graph never runs the stream dry;
// a change is heard about this much later.
inline constexpr int DefaultLatencyMs = 60;
// The range a user may ask for: below 4 ms no server keeps a stream fed, above half a second
// a change is heard too late to be of use.
inline constexpr int MinLatencyMs = 4;
inline constexpr int MaxLatencyMs = 500;

class SoundBackend {
public:
    // 0 is never a live handle; each created object gets a new, never reused value.
    using Handle = uint32_t;

    // Cooperative level of a windowed program that shares the device (DSSCL_NORMAL).
    static constexpr int32_t CooperativeNormal = 1;
    // Play flag: repeat the whole buffer until stopped or released (DSBPLAY_LOOPING).
    static constexpr int32_t PlayLooping = 1;

    virtual ~SoundBackend() = default;

    // Each of these throws SoundError on a failure status.
    virtual Handle createRoot() = 0;
    // deviceId "" is the default playback device.
    virtual Handle DirectSoundCreate(Handle root, const std::string& deviceId) = 0;
    virtual void SetCooperativeLevel(Handle device, int32_t level) = 0;
    // The new buffer is stopped, holds silence and plays from its first frame.
    virtual Handle CreateSoundBuffer(Handle device, const BufferDesc& desc) = 0;
    // Copies byteCount bytes from data into the buffer at byte offset start; flags 0.
    virtual void WriteBuffer(
        Handle buffer, int32_t start, int32_t byteCount, const void* data, int32_t flags)
        = 0;
    // Plays from the buffer's current position; PlayLooping repeats it endlessly.
    virtual void Play(Handle buffer, int32_t flags) = 0;
    // Halts playback; the buffer keeps its contents and position.
    virtual void Stop(Handle buffer) = 0;
    // What the buffer holds, given before it first plays: a backend that goes from one
    // buffer to the next smoothly may start it where its tones continue the old one's.
    virtual void setSignalPhase(Handle buffer, const SignalPhase& phase) = 0;
    // A restart releases everything and plays a new buffer a moment later. Between these
    // two calls a backend that goes smoothly from buffer to buffer may let the old sound on
    // until the new one plays (or until endRestart, if none does), instead of fading to
    // silence and back. Nothing else changes: every operation means what it says.
    virtual void beginRestart() { }
    virtual void endRestart() { }
    // Why the open device no longer plays, when it has gone away since it opened (the sound
    // server died, the device was removed, it stopped calling back); empty while it works or
    // when none is open. Asked again after a report, it stays empty until the device opens
    // anew, so that a loss is told once.
    virtual std::optional<std::string> lostDevice() { return std::nullopt; }
    // The rate the device deviceId ("" the default) runs at, as its driver tells: when it
    // differs from a buffer's, the sound server resamples. Empty when it cannot tell.
    virtual std::optional<int32_t> deviceRate(const std::string& deviceId)
    {
        (void)deviceId;
        return std::nullopt;
    }
    // What the sound server holds ahead, in milliseconds (0: the backend has no such thing);
    // a device that is open takes a new value at its next opening.
    virtual void setLatencyMilliseconds(int milliseconds) { (void)milliseconds; }
    virtual int latencyMilliseconds() const { return 0; }
    // The playback devices, by the names DirectSoundCreate takes ("" stays the default).
    // Throws SoundError when the sound system cannot tell.
    virtual std::vector<std::string> playbackDevices() { return {}; }

    // Releasing the last reference: a released buffer falls silent at once. Unknown or
    // already released handles are ignored.
    virtual void releaseBuffer(Handle buffer) noexcept = 0;
    virtual void releaseDevice(Handle device) noexcept = 0;
    virtual void releaseRoot(Handle root) noexcept = 0;
};

// Checks shared by both backends so the fake refuses exactly what the real device
// refuses. Each throws SoundError with the reason.

// A buffer must be stereo 16-bit or 32-bit PCM, or 32-bit float, with a positive rate, and
// hold at least one whole frame; a byte count that is not a multiple of the frame keeps its
// whole frames.
void checkBufferDesc(const BufferDesc& desc);
// start and byteCount must lie within a buffer of bufferBytes bytes; flags must be 0.
void checkWriteRange(
    int32_t bufferBytes, int32_t start, int32_t byteCount, const void* data, int32_t flags);

} // namespace vellox::audio
