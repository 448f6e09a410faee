#pragma once

// Hands PCM buffers from the UI thread to the audio thread and plays the attached one.
//
// Thread contract: the UI thread (the only thread that creates, writes and frees
// LoopBuffers) calls play/stop/stopAll/isAttached; the audio thread calls only fill.
// fill never allocates, frees, locks, logs or waits: it reads one atomic pointer and
// copies bytes. The UI thread attaches a buffer with an atomic pointer swap and, after
// every detach, waits until a fill that may still hold the old pointer has returned
// (an enter/leave counter, odd while fill runs). So when play/stop returns, the audio
// thread touches no buffer except the attached one, and a detached buffer may be
// written or freed. The wait lasts at most one fill (microseconds).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellox::audio {

// One secondary buffer's storage: 16-bit little-endian stereo frames, 4 bytes each.
struct LoopBuffer {
    static constexpr size_t FrameBytes = 4;

    explicit LoopBuffer(size_t byteCount, int32_t rate)
        : bytes(byteCount, 0)
        , sampleRate(rate)
    {
    }
    // Only whole frames play: 97 bytes play as 24 frames.
    size_t frames() const { return bytes.size() / FrameBytes; }

    // The buffer's contents, silence (zero) until written. Written by the UI thread only
    // while the buffer is not attached; its size never changes.
    std::vector<uint8_t> bytes;
    int32_t sampleRate;
    // Set by the UI thread while detached.
    bool looping = true;
    // Next frame to play, 0..frames(); advanced by the audio thread while attached, read
    // and reset by the UI thread while detached. frames() means a single pass has ended.
    size_t position = 0;
};

class LoopPlayer {
public:
    // UI thread. Plays buffer from its position (looping as buffer->looping says);
    // whatever played before is detached. Playing the attached buffer again changes
    // nothing.
    void play(LoopBuffer* buffer);
    // UI thread. Detaches buffer if it is the one playing; returns once the audio thread
    // has left it. Its position stays.
    void stop(LoopBuffer* buffer);
    // UI thread. Detaches whatever plays.
    void stopAll();
    // UI thread.
    bool isAttached(const LoopBuffer* buffer) const;

    // Audio thread. Fills out (byteCount bytes) with the attached buffer's frames from its
    // position on, wrapping to its first frame at the end when looping; silence when
    // nothing is attached or a single pass has ended.
    void fill(uint8_t* out, size_t byteCount) noexcept;

private:
    void detach(LoopBuffer* replacement);

    std::atomic<LoopBuffer*> m_attached { nullptr };
    // Incremented on entering and on leaving fill: odd while the audio thread is inside.
    std::atomic<uint64_t> m_fillCount { 0 };
};

} // namespace vellox::audio
