#pragma once

// The program's logical sound model: a root object, a device and one looping
// secondary buffer, created, filled, played, stopped and released by the UI thread.
// Contract for the window; the implementation (SDL2 backend, recording fake) lives
// beside this header. All functions here are called on the UI thread only.

#include "AudioFormat.h"

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
struct SignalPhase;

// The three references of the generator state and the buffer description; either all
// three references are present (after a successful InitSound) or all are empty.
class SoundObjects {
public:
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

    // Root object, DirectSoundCreate(deviceId), SetCooperativeLevel(1), then CreateSoundBuffer
    // for sampleRate (Hz) and repetitiveTime (s); the buffer is neither written nor
    // started. Throws SoundError; after a failure at any step all three references are
    // empty again (whatever was created is released).
    void InitSound(int32_t sampleRate, float repetitiveTime);
    // A new buffer on the open device replaces (and so silences) the current one; throws
    // SoundError without a device, or when creation fails, leaving the old buffer as it was.
    void RecreateSoundBuffer(int32_t sampleRate, float repetitiveTime);
    // Stops the buffer if there is one, then releases buffer, device and root in that
    // order. Safe in every state; a failing Stop does not keep the releases from happening.
    void ReleaseSound() noexcept;

    // Operations on the current buffer; throw SoundError when there is none or it fails.
    void WriteBuffer(int32_t start, int32_t byteCount, const void* data, int32_t flags);
    void Play(int32_t flags); // 1 = looping
    // What the current buffer holds, given before it plays (see SignalPhase).
    void SetSignalPhase(const SignalPhase& phase);
    // Bracket a restart (release, create, write, play): see SoundBackend::beginRestart.
    void beginRestart();
    void endRestart() noexcept;
    void Stop(); // no-op without a buffer, as the Stop button expects

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
