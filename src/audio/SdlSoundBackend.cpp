#include "SdlSoundBackend.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

namespace vellox::audio {

namespace {
    SoundError sdlError(const char* what)
    {
        return SoundError(std::string(what) + ": " + SDL_GetError());
    }
}

SdlSoundBackend::~SdlSoundBackend()
{
    fadeOutAndClose();
    m_buffers.clear();
    stopSubsystem();
}

void SdlSoundBackend::setFadeMilliseconds(int milliseconds)
{
    m_fadeMs = std::clamp(milliseconds, 0, 100);
    applyFade();
}

void SdlSoundBackend::applyFade()
{
    // In frames of the buffers' rate: SDL converts after the callback.
    m_player.setFadeFrames(int32_t(std::lround(double(m_fadeMs) * double(m_lastRate) / 1000.0)));
}

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
    const char* name = m_deviceName.empty() ? nullptr : m_deviceName.c_str();
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    if (device == 0) {
        const SoundError error = m_deviceName.empty()
            ? sdlError("cannot open the sound device")
            : sdlError(("cannot open the sound device \"" + m_deviceName + "\"").c_str());
        // A refused open often means the driver has lost its server; the next attempt
        // starts the subsystem afresh so that it can find one that has come back.
        stopSubsystem();
        throw error;
    }
    m_device = device;
    m_obtained = have;
    m_lastRate = rate;
    ++m_openCount;
    applyFade();
    // Runs from now on, writing silence until a buffer plays.
    SDL_PauseAudioDevice(m_device, 0);
}

void SdlSoundBackend::closeDevice() noexcept
{
    if (m_device == 0)
        return;
    // Joins SDL's audio thread: no callback runs after this, so the player may forget its
    // voices and every retired buffer may go.
    SDL_CloseAudioDevice(m_device);
    m_device = 0;
    m_obtained = SDL_AudioSpec {};
    m_player.reset();
}

void SdlSoundBackend::fadeOutAndClose() noexcept
{
    m_player.stopAll();
    if (m_device != 0 && !deviceLost()) {
        // A few callbacks at most; a device that stopped calling back is not waited for.
        const auto deadline
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitLimitMs);
        while (!m_player.silent() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    closeDevice();
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
    recoverLostDevice();
    startSubsystem();
    // Another device than the open one: the sound there fades out, and the named one opens.
    if (m_device != 0 && deviceId != m_deviceName)
        fadeOutAndClose();
    m_deviceName = deviceId;
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
    m_player.reclaim();
    if (m_device == 0 || m_obtained.freq != rate) {
        fadeOutAndClose();
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
    // The audio thread may be reading the buffer: it lets go of it for the write (at once
    // for one never played) and takes it up again afterwards if it is still asked for.
    recoverLostDevice();
    holdForWrite(b);
    std::memcpy(b.bytes.data() + start, data, size_t(byteCount));
    m_player.release(b);
}

void SdlSoundBackend::holdForWrite(LoopBuffer& b)
{
    if (!m_player.hold(b, WaitLimitMs)) {
        m_player.release(b);
        throw SoundError("the sound device stopped taking data");
    }
}

void SdlSoundBackend::setSignalPhase(Handle buffer, const SignalPhase& phase)
{
    LoopBuffer& b = bufferFor(buffer);
    holdForWrite(b);
    b.phase = phase;
    m_player.release(b);
}

void SdlSoundBackend::Play(Handle buffer, int32_t flags)
{
    LoopBuffer& b = bufferFor(buffer);
    if ((flags & ~PlayLooping) != 0)
        throw SoundError("unsupported play flags " + std::to_string(flags));
    recoverLostDevice();
    m_player.reclaim();
    if (m_device == 0 || m_obtained.freq != b.sampleRate) {
        fadeOutAndClose();
        openDevice(b.sampleRate);
    }
    const bool looping = (flags & PlayLooping) != 0;
    m_silencePending = false; // this buffer takes over from whatever sounds
    if (m_player.isAttached(&b) && b.looping == looping && b.position < b.frames())
        return;
    holdForWrite(b);
    b.looping = looping;
    if (b.position >= b.frames())
        b.position = 0; // a finished single pass plays again from the start
    m_player.release(b);
    m_player.play(&b);
}

void SdlSoundBackend::Stop(Handle buffer)
{
    LoopBuffer& b = bufferFor(buffer);
    if (m_inRestart && m_player.isAttached(&b))
        m_silencePending = true;
    else
        m_player.stop(&b);
}

void SdlSoundBackend::beginRestart()
{
    m_inRestart = true;
    m_silencePending = false;
}

void SdlSoundBackend::endRestart()
{
    // A restart that played nothing (it failed half way) ends in silence after all.
    if (m_silencePending)
        m_player.stopAll();
    m_inRestart = false;
    m_silencePending = false;
}

void SdlSoundBackend::releaseBuffer(Handle buffer) noexcept
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        return;
    // It fades out; its storage is freed on the UI thread once the audio thread has let go
    // of it (here or by a later call).
    const bool keepPlaying = m_inRestart && m_player.isAttached(it->second.get());
    if (keepPlaying)
        m_silencePending = true;
    m_player.retire(std::move(it->second), keepPlaying);
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
