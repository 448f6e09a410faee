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
// callback always sees the buffer's frames (16-bit, 32-bit or float, little-endian stereo)
// at the buffer's rate; a buffer of another format re-opens the device as a rate does.
//
// Changes are click-free: a buffer that replaces another cross-fades with it, Play fades
// in and Stop (or a release) fades out, over fadeMilliseconds() (LoopPlayer does it on the
// audio thread). A released buffer that is still fading out is kept until the audio thread
// has handed it back and freed on the UI thread by a later call. Closing the device (another
// rate, the end of the program) first lets whatever sounds fade out.
//
// Buffering is sized in time, not frames, so that every rate has the same slack: the sound
// server holds latencyMilliseconds() of sound ahead (PulseAudio's target length, through
// PULSE_LATENCY_MSEC unless the user set it), and SDL's period is half of that. SDL's pipewire
// driver hands the graph one period per cycle, so its period must outlast the graph's cycle
// (1024 frames by default, 21 to 23 ms), or the stream runs dry every few cycles and skips
// while the sound changes: the default latency gives 30 ms periods. The audio thread asks for
// real-time scheduling (rtkit through SDL, then directly where the system allows it, then the
// highest nice level it may take) and goes on quietly with what it gets. SDL_AUDIODRIVER
// selects the driver as usual (pulseaudio, alsa, dummy, disk, ...).
//
// One buffer plays at a time: Play on another buffer detaches the one playing.
// Thread contract: every member function runs on the UI thread; only the SDL callback
// runs on SDL's audio thread, and it touches nothing but the LoopPlayer and one atomic.

#include "LoopPlayer.h"
#include "SoundBackend.h"

#include <SDL.h>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vellox::audio {

class SdlSoundBackend : public SoundBackend {
public:
    static constexpr int32_t FirstRate = 98000;
    // Length of every transition: short enough to sound immediate, long enough that no
    // step is heard. 0 gives the abrupt hand-over.
    static constexpr int DefaultFadeMilliseconds = 5;
    // How long the UI thread waits at most for the audio thread: to hand back a buffer that
    // is written, or to fade out before the device closes.
    static constexpr int WaitLimitMs = 500;
    // A device that has not called back for this long while open has stopped (a stream
    // the server no longer runs); longer than a server's start-up stall of an idle sink.
    static constexpr int StallLimitMs = 4000;

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
    std::optional<std::string> lostDevice() override;

    // The transitions' length in milliseconds (0 to 100); takes effect from the next one.
    void setFadeMilliseconds(int milliseconds);
    int fadeMilliseconds() const { return m_fadeMs; }
    // What the sound server holds ahead, MinLatencyMs to MaxLatencyMs; an open device
    // re-opens with it at the next restart.
    void setLatencyMilliseconds(int milliseconds) override;
    int latencyMilliseconds() const override { return m_latencyMs; }
    // From the driver's own report (PulseAudio and PipeWire give their sink's rate), else by
    // opening the device for a moment with SDL's frequency-change flag (ALSA gives the rate it
    // would run at).
    std::optional<int32_t> deviceRate(const std::string& deviceId) override;
    // SDL's period at `rate` for a latency: half of it, in frames.
    static Uint16 periodFrames(int32_t rate, int latencyMs);
    // For measurements: the transitions the audio thread has started so far, and whether
    // nothing sounds any more.
    uint64_t transitions() const { return m_player.transitions(); }
    bool silent() const { return m_player.silent(); }
    // For tests: released buffers still waiting for the audio thread to hand them back,
    // and every buffer that exists once those that came back are freed.
    size_t retiredBuffers() const { return m_player.retiredCount(); }
    size_t liveBuffers()
    {
        m_player.reclaim();
        return m_player.bufferCount();
    }

    // For tests and benchmarks: the rate and format SDL granted (rate 0 when closed), and
    // how often the SDL device has been opened.
    int32_t deviceRate() const { return m_device != 0 ? m_obtained.freq : 0; }
    const SDL_AudioSpec& obtained() const { return m_obtained; }
    int deviceOpenCount() const { return m_openCount; }
    // How the audio thread is scheduled, once it has run: "realtime (SCHED_RR 10)",
    // "nice -20", "normal"; "" before its first callback.
    std::string audioThreadScheduling();
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
    struct CallbackState {
        LoopPlayer* player = nullptr;
        std::atomic<long> threadId { 0 }; // the audio thread's, from its first callback
    };

    void startSubsystem();
    void stopSubsystem() noexcept;
    bool listed(const std::string& name) const;
    void recoverLostDevice();
    void openDevice(int32_t rate, FrameEncoding encoding);
    void ensureDevice(int32_t rate, FrameEncoding encoding);
    void closeDevice() noexcept;
    void fadeOutAndClose() noexcept;
    void applyFade();
    void raiseAudioThread();
    LoopBuffer& bufferFor(Handle buffer);
    void takeBackForWrite(LoopBuffer& b);
    static void SDLCALL audioCallback(void* userdata, Uint8* stream, int len);

    LoopPlayer m_player; // first, so that it outlives the device
    CallbackState m_callback { &m_player };
    bool m_subsystemUp = false;
    SDL_AudioDeviceID m_device = 0;
    SDL_AudioSpec m_obtained {};
    FrameEncoding m_encoding = FrameEncoding::S16; // of the open device
    int m_openedLatencyMs = 0; // the open device's
    int32_t m_lastRate = FirstRate;
    FrameEncoding m_lastEncoding = FrameEncoding::S16;
    std::string m_deviceName; // "" = the default playback device
    std::string m_playingOn; // the open device by name: the default's when it opened
    int m_openCount = 0;
    int m_fadeMs = DefaultFadeMilliseconds;
    int m_latencyMs = DefaultLatencyMs;
    bool m_priorityDone = false; // for the open device's audio thread
    std::string m_scheduling;
    // The stall watch: the fill count when it last moved, and when.
    uint64_t m_watchedFills = 0;
    int64_t m_watchedSinceMs = 0;
    bool m_lostReported = false;
    // Inside a restart: a stop or release of the playing buffer leaves it sounding until the
    // new one plays; silencePending says one was asked for.
    bool m_inRestart = false;
    bool m_silencePending = false;

    Handle m_nextHandle = 1;
    std::set<Handle> m_roots;
    std::set<Handle> m_devices;
    std::map<Handle, LoopBuffer*> m_buffers; // owned by the player
};

} // namespace vellox::audio
