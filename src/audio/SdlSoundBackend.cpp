#include "SdlSoundBackend.h"

#include <SDL_system.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include <dlfcn.h>
#include <pulse/introspect.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vellox::audio {

namespace {
    SoundError sdlError(const char* what)
    {
        return SoundError(std::string(what) + ": " + SDL_GetError());
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

    int64_t nowMs()
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    // The latency the user gave libpulse themselves, read before this program set any.
    const bool g_userPulseLatency = std::getenv("PULSE_LATENCY_MSEC") != nullptr;

    // The real-time priority asked for directly: above a desktop's ordinary threads, below
    // the sound servers' own (PulseAudio 5 to 20 through rtkit, PipeWire's data loop 88).
    constexpr int DirectRealtimePriority = 10;

    std::string schedulingOf(pid_t tid)
    {
        const int policy = sched_getscheduler(tid);
        if (policy < 0)
            return "unknown";
        if ((policy & ~SCHED_RESET_ON_FORK) == SCHED_RR
            || (policy & ~SCHED_RESET_ON_FORK) == SCHED_FIFO) {
            sched_param p {};
            sched_getparam(tid, &p);
            return std::string("realtime (")
                + ((policy & ~SCHED_RESET_ON_FORK) == SCHED_RR ? "SCHED_RR " : "SCHED_FIFO ")
                + std::to_string(p.sched_priority) + ")";
        }
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, id_t(tid));
        return nice != 0 && errno == 0 ? "nice " + std::to_string(nice) : "normal";
    }
} // namespace

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

void SdlSoundBackend::setLatencyMilliseconds(int milliseconds)
{
    m_latencyMs = std::clamp(milliseconds, MinLatencyMs, MaxLatencyMs);
}

Uint16 SdlSoundBackend::periodFrames(int32_t rate, int latencyMs)
{
    const double frames = std::nearbyint(double(rate) * double(latencyMs) / 2000.0);
    return Uint16(std::clamp(frames, 64.0, 65535.0));
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

std::optional<int32_t> SdlSoundBackend::deviceRate(const std::string& deviceId)
{
    try {
        startSubsystem();
    } catch (const SoundError&) {
        return std::nullopt;
    }
    SDL_AudioSpec spec {};
    if (deviceId.empty()) {
        char* name = nullptr;
        const bool told = SDL_GetDefaultAudioInfo(&name, &spec, 0) == 0;
        SDL_free(name);
        if (told && spec.freq > 0)
            return spec.freq;
    } else {
        const int count = SDL_GetNumAudioDevices(0);
        for (int i = 0; i < count; ++i) {
            const char* n = SDL_GetAudioDeviceName(i, 0);
            if (n != nullptr && deviceId == n && SDL_GetAudioDeviceSpec(i, 0, &spec) == 0
                && spec.freq > 0)
                return spec.freq;
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

bool SdlSoundBackend::listed(const std::string& name) const
{
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i)
        if (const char* n = SDL_GetAudioDeviceName(i, 0); n != nullptr && name == n)
            return true;
    return false;
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
    // The audio thread asks rtkit (or the desktop portal) for real-time scheduling when it
    // starts; raiseAudioThread takes it further where that is refused.
    SDL_SetHint(SDL_HINT_THREAD_FORCE_REALTIME_TIME_CRITICAL, "1");
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
    if (!deviceLost() && !m_lostReported)
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

void SdlSoundBackend::openDevice(int32_t rate, FrameEncoding encoding)
{
    closeDevice();
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
            : sdlError(("cannot open the sound device \"" + m_deviceName + "\"").c_str());
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
    m_lastEncoding = encoding;
    ++m_openCount;
    m_priorityDone = false;
    m_scheduling.clear();
    m_lostReported = false;
    m_playingOn = m_deviceName;
    if (m_playingOn.empty()) {
        char* name = nullptr;
        SDL_AudioSpec spec {};
        if (SDL_GetDefaultAudioInfo(&name, &spec, 0) == 0 && name != nullptr)
            m_playingOn = name;
        SDL_free(name);
    }
    m_watchedFills = m_player.fills();
    m_watchedSinceMs = nowMs();
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
    openDevice(rate, encoding);
}

void SdlSoundBackend::closeDevice() noexcept
{
    if (m_device == 0)
        return;
    // Joins SDL's audio thread: no callback runs after this, so whatever the player had
    // sent it is back, and every released buffer may go.
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
        while (m_player.takenSequence() < m_player.sentSequence() || !m_player.silent()) {
            if (std::chrono::steady_clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    closeDevice();
}

void SdlSoundBackend::raiseAudioThread()
{
    if (m_priorityDone || m_device == 0)
        return;
    const long tid = m_callback.threadId.load(std::memory_order_acquire);
    if (tid == 0)
        return; // no callback yet: asked again by the next call
    m_priorityDone = true;
    const pid_t thread = pid_t(tid);
    const int policy = sched_getscheduler(thread);
    if (policy >= 0 && (policy & ~SCHED_RESET_ON_FORK) == SCHED_OTHER) {
        // rtkit refused, or is not there: directly, where the user may (root, CAP_SYS_NICE,
        // an RLIMIT_RTPRIO), else the highest nice level allowed. Each failure is quiet.
        sched_param param {};
        param.sched_priority = DirectRealtimePriority;
        if (sched_setscheduler(thread, SCHED_RR | SCHED_RESET_ON_FORK, &param) != 0) {
            for (int nice = -20; nice < 0; ++nice)
                if (setpriority(PRIO_PROCESS, id_t(thread), nice) == 0)
                    break;
        }
    }
    m_scheduling = schedulingOf(thread);
}

std::string SdlSoundBackend::audioThreadScheduling()
{
    raiseAudioThread();
    return m_scheduling;
}

void SDLCALL SdlSoundBackend::audioCallback(void* userdata, Uint8* stream, int len)
{
    // Audio thread.
    auto* state = static_cast<CallbackState*>(userdata);
    if (state->threadId.load(std::memory_order_relaxed) == 0)
        state->threadId.store(long(syscall(SYS_gettid)), std::memory_order_release);
    state->player->fill(stream, len > 0 ? size_t(len) : 0);
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
        openDevice(m_lastRate, m_lastEncoding);
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
    const FrameEncoding encoding = *frameEncodingOf(desc.Format);
    recoverLostDevice();
    m_player.reclaim();
    ensureDevice(rate, encoding);
    LoopBuffer* storage = nullptr;
    try {
        storage = &m_player.create(size_t(desc.BufferBytes), rate, encoding);
    } catch (const std::bad_alloc&) {
        throw SoundError(
            "out of memory for a buffer of " + std::to_string(desc.BufferBytes) + " bytes");
    }
    const Handle h = m_nextHandle++;
    m_buffers.emplace(h, storage);
    return h;
}

LoopBuffer& SdlSoundBackend::bufferFor(Handle buffer)
{
    const auto it = m_buffers.find(buffer);
    if (it == m_buffers.end())
        throw SoundError("operation on a released sound buffer");
    return *it->second;
}

void SdlSoundBackend::takeBackForWrite(LoopBuffer& b)
{
    if (!m_player.takeBack(b, WaitLimitMs))
        throw SoundError("the sound device stopped taking data");
}

void SdlSoundBackend::WriteBuffer(
    Handle buffer, int32_t start, int32_t byteCount, const void* data, int32_t flags)
{
    LoopBuffer& b = bufferFor(buffer);
    checkWriteRange(int32_t(b.bytes.size()), start, byteCount, data, flags);
    if (byteCount == 0)
        return;
    // The audio thread may be playing the buffer: it hands it back for the write (at once
    // for one never played) and is asked for it again afterwards if it was playing.
    recoverLostDevice();
    const bool playing = m_player.isAttached(b);
    takeBackForWrite(b);
    std::memcpy(b.bytes.data() + start, data, size_t(byteCount));
    if (playing && !m_player.play(b, b.looping))
        throw SoundError("the sound device stopped taking data");
}

void SdlSoundBackend::setSignalPhase(Handle buffer, const SignalPhase& phase)
{
    LoopBuffer& b = bufferFor(buffer);
    const bool playing = m_player.isAttached(b);
    takeBackForWrite(b);
    b.phase = phase;
    if (playing && !m_player.play(b, b.looping))
        throw SoundError("the sound device stopped taking data");
}

void SdlSoundBackend::Play(Handle buffer, int32_t flags)
{
    LoopBuffer& b = bufferFor(buffer);
    if ((flags & ~PlayLooping) != 0)
        throw SoundError("unsupported play flags " + std::to_string(flags));
    recoverLostDevice();
    m_player.reclaim();
    ensureDevice(b.sampleRate, b.encoding);
    raiseAudioThread();
    m_silencePending = false; // this buffer takes over from whatever sounds
    if (!m_player.play(b, (flags & PlayLooping) != 0))
        throw SoundError("the sound device stopped taking data");
}

void SdlSoundBackend::Stop(Handle buffer)
{
    LoopBuffer& b = bufferFor(buffer);
    if (m_inRestart && m_player.isAttached(b))
        m_silencePending = true;
    else
        m_player.stop(b);
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
    // It fades out; its storage is freed on the UI thread once the audio thread has handed
    // it back (here or by a later call).
    LoopBuffer& b = *it->second;
    const bool keepPlaying = m_inRestart && m_player.isAttached(b);
    if (keepPlaying)
        m_silencePending = true;
    m_buffers.erase(it);
    m_player.free(b, keepPlaying);
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

// SDL 2.26's PulseAudio driver copies the server's default sink and source names without
// looking: a server with no sink (the only card unplugged, its module unloaded) reports
// none, and SDL crashes, at start-up or when the last sink goes while it runs. SDL's library
// is linked against libpulse directly, so this definition stands in for libpulse's, and
// hands SDL an empty name ("no default device") in place of the missing one.
namespace {
void serverInfoWithNames(pa_context* context, const pa_server_info* info, void* userdata)
{
    pa_server_info_cb_t callback {};
    std::memcpy(&callback, &userdata, sizeof callback);
    pa_server_info blank {};
    pa_server_info copy = info != nullptr ? *info : blank;
    if (copy.default_sink_name == nullptr)
        copy.default_sink_name = "";
    if (copy.default_source_name == nullptr)
        copy.default_source_name = "";
    callback(context, &copy, nullptr);
}
} // namespace

extern "C" pa_operation* pa_context_get_server_info(
    pa_context* context, pa_server_info_cb_t callback, void* userdata)
{
    using Real = pa_operation* (*)(pa_context*, pa_server_info_cb_t, void*);
    static const Real real = [] {
        Real f {};
        void* symbol = dlsym(RTLD_NEXT, "pa_context_get_server_info");
        std::memcpy(&f, &symbol, sizeof f);
        return f;
    }();
    if (real == nullptr)
        return nullptr;
    // SDL passes no user data; the callback itself travels in its place, so that nothing is
    // allocated that an operation cancelled with its context would leave behind.
    if (callback == nullptr || userdata != nullptr)
        return real(context, callback, userdata);
    void* carried {};
    static_assert(sizeof carried == sizeof callback);
    std::memcpy(&carried, &callback, sizeof carried);
    return real(context, &serverInfoWithNames, carried);
}
