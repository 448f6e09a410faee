#include "SdlSoundBackend.h"

#include <cstring>
#include <new>

namespace vellox::audio {

namespace {
    SoundError sdlError(const char* what)
    {
        return SoundError(std::string(what) + ": " + SDL_GetError());
    }
}

SdlSoundBackend::~SdlSoundBackend()
{
    m_player.stopAll();
    closeDevice();
    m_buffers.clear();
    stopSubsystem();
}

std::string SdlSoundBackend::driverName() const
{
    const char* name = m_subsystemUp ? SDL_GetCurrentAudioDriver() : nullptr;
    return name != nullptr ? name : "";
}

void SdlSoundBackend::startSubsystem()
{
    if (m_subsystemUp)
        return;
    // Reads SDL_AUDIODRIVER; a failure leaves nothing to undo and the next call retries.
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw sdlError("cannot start the sound system");
    m_subsystemUp = true;
}

bool SdlSoundBackend::deviceLost() const
{
    // SDL marks an opened device stopped when the driver loses it (the sound server went
    // away, the card was unplugged); its callback still runs but nothing is heard.
    return m_device != 0 && SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED;
}

void SdlSoundBackend::recoverLostDevice()
{
    if (!deviceLost())
        return;
    // Whatever played is silent already; the next open starts from scratch.
    m_player.stopAll();
    closeDevice();
    stopSubsystem();
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

void SdlSoundBackend::openDevice(int32_t rate)
{
    closeDevice();
    startSubsystem();
    SDL_AudioSpec want {};
    want.freq = rate;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = PeriodFrames;
    want.callback = &SdlSoundBackend::audioCallback;
    want.userdata = &m_player;
    SDL_AudioSpec have {};
    // No allowed changes: SDL converts to the hardware's format and rate itself.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        const SoundError error = sdlError("cannot open the sound device");
        // A refused open often means the driver has lost its server; the next attempt
        // starts the subsystem afresh so that it can find one that has come back.
        stopSubsystem();
        throw error;
    }
    m_device = device;
    m_obtained = have;
    m_lastRate = rate;
    ++m_openCount;
    // Runs from now on, writing silence until a buffer plays.
    SDL_PauseAudioDevice(m_device, 0);
}

void SdlSoundBackend::closeDevice() noexcept
{
    if (m_device == 0)
        return;
    // Joins SDL's audio thread: no callback runs after this.
    SDL_CloseAudioDevice(m_device);
    m_device = 0;
    m_obtained = SDL_AudioSpec {};
}

void SDLCALL SdlSoundBackend::audioCallback(void* userdata, Uint8* stream, int len)
{
    // Audio thread.
    static_cast<LoopPlayer*>(userdata)->fill(stream, len > 0 ? size_t(len) : 0);
}

SoundBackend::Handle SdlSoundBackend::createRoot()
{
    const Handle h = m_nextHandle++;
    m_roots.insert(h);
    return h;
}

SoundBackend::Handle SdlSoundBackend::DirectSoundCreate(Handle root, const std::string& deviceId)
{
    if (m_roots.count(root) == 0)
        throw SoundError("DirectSoundCreate on a released root object");
    if (!deviceId.empty())
        throw SoundError("only the default playback device is supported");
    recoverLostDevice();
    startSubsystem();
    if (m_device == 0)
        openDevice(m_lastRate);
    const Handle h = m_nextHandle++;
    m_devices.insert(h);
    return h;
}

void SdlSoundBackend::SetCooperativeLevel(Handle device, int32_t level)
{
    // Kept for the object model: SDL shares the device with other programs anyway.
    if (m_devices.count(device) == 0)
        throw SoundError("SetCooperativeLevel on a released device");
    if (level != CooperativeNormal)
        throw SoundError("unsupported cooperative level " + std::to_string(level));
}

SoundBackend::Handle SdlSoundBackend::CreateSoundBuffer(Handle device, const BufferDesc& desc)
{
    if (m_devices.count(device) == 0)
        throw SoundError("CreateSoundBuffer on a released device");
    checkBufferDesc(desc);
    const int32_t rate = desc.Format.SamplesPerSec;
    recoverLostDevice();
    if (m_device == 0 || m_obtained.freq != rate) {
        m_player.stopAll();
        openDevice(rate);
    }
    std::unique_ptr<LoopBuffer> storage;
    try {
        storage = std::make_unique<LoopBuffer>(size_t(desc.BufferBytes), rate);
    } catch (const std::bad_alloc&) {
        throw SoundError(
            "out of memory for a buffer of " + std::to_string(desc.BufferBytes) + " bytes");
    }
    const Handle h = m_nextHandle++;
    m_buffers.emplace(h, std::move(storage));
    return h;
}

LoopBuffer& SdlSoundBackend::bufferFor(Handle buffer)
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        throw SoundError("operation on a released sound buffer");
    return *it->second;
}

void SdlSoundBackend::WriteBuffer(
    Handle buffer, int32_t start, int32_t byteCount, const void* data, int32_t flags)
{
    LoopBuffer& b = bufferFor(buffer);
    checkWriteRange(int32_t(b.bytes.size()), start, byteCount, data, flags);
    if (byteCount == 0)
        return;
    // The audio thread reads a playing buffer: take it away, write, hand it back at the
    // same position.
    const bool wasPlaying = m_player.isAttached(&b);
    m_player.stop(&b);
    std::memcpy(b.bytes.data() + start, data, size_t(byteCount));
    if (wasPlaying)
        m_player.play(&b);
}

void SdlSoundBackend::Play(Handle buffer, int32_t flags)
{
    LoopBuffer& b = bufferFor(buffer);
    if ((flags & ~PlayLooping) != 0)
        throw SoundError("unsupported play flags " + std::to_string(flags));
    recoverLostDevice();
    if (m_device == 0 || m_obtained.freq != b.sampleRate) {
        m_player.stopAll();
        openDevice(b.sampleRate);
    }
    const bool looping = (flags & PlayLooping) != 0;
    if (m_player.isAttached(&b) && b.looping == looping)
        return;
    m_player.stop(&b);
    b.looping = looping;
    if (b.position >= b.frames())
        b.position = 0; // a finished single pass plays again from the start
    m_player.play(&b);
}

void SdlSoundBackend::Stop(Handle buffer)
{
    m_player.stop(&bufferFor(buffer));
}

void SdlSoundBackend::releaseBuffer(Handle buffer) noexcept
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        return;
    // Silent at once; the storage is freed here, on the UI thread, after the audio
    // thread has left it.
    m_player.stop(it->second.get());
    m_buffers.erase(it);
}

void SdlSoundBackend::releaseDevice(Handle device) noexcept
{
    // The SDL device stays open for the next restart; it closes with the backend.
    m_devices.erase(device);
}

void SdlSoundBackend::releaseRoot(Handle root) noexcept
{
    m_roots.erase(root);
}

} // namespace vellox::audio
