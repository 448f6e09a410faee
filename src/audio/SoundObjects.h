#pragma once

// The program's logical sound model: a root object, a device and one looping
// secondary buffer, created, filled, played, stopped and released by the UI thread.
// Contract for the window. The objects and the buffer's bytes live here; the player under
// them (SoundBackend: SDL2, or the recording fake) hears of the device, of each buffer as it
// plays, and of silence. All functions here are called on the UI thread only.

#include "AudioFormat.h"
#include "SignalPhase.h"
#include "ToneStream.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace vellox::audio {

// RepetitiveTime x 4 x SampleRate computed in floating point, rounded half-even: a
// buffer that plays RepetitiveTime seconds of 16-bit stereo frames (8 instead of 4 for
// 32-bit frames). The float32 value is widened to double as stored (0.0011f at 44100 Hz
// gives 194). Throws std::range_error when the count does not fit an int32.
int32_t bufferByteCount(
    float repetitiveTime, int32_t sampleRate, FrameEncoding encoding = FrameEncoding::S16);

class SoundBackend; // SDL2 or the recording fake

// The three references of the generator state and the buffer description; either all
// three references are present (after a successful InitSound) or all are empty.
class SoundObjects {
public:
    // Play flag: repeat the whole buffer until stopped or released (DSBPLAY_LOOPING).
    static constexpr int32_t PlayLooping = 1;

    explicit SoundObjects(SoundBackend& backend);
    ~SoundObjects();
    SoundObjects(const SoundObjects&) = delete;
    SoundObjects& operator=(const SoundObjects&) = delete;

    // The playback device InitSound opens: "" (the start value) is the default device.
    void setDeviceId(std::string deviceId) { m_deviceId = std::move(deviceId); }
    const std::string& deviceId() const { return m_deviceId; }
    // The frames of the buffers InitSound and RecreateSoundBuffer create: 16-bit PCM (the
    // start value), 32-bit PCM or 32-bit float.
    void setFrameEncoding(FrameEncoding encoding) { m_encoding = encoding; }
    FrameEncoding frameEncoding() const { return m_encoding; }

    // Root object, the device (deviceId, opened by the player for the buffer's rate and
    // frames), then a buffer of silence for sampleRate (Hz) and repetitiveTime (s); the
    // buffer is neither written nor started.
    // Objects that exist are replaced, not released: what sounds goes on until the new
    // buffer plays (the player cross-fades from it) or a Stop silences it, which is how a
    // restart changes the sound without a gap. Throws SoundError; after a failure at any
    // step all three references are empty again and the player is silent and closed.
    void InitSound(int32_t sampleRate, float repetitiveTime);
    // A new buffer on the open device replaces the current one and silences what sounds (the
    // device re-opens for another rate); throws SoundError without a device, or when the
    // buffer cannot be made or the device does not take it, leaving the old buffer as it was.
    void RecreateSoundBuffer(int32_t sampleRate, float repetitiveTime);
    // Releases buffer, device and root: what sounds fades out and the player closes the
    // device. Safe in every state.
    void ReleaseSound() noexcept;

    // Operations on the current buffer; throw SoundError when there is none or it fails.
    // A write into the buffer that plays is heard: the buffer is handed over again.
    void WriteBuffer(int32_t start, int32_t byteCount, const void* data, int32_t flags);
    // Hands the buffer to the player (1 = looping); asked again while it loops, nothing
    // changes.
    void Play(int32_t flags);
    // Hands a stream to the player in the buffer's place (its rate the buffer's, its frames
    // the buffer's encoding); the buffer stays as the model's reference. Throws SoundError
    // without a buffer, or as the player does.
    void PlayStream(std::unique_ptr<ToneStream> stream);
    // What the current buffer holds, given before it plays (see SignalPhase).
    void SetSignalPhase(const SignalPhase& phase);
    // What sounds fades out; no-op without a buffer, as the Stop button expects.
    void Stop() noexcept;

    bool hasDxObject() const;
    bool hasSoundDevice() const;
    bool hasSoundBuffer() const;
    const BufferDesc& bufferDesc() const { return m_bufferDesc; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    BufferDesc m_bufferDesc;
    std::string m_deviceId;
    FrameEncoding m_encoding = FrameEncoding::S16;
};

} // namespace vellox::audio
