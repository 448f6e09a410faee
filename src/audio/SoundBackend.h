#pragma once

// The player under SoundObjects: the device, and the buffer that sounds on it. SoundObjects
// keeps the program's logical model (root, device, one looping buffer and its bytes) and
// asks this only for what is heard: the device opened, a buffer handed over, silence, the
// device closed. Two implementations: SdlSoundBackend (real output through SDL2) and
// FakeSoundBackend (records calls for tests). Every function here is called on the UI
// thread only.

#include "AudioFormat.h"
#include "SignalPhase.h"
#include "ToneStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

// A buffer to be heard: whole stereo frames of `encoding` at sampleRate (a stray partial
// frame at the end does not sound), the tones it holds, and whether it repeats. The player
// copies the bytes before play returns.
struct PlayBuffer {
    const uint8_t* bytes = nullptr;
    size_t byteCount = 0;
    int32_t sampleRate = 0;
    FrameEncoding encoding = FrameEncoding::S16;
    SignalPhase phase;
    bool looping = true;
};

class SoundBackend {
public:
    virtual ~SoundBackend() = default;

    // Opens the playback device deviceId ("" the default) for buffers of sampleRate and
    // encoding, or checks the one open. A missing or refused device throws SoundError with
    // the driver's reason. What sounds goes on, unless the open device must close for it
    // (another device, another rate or format): then it fades out first.
    virtual void openDevice(const std::string& deviceId, int32_t sampleRate, FrameEncoding encoding)
        = 0;
    // Hands the buffer over: it takes over from whatever sounds (a cross-fade, starting where
    // its tones continue those heard last) or fades in from silence. The device the last
    // openDevice named opens again if it is closed (after a loss) or runs at another rate.
    // Throws SoundError when the device does not open at that rate and format, or no longer
    // takes data; what sounded then goes on, if anything can.
    virtual void play(const PlayBuffer& buffer) = 0;
    // Hands a stream over, as play does a buffer: it goes on from the tones of the stream
    // heard before, at the frame heard next, gliding where only frequencies and levels
    // changed, or cross-fading from a buffer. The device runs at the stream's rate and in
    // `encoding` (its format's frames). Throws SoundError as play.
    virtual void playStream(std::unique_ptr<ToneStream> stream, FrameEncoding encoding) = 0;
    // Whether the device has been handed what was asked for last (a buffer, a stream, a
    // silence): the audio thread has taken it up and its first frames have left the callback.
    // True when no device runs.
    virtual bool handedOver() const { return true; }
    // Whatever sounds fades out. Nothing happens when nothing sounds.
    virtual void silence() noexcept = 0;
    // Whatever sounds fades out, and the device closes; the next openDevice opens afresh.
    virtual void closeDevice() noexcept = 0;

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
    // What the sound server holds ahead, in milliseconds (0: the player has no such thing);
    // a device that is open takes a new value at its next opening.
    virtual void setLatencyMilliseconds(int milliseconds) { (void)milliseconds; }
    virtual int latencyMilliseconds() const { return 0; }
    // The playback devices, by the names openDevice takes ("" stays the default). Throws
    // SoundError when the sound system cannot tell.
    virtual std::vector<std::string> playbackDevices() { return {}; }
};

// The logical buffer's rules, which SoundObjects applies before anything reaches a player.
// Each throws SoundError with the reason.

// A buffer must be stereo 16-bit or 32-bit PCM, or 32-bit float, with a positive rate, and
// hold at least one whole frame; a byte count that is not a multiple of the frame keeps its
// whole frames.
void checkBufferDesc(const BufferDesc& desc);
// start and byteCount must lie within a buffer of bufferBytes bytes; flags must be 0.
void checkWriteRange(
    int32_t bufferBytes, int32_t start, int32_t byteCount, const void* data, int32_t flags);

} // namespace vellox::audio
