#pragma once

// Sound output through SDL2's audio subsystem: the player under SoundObjects.
//
// One SDL device is open at a time, and it stays open from one hand-over to the next: a
// restart of the generator hands a new buffer over without closing anything. It opens:
//   - in openDevice, on the device it names ("" the default, otherwise one of
//     playbackDevices), at the rate and frame format the sound objects' buffer has, so a
//     missing or refused device fails there with SDL's reason; another name, rate, format or
//     latency than the open device's closes that one first (what sounded there fades out);
//   - in play, when the buffer's rate or format is not the open device's (or none is open);
//   - in openDevice and play, afresh together with the audio subsystem, after SDL reported
//     the device lost (a sound server that died, a card that went away) or lostDevice told
//     of a loss; when that fails, the call fails with SDL's reason, and a later one tries
//     again from scratch.
// It closes in closeDevice and with the player, after whatever sounds has faded out. While
// open the device always runs: its callback writes what sounds, or silence. SDL converts to
// whatever the hardware runs at (no format changes allowed), so the callback always sees
// the buffer's frames (16-bit, 32-bit or float, little-endian stereo) at the buffer's rate.
//
// Changes are click-free: a buffer handed over cross-fades with what sounded, or fades in
// from silence, and silence fades out, over fadeMilliseconds() (LoopPlayer does it on the
// audio thread), starting where its tones continue those heard last. Each hand-over is a
// buffer of its own: the bytes are copied into a LoopBuffer that belongs to the audio thread
// from then on, and the one it replaces is freed on the UI thread once it has faded out and
// come back.
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
// The jobs live in files of their own: the player's calls (SdlSoundBackend.cpp), the
// device's life and its callback (SdlDevice.cpp), the lost-device watch (SdlLostDevice.cpp),
// the audio thread's scheduling (SdlScheduling.cpp), the devices and their rates
// (SdlDeviceList.cpp), and a stand-in for a libpulse call that SDL mishandles
// (PulseServerInfo.cpp).
//
// Thread contract: every member function runs on the UI thread; only the SDL callback
// runs on SDL's audio thread, and it touches nothing but the LoopPlayer and one atomic.

#include "LoopPlayer.h"
#include "SoundBackend.h"

#include <SDL.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace vellox::audio {

class SdlSoundBackend : public SoundBackend {
public:
    static constexpr int32_t FirstRate = 98000;
    // Length of every transition: short enough to sound immediate, long enough that no
    // step is heard. 0 gives the abrupt hand-over.
    static constexpr int DefaultFadeMilliseconds = 5;
    // How long the UI thread waits at most for the audio thread to fade out before the
    // device closes.
    static constexpr int WaitLimitMs = 500;
    // A device that has not called back for this long while open has stopped (a stream
    // the server no longer runs); longer than a server's start-up stall of an idle sink.
    static constexpr int StallLimitMs = 4000;

    SdlSoundBackend() = default;
    ~SdlSoundBackend() override;
    SdlSoundBackend(const SdlSoundBackend&) = delete;
    SdlSoundBackend& operator=(const SdlSoundBackend&) = delete;

    void openDevice(
        const std::string& deviceId, int32_t sampleRate, FrameEncoding encoding) override;
    void play(const PlayBuffer& buffer) override;
    void playStream(std::unique_ptr<ToneStream> stream, FrameEncoding encoding) override;
    void silence() noexcept override;
    void closeDevice() noexcept override;
    std::optional<std::string> lostDevice() override;
    bool handedOver() const override
    {
        return m_device == 0 || m_player.heard(m_player.sentSequence());
    }

    // The transitions' length in milliseconds (0 to 100); takes effect from the next one.
    void setFadeMilliseconds(int milliseconds);
    int fadeMilliseconds() const { return m_fadeMs; }
    // What the sound server holds ahead, MinLatencyMs to MaxLatencyMs; an open device
    // re-opens with it at the next hand-over.
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
    // For tests: buffers handed over and replaced that wait for the audio thread to hand
    // them back, and every buffer that exists once those that came back are freed.
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
    // The playback devices SDL reports, by the names openDevice takes (starts the audio
    // subsystem if need be; throws SoundError when no driver starts).
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

    // The device's life (SdlDevice.cpp).
    void startSubsystem();
    void stopSubsystem() noexcept;
    void openSdlDevice(int32_t rate, FrameEncoding encoding);
    void ensureDevice(int32_t rate, FrameEncoding encoding);
    void closeSdlDevice() noexcept;
    void fadeOutAndClose() noexcept;
    static void SDLCALL audioCallback(void* userdata, Uint8* stream, int len);
    // The lost-device watch (SdlLostDevice.cpp).
    bool listed(const std::string& name) const;
    void startWatch();
    void recoverLostDevice();
    // The audio thread's scheduling (SdlScheduling.cpp).
    void raiseAudioThread();

    void applyFade();

    LoopPlayer m_player; // first, so that it outlives the device
    CallbackState m_callback { &m_player };
    // The buffer handed over last, until silence or the next hand-over frees it.
    LoopBuffer* m_current = nullptr;
    bool m_subsystemUp = false;
    SDL_AudioDeviceID m_device = 0;
    SDL_AudioSpec m_obtained {};
    FrameEncoding m_encoding = FrameEncoding::S16; // of the open device
    int m_openedLatencyMs = 0; // the open device's
    int32_t m_lastRate = FirstRate; // the last device's, for the fade and a rate probe
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
};

} // namespace vellox::audio
