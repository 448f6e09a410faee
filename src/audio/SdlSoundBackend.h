#pragma once

// Sound output through SDL2's audio subsystem.
//
// The logical objects (root, device, buffers) are cheap handles; the real SDL device is
// opened once for a sample rate and stays open while they are released and created
// again, because closing an SDL device costs a few device periods and every restart of
// the generator releases and re-creates all three objects. When it opens:
//   - DirectSoundCreate opens it if none is open, at the rate of the last buffer
//     (98000 Hz before the first), on the device it names ("" the default, otherwise one
//     of playbackDevices), so a missing or refused device fails there with SDL's reason;
//     another name than the open device's closes that one first;
//   - CreateSoundBuffer and Play re-open it when the buffer's rate differs from the
//     open device's (the rate is only known with the buffer description); buffers of
//     the old rate fall silent;
//   - DirectSoundCreate, CreateSoundBuffer and Play close a device that SDL reports lost
//     (stopped by the driver: a sound server that died, a card that went away) together
//     with the audio subsystem, and open it afresh; when that fails, the operation fails
//     with SDL's reason, so a restart reports it instead of playing into nothing, and a
//     later restart tries again from scratch;
//   - the destructor closes it (program end).
// The device always runs: its callback writes the playing buffer, or silence. SDL
// converts to whatever the hardware runs at (no format changes allowed), so the
// callback always sees 16-bit little-endian stereo at the buffer's rate.
//
// Changes are click-free: a buffer that replaces another cross-fades with it, Play fades
// in and Stop (or a release) fades out, over fadeMilliseconds() (LoopPlayer does it on the
// audio thread). A released buffer that is still fading out is kept until the audio thread
// has let go of it and freed on the UI thread by a later call. Closing the device (another
// rate, the end of the program) first lets whatever sounds fade out.
// SDL_AUDIODRIVER selects the driver as usual (pulseaudio, alsa, dummy, disk, ...).
//
// One buffer plays at a time: Play on another buffer detaches the one playing.
// Thread contract: every member function runs on the UI thread; only the SDL callback
// runs on SDL's audio thread, and it touches nothing but the LoopPlayer.

#include "LoopPlayer.h"
#include "SoundBackend.h"

#include <SDL.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vellox::audio {

class SdlSoundBackend : public SoundBackend {
public:
    // Device period in frames asked of SDL: about 10 ms at 98000 Hz.
    static constexpr Uint16 PeriodFrames = 1024;
    static constexpr int32_t FirstRate = 98000;
    // Length of every transition: short enough to sound immediate, long enough that no
    // step is heard. 0 gives the abrupt hand-over.
    static constexpr int DefaultFadeMilliseconds = 5;
    // How long the UI thread waits at most for the audio thread: to let go of a buffer that
    // is written, or to fade out before the device closes.
    static constexpr int WaitLimitMs = 500;

    SdlSoundBackend() = default;
    ~SdlSoundBackend() override;
    SdlSoundBackend(const SdlSoundBackend&) = delete;
    SdlSoundBackend& operator=(const SdlSoundBackend&) = delete;

    Handle createRoot() override;
    Handle DirectSoundCreate(Handle root, const std::string& deviceId) override;
    void SetCooperativeLevel(Handle device, int32_t level) override;
    Handle CreateSoundBuffer(Handle device, const BufferDesc& desc) override;
    void WriteBuffer(
        Handle buffer, int32_t start, int32_t byteCount, const void* data, int32_t flags) override;
    void Play(Handle buffer, int32_t flags) override;
    void Stop(Handle buffer) override;
    void releaseBuffer(Handle buffer) noexcept override;
    void releaseDevice(Handle device) noexcept override;
    void releaseRoot(Handle root) noexcept override;
    void setSignalPhase(Handle buffer, const SignalPhase& phase) override;
    void beginRestart() override;
    void endRestart() override;

    // The transitions' length in milliseconds (0 to 100); takes effect from the next one.
    void setFadeMilliseconds(int milliseconds);
    int fadeMilliseconds() const { return m_fadeMs; }
    // For measurements: the transitions the audio thread has started so far, and whether
    // nothing sounds any more.
    uint64_t transitions() const { return m_player.transitions(); }
    bool silent() const { return m_player.silent(); }
    // For tests: released buffers still waiting for the audio thread to let go of them.
    size_t retiredBuffers() const { return m_player.retiredCount(); }

    // For tests and benchmarks: the rate and format SDL granted (rate 0 when closed), and
    // how often the SDL device has been opened.
    int32_t deviceRate() const { return m_device != 0 ? m_obtained.freq : 0; }
    const SDL_AudioSpec& obtained() const { return m_obtained; }
    int deviceOpenCount() const { return m_openCount; }
    // The name of the driver SDL runs, or "" before the subsystem is up.
    std::string driverName() const;
    // The playback devices SDL reports, by the names DirectSoundCreate takes (starts the
    // audio subsystem if need be; throws SoundError when no driver starts).
    std::vector<std::string> playbackDevices() override;
    // The device the open (or next) SDL device is: "" for the default.
    const std::string& deviceName() const { return m_deviceName; }
    // True while an open device has been lost by its driver and not yet re-opened.
    bool deviceLost() const;

private:
    void startSubsystem();
    void stopSubsystem() noexcept;
    void recoverLostDevice();
    void openDevice(int32_t rate);
    void closeDevice() noexcept;
    void fadeOutAndClose() noexcept;
    void applyFade();
    LoopBuffer& bufferFor(Handle buffer);
    void holdForWrite(LoopBuffer& b);
    static void SDLCALL audioCallback(void* userdata, Uint8* stream, int len);

    LoopPlayer m_player; // first, so that it outlives the device and the buffers
    bool m_subsystemUp = false;
    SDL_AudioDeviceID m_device = 0;
    SDL_AudioSpec m_obtained {};
    int32_t m_lastRate = FirstRate;
    std::string m_deviceName; // "" = the default playback device
    int m_openCount = 0;
    int m_fadeMs = DefaultFadeMilliseconds;
    // Inside a restart: a stop or release of the playing buffer leaves it sounding until the
    // new one plays; silencePending says one was asked for.
    bool m_inRestart = false;
    bool m_silencePending = false;

    Handle m_nextHandle = 1;
    std::set<Handle> m_roots;
    std::set<Handle> m_devices;
    std::map<Handle, std::unique_ptr<LoopBuffer>> m_buffers;
};

} // namespace vellox::audio
