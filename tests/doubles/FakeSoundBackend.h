#pragma once

// A recording stand-in for the sound device, for tests of the sound objects and of the
// window: it logs every operation with its arguments, keeps each buffer's bytes and
// playing state, refuses what the real device refuses, and can be told to fail a chosen
// operation with a chosen message. Makes no sound and starts no thread; UI thread only.

#include "SoundBackend.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vellox::audio {

struct SoundOp {
    enum class Kind {
        CreateRoot,
        DirectSoundCreate,
        SetCooperativeLevel,
        CreateSoundBuffer,
        WriteBuffer,
        Play,
        Stop,
        ReleaseBuffer,
        ReleaseDevice,
        ReleaseRoot,
    };
    Kind kind = Kind::CreateRoot;
    // The object operated on (0 for CreateRoot), and the handle created, if any.
    SoundBackend::Handle target = 0;
    SoundBackend::Handle created = 0;
    std::string deviceId; // DirectSoundCreate
    int32_t level = 0; // SetCooperativeLevel
    BufferDesc desc; // CreateSoundBuffer
    int32_t start = 0; // WriteBuffer
    int32_t byteCount = 0; // WriteBuffer
    std::vector<uint8_t> data; // WriteBuffer: a copy of the bytes passed
    int32_t flags = 0; // WriteBuffer, Play
    bool failed = false; // the operation threw SoundError

    // One line naming the operation and its arguments, for sequence assertions, e.g.
    // "CreateSoundBuffer(flags=0 bytes=196000 tag=1 ch=2 rate=98000 avg=392000 align=4
    // bits=16 extra=0)", "WriteBuffer(start=0 bytes=196000 flags=0)", "Play(1)", and a
    // trailing " failed" when it threw. Handles are left out.
    std::string describe() const;
};

const char* kindName(SoundOp::Kind kind);

class FakeSoundBackend : public SoundBackend {
public:
    Handle createRoot() override;
    Handle DirectSoundCreate(Handle root, const std::string& deviceId) override;
    void SetCooperativeLevel(Handle device, int32_t level) override;
    Handle CreateSoundBuffer(Handle device, const BufferDesc& desc) override;
    void WriteBuffer(
        Handle buffer, int32_t start, int32_t byteCount, const void* data, int32_t flags) override;
    void Play(Handle buffer, int32_t flags) override;
    void Stop(Handle buffer) override;
    // The device names it reports (none until set); not recorded as an operation.
    std::vector<std::string> playbackDevices() override { return m_playbackDevices; }
    void setPlaybackDevices(std::vector<std::string> names)
    {
        m_playbackDevices = std::move(names);
    }
    // Kept with the buffer, not recorded as an operation: it changes nothing the tests of
    // call sequences look at.
    void setSignalPhase(Handle buffer, const SignalPhase& phase) override;
    void releaseBuffer(Handle buffer) noexcept override;
    void releaseDevice(Handle device) noexcept override;
    void releaseRoot(Handle root) noexcept override;
    // Reports `reason` once, as a device that went away while playing would.
    std::optional<std::string> lostDevice() override { return std::exchange(m_lost, std::nullopt); }
    void loseDevice(std::string reason) { m_lost = std::move(reason); }
    // Kept, not acted on; the device's rate as a test sets it.
    void setLatencyMilliseconds(int milliseconds) override { m_latencyMs = milliseconds; }
    int latencyMilliseconds() const override { return m_latencyMs; }
    std::optional<int32_t> deviceRate(const std::string&) override { return m_deviceRate; }
    void setDeviceRate(std::optional<int32_t> rate) { m_deviceRate = rate; }

    // The next call of kind (after skip successful calls of that kind) throws SoundError
    // with message; once, or on every call from then on when persistent. Release kinds
    // cannot fail and are not accepted here.
    void failOn(SoundOp::Kind kind, std::string message, int skip = 0, bool persistent = false);
    void clearFailures() { m_failures.clear(); }
    // Runs hook at the start of every operation, before it is recorded: lets a test make an
    // operation slow, as a real device can be.
    void setOnOperation(std::function<void(SoundOp::Kind)> hook)
    {
        m_onOperation = std::move(hook);
    }

    const std::vector<SoundOp>& ops() const { return m_ops; }
    std::vector<std::string> describedOps() const;
    void clearOps() { m_ops.clear(); }

    // Live objects and the state of a buffer.
    size_t liveRoots() const { return m_roots.size(); }
    size_t liveDevices() const { return m_devices.size(); }
    size_t liveBuffers() const { return m_buffers.size(); }
    // The buffer that plays (0 when none), whether it loops, and its bytes.
    Handle playingBuffer() const;
    bool playingLooped() const;
    std::optional<std::vector<uint8_t>> bufferBytes(Handle buffer) const;
    std::optional<SignalPhase> signalPhase(Handle buffer) const;

private:
    struct Buffer {
        BufferDesc desc;
        std::vector<uint8_t> bytes;
        bool playing = false;
        bool looping = false;
        SignalPhase phase;
    };
    struct Failure {
        SoundOp::Kind kind;
        std::string message;
        int skip;
        bool persistent;
    };

    SoundOp& record(SoundOp::Kind kind, Handle target);
    // Throws the injected failure for op (marking it failed) if one is due.
    void maybeFail(SoundOp& op);
    [[noreturn]] void refuse(SoundOp& op, const std::string& message);
    Buffer& bufferFor(SoundOp& op, Handle buffer);

    Handle m_next = 1;
    std::vector<SoundOp> m_ops;
    std::vector<Failure> m_failures;
    std::map<Handle, bool> m_roots;
    std::map<Handle, bool> m_devices;
    std::map<Handle, Buffer> m_buffers;
    std::function<void(SoundOp::Kind)> m_onOperation;
    std::vector<std::string> m_playbackDevices;
    std::optional<std::string> m_lost;
    int m_latencyMs = DefaultLatencyMs;
    std::optional<int32_t> m_deviceRate;
};

} // namespace vellox::audio
