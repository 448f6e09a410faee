#pragma once

// Hands PCM buffers from the UI thread to the audio thread and plays them, going from one
// to the next without a step in the output.
//
// Thread contract. The UI thread (the only thread that creates, writes and frees
// LoopBuffers) calls everything here but fill; the audio thread calls only fill. fill never
// allocates, frees, locks, logs or waits: it reads atomics, copies and mixes frames.
//
// The UI thread asks for a buffer (play) or for silence (stop) by one atomic pointer swap;
// at the start of its next fill the audio thread starts the transition: the buffer that
// played fades out while the new one fades in, over fadeFrames frames with gains that sum
// to one (a raised cosine), and a voice that was fading out and is asked for again fades
// back in from where it is. A new buffer starts where its tones continue those of the
// buffer heard before (continuingFrame), so that a change of frequency glides. Up to
// MaxVoices buffers sound at once; between transitions the output is the playing buffer's
// bytes exactly. fadeFrames 0 is the abrupt hand-over: no fades, every buffer from its own
// position.
//
// Lifetime. A buffer the UI thread no longer wants may still be fading out on the audio
// thread, so it is not freed at once: retire() takes it over and reclaim(), on the UI
// thread, frees it once the audio thread has let go of it (see canFree in LoopPlayer.cpp
// for why that is safe without a lock). To write into a buffer that may be sounding, the UI
// thread holds it: the audio thread drops it at its next fill (abruptly) and hold returns
// once it has, which takes at most one fill.

#include "SignalPhase.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vellox::audio {

// The frame at which a buffer of `frames` frames holding `to` (at `rate`) starts so that
// its tones continue those of a buffer holding `from` that is at frame `position`. Every
// buffer starts both tones at phase 0, so frame k holds phase f * k / rate of each. A tone
// present in both at the same frequency continues exactly; when one tone moved, the frame
// is the one nearest in its phase among those. Empty where it does not apply: either signal
// not linkable, both tones moved, or the new buffer's loop not whole cycles of its tones
// (starting elsewhere than at frame 0 would then not be the same signal, shifted).
std::optional<size_t> continuingFrame(
    const SignalPhase& from, size_t position, const SignalPhase& to, int32_t rate, size_t frames);

// One secondary buffer's storage: 16-bit little-endian stereo frames, 4 bytes each.
struct LoopBuffer {
    static constexpr size_t FrameBytes = 4;

    explicit LoopBuffer(size_t byteCount, int32_t rate)
        : bytes(byteCount, 0)
        , sampleRate(rate)
    {
    }
    LoopBuffer(const LoopBuffer&) = delete;
    LoopBuffer& operator=(const LoopBuffer&) = delete;

    // Only whole frames play: 97 bytes play as 24 frames.
    size_t frames() const { return bytes.size() / FrameBytes; }

    // The buffer's contents, silence (zero) until written. Written by the UI thread only
    // while the audio thread does not hold it (never played, or held); its size never
    // changes.
    std::vector<uint8_t> bytes;
    int32_t sampleRate;
    // Set by the UI thread before play.
    bool looping = true;
    SignalPhase phase;
    // Next frame to play, 0..frames(): advanced (or set, to continue another buffer's
    // tones) by the audio thread while it holds the buffer, by the UI thread otherwise.
    // frames() means a single pass has ended.
    size_t position = 0;
    // Audio thread: whether the buffer has sounded. Only its first start continues the
    // tones of the buffer heard before; a later one resumes where it was.
    bool started = false;

    // Whether a voice of the audio thread holds the buffer: set and cleared by it only.
    std::atomic<bool> inAudio { false };
    // Set by the UI thread while it writes: the audio thread lets go of the buffer and does
    // not take it up until it is cleared.
    std::atomic<bool> held { false };
};

class LoopPlayer {
public:
    static constexpr int MaxVoices = 4;

    explicit LoopPlayer(int32_t fadeFrames = 0);
    ~LoopPlayer();
    LoopPlayer(const LoopPlayer&) = delete;
    LoopPlayer& operator=(const LoopPlayer&) = delete;

    // UI thread. Frames of each transition from the next one on; 0 = abrupt.
    void setFadeFrames(int32_t frames);
    int32_t fadeFrames() const { return m_fadeFrames.load(std::memory_order_relaxed); }

    // UI thread. Plays buffer from its position (looping as buffer->looping says),
    // fading in; whatever played fades out. Playing the buffer asked for again changes
    // nothing.
    void play(LoopBuffer* buffer);
    // UI thread. If buffer is the one asked for, asks for silence: it fades out, and its
    // position afterwards is where the fade ended.
    void stop(LoopBuffer* buffer);
    // UI thread. Asks for silence, whatever plays.
    void stopAll();
    // UI thread: whether buffer is the one asked for.
    bool isAttached(const LoopBuffer* buffer) const;

    // UI thread. Takes over a buffer the UI thread is done with and frees it once the audio
    // thread has let go of it. If it is the one asked for, it is stopped, unless keepPlaying:
    // then it sounds on until the next play or stop (a restart's new buffer cross-fades with
    // it instead of with silence).
    void retire(std::unique_ptr<LoopBuffer> buffer, bool keepPlaying = false);
    // UI thread. Frees the retired buffers the audio thread has let go of.
    void reclaim();
    size_t retiredCount() const { return m_retired.size(); }

    // UI thread. Makes the audio thread let go of buffer for a write; false when it has not
    // within `limitMs` (a device that no longer calls back). release() lets it play again.
    bool hold(LoopBuffer& buffer, int limitMs);
    void release(LoopBuffer& buffer);

    // UI thread, and only while fill cannot run (no device open, or after it was closed):
    // forgets every voice, as if the audio thread had let go of all buffers.
    void reset();

    // Any thread: whether the last fill ended with no voice sounding, and how many
    // transitions the audio thread has started (for measurements).
    bool silent() const { return m_silent.load(std::memory_order_acquire); }
    uint64_t transitions() const { return m_transitions.load(std::memory_order_acquire); }

    // Audio thread. Fills out (byteCount bytes) with the voices' frames; a buffer loops from
    // its last frame to its first when looping; silence when nothing sounds.
    void fill(uint8_t* out, size_t byteCount) noexcept;

private:
    struct Voice {
        LoopBuffer* buffer = nullptr;
        int32_t fade = 0; // 0..fade frames: the gain is the raised cosine at this point
        int32_t direction = 0; // +1 fading in, -1 fading out, 0 steady at full gain
    };
    struct Retired {
        std::unique_ptr<LoopBuffer> buffer;
        uint64_t mark; // the fill counter when it stopped being asked for
    };

    bool fillsSince(uint64_t mark) const;
    bool canFree(const Retired& retired) const;
    // Audio thread.
    void transition(LoopBuffer* requested, int32_t fade) noexcept;
    void drop(Voice& voice) noexcept;
    void pushOutgoing(Voice voice) noexcept;
    void compactOutgoing() noexcept;
    size_t copySteady(uint8_t* out, size_t frames) noexcept;
    size_t mixFading(uint8_t* out, size_t frames, int32_t fade) noexcept;
    bool anyVoice() const noexcept;

    std::atomic<LoopBuffer*> m_requested { nullptr };
    // Incremented on entering and on leaving fill: odd while the audio thread is inside.
    std::atomic<uint64_t> m_fillCount { 0 };
    std::atomic<int32_t> m_fadeFrames;
    std::atomic<bool> m_silent { true };
    std::atomic<uint64_t> m_transitions { 0 };

    // Audio thread only (and reset, while it cannot run).
    LoopBuffer* m_lastRequest = nullptr; // the request the voices follow
    Voice m_current; // the buffer asked for, fading in or steady
    std::array<Voice, MaxVoices - 1> m_outgoing {}; // fading out, most recent first

    // UI thread only.
    std::vector<Retired> m_retired;
};

} // namespace vellox::audio
