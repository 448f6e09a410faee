// The player's calls: what SoundObjects asks for, in terms of the device and the LoopPlayer.

#include "SdlSoundBackend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace vellox::audio {

SdlSoundBackend::~SdlSoundBackend()
{
    closeDevice();
    stopSubsystem();
}

void SdlSoundBackend::setFadeMilliseconds(int milliseconds)
{
    m_fadeMs = std::clamp(milliseconds, 0, 100);
    applyFade();
}

void SdlSoundBackend::setLatencyMilliseconds(int milliseconds)
{
    m_latencyMs = std::clamp(milliseconds, MinLatencyMs, MaxLatencyMs);
}

void SdlSoundBackend::applyFade()
{
    // In frames of the buffers' rate: SDL converts after the callback.
    m_player.setFadeFrames(int32_t(std::lround(double(m_fadeMs) * double(m_lastRate) / 1000.0)));
}

void SdlSoundBackend::openDevice(
    const std::string& deviceId, int32_t sampleRate, FrameEncoding encoding)
{
    recoverLostDevice();
    startSubsystem();
    // Another device than the open one: the sound there fades out, and the named one opens.
    if (m_device != 0 && deviceId != m_deviceName)
        fadeOutAndClose();
    m_deviceName = deviceId;
    m_player.reclaim();
    ensureDevice(sampleRate, encoding);
}

void SdlSoundBackend::play(const PlayBuffer& buffer)
{
    if (buffer.sampleRate <= 0 || buffer.byteCount < frameBytes(buffer.encoding)
        || buffer.bytes == nullptr)
        throw SoundError("no whole frame to play");
    // Opens the device when it is closed (a lost one, or a re-opening that failed), so that
    // a later hand-over tries again from scratch.
    recoverLostDevice();
    m_player.reclaim();
    ensureDevice(buffer.sampleRate, buffer.encoding);
    raiseAudioThread();
    LoopBuffer* next = nullptr;
    try {
        next = &m_player.create(buffer.byteCount, buffer.sampleRate, buffer.encoding);
    } catch (const std::bad_alloc&) {
        throw SoundError(
            "out of memory for a buffer of " + std::to_string(buffer.byteCount) + " bytes");
    }
    // The UI thread's until play: nothing else can reach it yet.
    std::memcpy(next->bytes.data(), buffer.bytes, buffer.byteCount);
    next->phase = buffer.phase;
    if (!m_player.play(*next, buffer.looping)) {
        m_player.free(*next);
        throw SoundError("the sound device stopped taking data");
    }
    // The request for the new buffer is already on its way, so the old one is no longer the
    // one asked for: freeing it does not silence it; it fades out under the new one and goes
    // once it has come back.
    if (m_current != nullptr)
        m_player.free(*m_current);
    m_current = next;
}

void SdlSoundBackend::playStream(std::unique_ptr<ToneStream> stream, FrameEncoding encoding)
{
    if (stream == nullptr)
        throw SoundError("no stream to play");
    const int32_t rate = stream->settings().SampleRate;
    recoverLostDevice();
    m_player.reclaim();
    ensureDevice(rate, encoding);
    raiseAudioThread();
    LoopBuffer* next = nullptr;
    try {
        next = &m_player.createStream(std::move(stream), encoding);
    } catch (const std::bad_alloc&) {
        throw SoundError("out of memory for a stream's window");
    }
    if (!m_player.play(*next, true)) {
        m_player.free(*next);
        throw SoundError("the sound device stopped taking data");
    }
    if (m_current != nullptr)
        m_player.free(*m_current);
    m_current = next;
}

void SdlSoundBackend::silence() noexcept
{
    if (m_current == nullptr)
        return;
    // Freed as the one asked for, it is stopped: it fades out, and goes once back.
    m_player.free(*m_current);
    m_current = nullptr;
}

void SdlSoundBackend::closeDevice() noexcept
{
    silence();
    fadeOutAndClose();
}

} // namespace vellox::audio
