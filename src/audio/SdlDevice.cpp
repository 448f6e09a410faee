// The SDL device's life: the audio subsystem, opening at a rate and format, re-opening when
// they change, closing once whatever sounds has faded out, and the callback on SDL's audio
// thread.

#include "SdlSoundBackend.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

namespace vellox::audio {

namespace {
    SoundError sdlError(const std::string& what)
    {
        return SoundError(what + ": " + SDL_GetError());
    }

    SDL_AudioFormat sdlFormat(FrameEncoding encoding)
    {
        switch (encoding) {
        case FrameEncoding::S32:
            return AUDIO_S32LSB;
        case FrameEncoding::F32:
            return AUDIO_F32LSB;
        case FrameEncoding::S16:
            break;
        }
        return AUDIO_S16LSB;
    }

    // The latency the user gave libpulse themselves, read before this program set any.
    const bool g_userPulseLatency = std::getenv("PULSE_LATENCY_MSEC") != nullptr;
} // namespace

Uint16 SdlSoundBackend::periodFrames(int32_t rate, int latencyMs)
{
    const double frames = std::nearbyint(double(rate) * double(latencyMs) / 2000.0);
    return Uint16(std::clamp(frames, 64.0, 65535.0));
}

void SdlSoundBackend::startSubsystem()
{
    if (m_subsystemUp)
        return;
    // The audio thread asks rtkit (or the desktop portal) for real-time scheduling when it
    // starts; raiseAudioThread takes it further where that is refused.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
    // Reads SDL_AUDIODRIVER; a failure leaves nothing to undo and the next call retries.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw sdlError("cannot start the sound system");
    m_subsystemUp = true;
}

void SdlSoundBackend::stopSubsystem() noexcept
{
    if (!m_subsystemUp)
        return;
    // The driver's connection (PulseAudio's context) dies with a lost server and is not
    // made again while the subsystem stays up: only a fresh start reaches a server that
    // has come back.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_subsystemUp = false;
}

void SdlSoundBackend::openSdlDevice(int32_t rate, FrameEncoding encoding)
{
    closeSdlDevice();
    startSubsystem();
    // libpulse reads it when SDL connects the stream: the server's target length. SDL's own
    // request is one period, which leaves the stream a few milliseconds from running dry.
    if (!g_userPulseLatency)
        setenv("PULSE_LATENCY_MSEC", std::to_string(m_latencyMs).c_str(), 1);
    SDL_AudioSpec want {};
    want.freq = rate;
    want.format = sdlFormat(encoding);
    want.channels = 2;
    want.samples = periodFrames(rate, m_latencyMs);
    want.callback = &SdlSoundBackend::audioCallback;
    want.userdata = &m_callback;
    SDL_AudioSpec have {};
    m_player.setEncoding(encoding);
    m_callback.threadId.store(0, std::memory_order_relaxed);
    // No allowed changes: SDL converts to the hardware's format and rate itself.
    const char* name = m_deviceName.empty() ? nullptr : m_deviceName.c_str();
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (device == 0) {
        const SoundError error = m_deviceName.empty()
            ? sdlError("cannot open the sound device")
            : sdlError("cannot open the sound device \"" + m_deviceName + "\"");
        // A refused open often means the driver has lost its server; the next attempt
        // starts the subsystem afresh so that it can find one that has come back.
        stopSubsystem();
        throw error;
    }
    m_device = device;
    m_obtained = have;
    m_encoding = encoding;
    m_openedLatencyMs = m_latencyMs;
    m_lastRate = rate;
    ++m_openCount;
    m_priorityDone = false;
    m_scheduling.clear();
    startWatch();
    applyFade();
    // Runs from now on, writing silence until a buffer plays.
    SDL_PauseAudioDevice(m_device, 0);
}

void SdlSoundBackend::ensureDevice(int32_t rate, FrameEncoding encoding)
{
    if (m_device != 0 && m_obtained.freq == rate && m_encoding == encoding
        && m_openedLatencyMs == m_latencyMs)
        return;
    fadeOutAndClose();
    openSdlDevice(rate, encoding);
}

void SdlSoundBackend::closeSdlDevice() noexcept
{
    if (m_device == 0)
        return;
    // Joins SDL's audio thread: no callback runs after this, so whatever the player had
    // sent it is back, and every buffer given up may go.
    SDL_CloseAudioDevice(m_device);
    m_device = 0;
    m_obtained = SDL_AudioSpec {};
    m_player.reset();
}

void SdlSoundBackend::fadeOutAndClose() noexcept
{
    m_player.stopAll();
    if (m_device != 0 && !deviceLost() && !m_lostReported) {
        // A few callbacks at most; a device that stopped calling back is not waited for.
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitLimitMs);
        while (m_player.takenSequence() < m_player.sentSequence() || !m_player.silent()) {
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    closeSdlDevice();
}

void SDLCALL SdlSoundBackend::audioCallback(void* userdata, Uint8* stream, int len)
{
    // Audio thread.
    auto* state = static_cast<CallbackState*>(userdata);
    if (state->threadId.load(std::memory_order_relaxed) == 0)
        state->threadId.store(long(syscall(SYS_gettid)), std::memory_order_release);
    state->player->fill(stream, len > 0 ? size_t(len) : 0);
}

} // namespace vellox::audio
