#pragma once

// A recording stand-in for the sound player, for tests of the sound objects and of the
// window: it logs every call with its arguments, keeps what was handed over last and
// whether it sounds, and can be told to fail a chosen call with a chosen message. Makes no
// sound and starts no thread; UI thread only.

#include "SoundBackend.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vellox::audio {

struct SoundOp {
    enum class Kind {
        OpenDevice,
        Play,
        PlayStream,
        Silence,
        CloseDevice,
    };
    Kind kind = Kind::OpenDevice;
    std::string deviceId; // OpenDevice
    // OpenDevice and Play: the buffer's rate and frames.
    int32_t sampleRate = 0;
    FrameEncoding encoding = FrameEncoding::S16;
    // Play: the buffer handed over, with a copy of its bytes. PlayStream: the stream's first
    // second, as its bytes, and its settings and options.
    SignalPhase phase;
    bool looping = false;
    std::vector<uint8_t> data;
    bool failed = false; // the call threw SoundError
    std::optional<StreamSettings> stream;
    SignalOptions streamOptions;

    // One line naming the call and its arguments, for sequence assertions, e.g.
    // "OpenDevice(\"\" rate=98000 s16)", "Play(bytes=392000 rate=98000 s16 looping)",
    // "Silence()", and a
    // trailing " failed" when it threw.
    std::string describe() const;
};

const char* kindName(SoundOp::Kind kind);

class FakeSoundBackend : public SoundBackend {
public:
    void openDevice(
        const std::string& deviceId, int32_t sampleRate, FrameEncoding encoding) override;
    void play(const PlayBuffer& buffer) override;
    void playStream(std::unique_ptr<ToneStream> stream, FrameEncoding encoding) override;
    void silence() noexcept override;
    void closeDevice() noexcept override;
    // The device names it reports (none until set); not recorded as a call.
    std::vector<std::string> playbackDevices() override { return m_playbackDevices; }
    void setPlaybackDevices(std::vector<std::string> names)
    {
        m_playbackDevices = std::move(names);
    }
    // Reports `reason` once, as a device that went away while playing would.
    std::optional<std::string> lostDevice() override { return std::exchange(m_lost, std::nullopt); }
    void loseDevice(std::string reason) { m_lost = std::move(reason); }
    // Kept, not acted on; the device's rate as a test sets it.
    void setLatencyMilliseconds(int milliseconds) override { m_latencyMs = milliseconds; }
    int latencyMilliseconds() const override { return m_latencyMs; }
    std::optional<int32_t> deviceRate(const std::string&) override { return m_deviceRate; }
    void setDeviceRate(std::optional<int32_t> rate) { m_deviceRate = rate; }

    // The next call of kind (after skip successful calls of that kind) throws SoundError
    // with message; once, or on every call from then on when persistent. Silence and
    // CloseDevice cannot fail and are not accepted here.
    void failOn(SoundOp::Kind kind, std::string message, int skip = 0, bool persistent = false);
    void clearFailures() { m_failures.clear(); }
    // Runs hook at the start of every call, before it is recorded: lets a test make a call
    // slow, as a real device can be.
    void setOnOperation(std::function<void(SoundOp::Kind)> hook)
    {
        m_onOperation = std::move(hook);
    }

    const std::vector<SoundOp>& ops() const { return m_ops; }
    std::vector<std::string> describedOps() const;
    void clearOps() { m_ops.clear(); }

    // Whether a device is open, and which.
    bool deviceOpen() const { return m_open; }
    const std::string& openDeviceId() const { return m_deviceId; }
    // Whether something sounds (handed over, and neither silenced nor closed since), whether
    // it loops, and what was handed over last (empty before the first hand-over).
    bool playing() const { return m_playing; }
    bool playingLooped() const { return m_playing && m_looping; }
    const SoundOp* lastHandover() const;

private:
    struct Failure {
        SoundOp::Kind kind;
        std::string message;
        int skip;
        bool persistent;
    };

    SoundOp& record(SoundOp::Kind kind);
    // Throws the injected failure for op (marking it failed) if one is due.
    void maybeFail(SoundOp& op);
    [[noreturn]] void refuse(SoundOp& op, const std::string& message);

    std::vector<SoundOp> m_ops;
    std::vector<Failure> m_failures;
    bool m_open = false;
    std::string m_deviceId;
    int32_t m_rate = 0;
    FrameEncoding m_encoding = FrameEncoding::S16;
    bool m_playing = false;
    bool m_looping = false;
    std::function<void(SoundOp::Kind)> m_onOperation;
    std::vector<std::string> m_playbackDevices;
    std::optional<std::string> m_lost;
    int m_latencyMs = DefaultLatencyMs;
    std::optional<int32_t> m_deviceRate;
};

} // namespace vellox::audio
