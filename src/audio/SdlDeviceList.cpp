// The playback devices SDL reports, and the rate each runs at.

#include "SdlSoundBackend.h"

namespace vellox::audio {

std::vector<std::string> SdlSoundBackend::playbackDevices()
{
    startSubsystem();
    std::vector<std::string> names;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 0))
            names.emplace_back(name);
    return names;
}

std::optional<int32_t> SdlSoundBackend::deviceRate(const std::string& deviceId)
{
    try {
        startSubsystem();
    } catch (const SoundError&) {
        return std::nullopt;
    }
    SDL_AudioSpec deviceFormat {};
    if (deviceId.empty()) {
        char* name = nullptr;
        const bool told = SDL_GetDefaultAudioInfo(&name, &deviceFormat, 0) == 0;
        SDL_free(name);
        if (told && deviceFormat.freq > 0)
            return deviceFormat.freq;
    } else {
        const int count = SDL_GetNumAudioDevices(0);
        for (int i = 0; i < count; ++i) {
            const char* n = SDL_GetAudioDeviceName(i, 0);
            if (n != nullptr && deviceId == n && SDL_GetAudioDeviceSpec(i, 0, &deviceFormat) == 0
                && deviceFormat.freq > 0)
                return deviceFormat.freq;
        }
    }
    // Opened without a callback and never unpaused: nothing plays, and the open device of the
    // program (if any) goes on.
    SDL_AudioSpec want {};
    want.freq = m_lastRate;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = periodFrames(m_lastRate, m_latencyMs);
    SDL_AudioSpec have {};
    const SDL_AudioDeviceID probe
        = SDL_OpenAudioDevice(deviceId.empty() ? nullptr : deviceId.c_str(), 0, &want, &have,
            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (probe == 0)
        return std::nullopt;
    SDL_CloseAudioDevice(probe);
    return have.freq > 0 ? std::optional<int32_t>(have.freq) : std::nullopt;
}

std::string SdlSoundBackend::driverName() const
{
    const char* name = m_subsystemUp ? SDL_GetCurrentAudioDriver() : nullptr;
    return name != nullptr ? name : "";
}

} // namespace vellox::audio
