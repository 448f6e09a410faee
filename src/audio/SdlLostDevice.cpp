// The lost-device watch: SDL's own report, a device that stopped calling back, and the
// default's device gone from the list; and the fresh start after a loss.

#include "SdlSoundBackend.h"

#include <chrono>

namespace vellox::audio {

namespace {
    int64_t nowMs()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
} // namespace

bool SdlSoundBackend::deviceLost() const
{
    // SDL marks an opened device stopped when the driver loses it (the sound server went
    // away, the card was unplugged); its callback still runs but nothing is heard.
    return m_device != 0 && SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED;
}

bool SdlSoundBackend::listed(const std::string& name) const
{
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* n = SDL_GetAudioDeviceName(i, 0); n != nullptr && name == n)
            return true;
    return false;
}

void SdlSoundBackend::startWatch()
{
    // A device that has just opened: nothing is lost yet, and the default's name is taken
    // now, as the server has it.
    m_lostReported = false;
    m_playingOn = m_deviceName;
    if (m_playingOn.empty()) {
        char* name = nullptr;
        SDL_AudioSpec deviceFormat {};
        if (SDL_GetDefaultAudioInfo(&name, &deviceFormat, 0) == 0 && name != nullptr)
            m_playingOn = name;
        SDL_free(name);
    }
    m_watchedFills = m_player.fills();
    m_watchedSinceMs = nowMs();
}

std::optional<std::string> SdlSoundBackend::lostDevice()
{
    // Asked regularly: buffers that have come back since the last call are freed here too.
    m_player.reclaim();
    if (m_device == 0 || m_lostReported)
        return std::nullopt;
    raiseAudioThread();
    const std::string device
        = m_deviceName.empty() ? "the sound device" : "the sound device \"" + m_deviceName + "\"";
    if (deviceLost()) {
        m_lostReported = true;
        return device + " went away (its sound server ended, or the device was removed)";
    }
    // The device the default stood for when it opened: the server moves a stream whose
    // device is removed to whatever is left, often a dummy output, without a word to SDL.
    if (!m_playingOn.empty() && !listed(m_playingOn)) {
        m_lostReported = true;
        return "the sound device \"" + m_playingOn + "\" was removed";
    }
    const uint64_t fills = m_player.fills();
    const int64_t now = nowMs();
    if (fills != m_watchedFills) {
        m_watchedFills = fills;
        m_watchedSinceMs = now;
        return std::nullopt;
    }
    if (now - m_watchedSinceMs >= StallLimitMs) {
        m_lostReported = true;
        return device + " stopped taking sound: nothing was played for "
            + std::to_string((now - m_watchedSinceMs) / 1000) + " s";
    }
    return std::nullopt;
}

void SdlSoundBackend::recoverLostDevice()
{
    // Stop keeps the device open, and the server may take it away before the watch looks
    // again: a Start then would play on the gone device's stream, and the next look would
    // stop that sound as lost. A Start opens afresh on what is there now instead.
    const bool goneWhileSilent
        = m_current == nullptr && m_device != 0 && !m_playingOn.empty() && !listed(m_playingOn);
    if (!deviceLost() && !m_lostReported && !goneWhileSilent)
        return;
    // Whatever played is silent already; the next open starts from scratch.
    m_player.stopAll();
    closeSdlDevice();
    stopSubsystem();
}

} // namespace vellox::audio
