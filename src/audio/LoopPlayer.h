#pragma once

// Hands PCM buffers from the UI thread to the audio thread and plays them, going from one
// to the next without a step in the output.
//
// Ownership. The player owns every buffer (create). A buffer belongs to one thread at a
// time: the UI thread writes it after create, before its first request, and may read its
// position or free it only while the audio thread does not have it. The UI thread gives a
// buffer to the audio thread with a request (play) through a wait-free single-producer/
// single-consumer queue; the audio thread gives back every buffer it is done with through
// a second such queue, once for each request that carried it, and only what came back is
// read or freed (reclaim). So no lock and no timing argument is needed: a buffer the audio
// thread may still read is one whose request has not come back, and the UI thread never
// touches it. New contents are a new buffer, never a write into one that has played.
//
// Requests carry a sequence number; a new request is a new entry in the queue, never a
// pointer compared with an old one, so a buffer allocated where a freed one lay is never
// taken for it.
//
// Thread contract. The UI thread calls everything here but fill; the audio thread calls
// only fill. fill never allocates, frees, locks, logs or waits: it takes requests, copies
// and mixes frames, and hands buffers back.
//
// Transitions: at the start of the fill after a request, the buffer that played fades out
// while the new one fades in, over fadeFrames frames with gains that sum to one (a raised
// cosine). A request within a fade starts a transition of its own: every voice fading out
// then falls along the one curve, each from the gain it has, so that the gains still sum to
// one (a sweep whose steps come quicker than the fades would otherwise dip). A voice that
// was fading out and is asked for again fades back in from where it is. A new buffer
// starts where its tones continue those of the buffer heard before (continuingFrame), so
// that a change of frequency glides. Up to MaxVoices buffers sound at once; between
// transitions the output is the playing buffer's bytes exactly. fadeFrames 0 is the abrupt
// hand-over: no fades, every buffer from its own position.
//
// Streams: a buffer may carry a ToneStream (createStream), whose bytes are then a window of
// the stream's next frames, computed again on the audio thread each time the window has been
// heard; it loops for ever. A stream's first start takes each tone's phase where the stream
// heard before had come to (the frame heard next, not the window computed ahead), and where
// the two differ only in frequencies and levels (glidesFrom) the new one takes over at that
// frame with no cross-fade, its levels gliding over fadeFrames: a cross-fade between two
// frequencies would beat, a dip in the level.

#include "AudioFormat.h"
#include "SignalPhase.h"

#include "SpscQueue.h"
#include "ToneStream.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vellox::audio {

// The frame at which a buffer of `frames` frames holding `to` (at `rate`) starts so that
// its tones continue those of a buffer holding `from` that is at frame `position`. Every
// buffer starts both tones at phase 0, so frame k holds phase f * k / rate of each. Where
// nothing moved, the tones continue exactly; where one tone moved, the frame is the one whose
// worse phase error of the two tones is least (within 4096 frames of those that keep the
// unmoved tone exactly), since a cross-fade dips as the worse tone's phases differ. Empty
// where it does not apply: either signal
// not linkable, both tones moved, or the new buffer's loop not whole cycles of its tones
// (starting elsewhere than at frame 0 would then not be the same signal, shifted).
std::optional<size_t> continuingFrame(
    const SignalPhase& from, size_t position, const SignalPhase& to, int32_t rate, size_t frames);

// One secondary buffer's storage: interleaved stereo frames in `encoding`.
struct LoopBuffer {
    LoopBuffer(size_t byteCount, int32_t rate, FrameEncoding frameEncoding = FrameEncoding::S16)
        : bytes(byteCount, 0)
        , sampleRate(rate)
        , encoding(frameEncoding)
    {
    }
    LoopBuffer(const LoopBuffer&) = delete;
    LoopBuffer& operator=(const LoopBuffer&) = delete;

    // Only whole frames play: 97 bytes of 16-bit frames play as 24 frames.
    size_t frames() const { return bytes.size() / frameBytes(encoding); }

    // Every field belongs to the thread that has the buffer (see the ownership above).
    // The contents, silence (zero) until written; the size never changes.
    std::vector<uint8_t> bytes;
    const int32_t sampleRate;
    const FrameEncoding encoding;
    SignalPhase phase;
    bool looping = true; // set by each request
    // Next frame to play, 0..frames(); frames() means a single pass has ended.
    size_t position = 0;
    // Whether the buffer has sounded: only its first start continues the tones of the
    // buffer heard before; a later one resumes where it was.
    bool started = false;
    // A stream (createStream): the bytes are a window of its next frames, the audio thread's
    // to compute while it has the buffer.
    std::unique_ptr<ToneStream> stream;
};

class LoopPlayer {
public:
    static constexpr int MaxVoices = 4;
    // Requests that may wait for the audio thread. The window sends at most a few per
    // device period; a full queue means the device no longer calls back.
    static constexpr size_t RequestCapacity = 256;

    explicit LoopPlayer(int32_t fadeFrames = 0);
    ~LoopPlayer();
    LoopPlayer(const LoopPlayer&) = delete;
    LoopPlayer& operator=(const LoopPlayer&) = delete;

    // UI thread. Frames of each transition from the next one on; 0 = abrupt.
    void setFadeFrames(int32_t frames);
    int32_t fadeFrames() const { return m_fadeFrames.load(std::memory_order_relaxed); }
    // UI thread, only while fill cannot run (before the device opens): the frames fill
    // writes. Buffers of another encoding do not sound.
    void setEncoding(FrameEncoding encoding) { m_encoding = encoding; }
    FrameEncoding encoding() const { return m_encoding; }

    // UI thread. A new buffer of silence, the UI thread's to write until it plays. Throws
    // std::bad_alloc. The reference stays valid until the buffer is freed after free().
    LoopBuffer& create(size_t byteCount, int32_t rate, FrameEncoding encoding = FrameEncoding::S16);
    // UI thread. A buffer that plays `stream` (in `encoding`, which must be that of the
    // stream's format) through a window of windowFrames frames; it loops. Throws
    // std::bad_alloc.
    static constexpr size_t StreamWindowFrames = 1024;
    LoopBuffer& createStream(std::unique_ptr<ToneStream> stream, FrameEncoding encoding,
        size_t windowFrames = StreamWindowFrames);

    // UI thread. Plays buffer from its position (a single pass that has ended from its
    // start), looping or once, fading in; whatever played fades out. Asking again for the
    // buffer asked for last changes nothing, unless it has ended or been taken back. False,
    // and nothing asked, when the audio thread has not taken up RequestCapacity requests
    // (it no longer runs).
    bool play(LoopBuffer& buffer, bool looping = true);
    // UI thread. If buffer is the one asked for, asks for silence: it fades out, and its
    // position once it is back is where the fade ended.
    void stop(const LoopBuffer& buffer);
    // UI thread. Asks for silence, whatever plays.
    void stopAll();
    // UI thread: whether buffer is the one asked for last.
    bool isAttached(const LoopBuffer& buffer) const;
    // UI thread: whether the audio thread has the buffer (a request that carried it has not
    // come back yet), as far as the last reclaim knows.
    bool withAudio(const LoopBuffer& buffer) const;

    // UI thread. The UI thread is done with the buffer; it is freed once it has come back.
    // If it is the one asked for, it is stopped (it fades out); one that another request
    // has replaced fades out under that one as it would anyway.
    void free(LoopBuffer& buffer);
    // UI thread. Takes back what the audio thread has handed back and frees what was
    // given up with free().
    void reclaim();
    // UI thread: buffers given up and not yet back.
    size_t retiredCount() const;
    // UI thread: buffers that exist (created and not yet freed).
    size_t bufferCount() const { return m_buffers.size(); }

    // UI thread, only while fill cannot run (no device open, or after it was closed): the
    // audio thread is gone, so whatever it had, and whatever it was sent, is back.
    void reset();

    // Any thread: whether the last fill ended with no voice sounding, how many transitions
    // the audio thread has started, how many fills have run, and the sequence number of the
    // last request the audio thread took up (for measurements and for a watch on a device
    // that stopped calling back).
    bool silent() const { return m_silent.load(std::memory_order_acquire); }
    uint64_t transitions() const { return m_transitions.load(std::memory_order_acquire); }
    uint64_t fills() const { return m_fills.load(std::memory_order_acquire); }
    uint64_t takenSequence() const { return m_taken.load(std::memory_order_acquire); }
    // UI thread: the sequence number of the last request sent.
    uint64_t sentSequence() const { return m_sequence; }
    // Any thread: whether the request numbered `sequence` has been heard: the audio thread
    // has taken it up, and the fill that took it has ended, so that its first frames have
    // left the callback for the device.
    bool heard(uint64_t sequence) const
    {
        if (takenSequence() < sequence)
            return false;
        return fills() >= m_takenAtFill.load(std::memory_order_relaxed);
    }

    // Audio thread. Fills out (byteCount bytes) with the voices' frames; a buffer loops from
    // its last frame to its first when looping; silence when nothing sounds.
    void fill(uint8_t* out, size_t byteCount) noexcept;

private:
    enum class Kind : uint8_t { Play, Silence };
    struct Request {
        uint64_t sequence = 0;
        Kind kind = Kind::Silence;
        LoopBuffer* buffer = nullptr; // Play
        bool looping = true;
    };
    struct Voice {
        LoopBuffer* buffer = nullptr;
        int32_t fade = 0; // 0..fade frames: the gain is scale times the raised cosine here
        int32_t direction = 0; // +1 fading in, -1 fading out, 0 steady at full gain
        // 1 for the voice asked for; a voice fading out holds the gain it had when the
        // transition that it fades under began.
        double scale = 1.0;
        // The gain now, of a transition of fadeFrames frames.
        double gain(int32_t fadeFrames) const noexcept;
    };
    // UI thread's bookkeeping of one buffer.
    struct Entry {
        std::unique_ptr<LoopBuffer> buffer;
        int requestsOut = 0; // requests that carried it and have not come back
        bool looping = true; // as the last request said
        bool freed = false; // given up by the UI thread
    };

    bool send(const Request& request);
    Entry& entryOf(const LoopBuffer& buffer);
    const Entry* findEntry(const LoopBuffer& buffer) const;
    void cameBack(LoopBuffer* buffer);
    // Audio thread.
    void take(const Request& request, int32_t fade) noexcept;
    void transition(LoopBuffer* requested, bool looping, int32_t fade) noexcept;
    void giveBack(LoopBuffer* buffer) noexcept;
    void rewind(LoopBuffer& buffer) noexcept;
    void drop(Voice& voice) noexcept;
    void pushOutgoing(Voice voice) noexcept;
    void compactOutgoing() noexcept;
    size_t copySteady(uint8_t* out, size_t frames) noexcept;
    size_t mixFading(uint8_t* out, size_t frames, int32_t fade) noexcept;
    bool anyVoice() const noexcept;

    // UI thread -> audio thread, and back. The return queue holds every buffer the audio
    // thread can have at once: all requests in flight and all voices.
    moodycamel::ReaderWriterQueue<Request> m_requests { RequestCapacity };
    moodycamel::ReaderWriterQueue<LoopBuffer*> m_returns { RequestCapacity + 2 * MaxVoices };

    std::atomic<int32_t> m_fadeFrames;
    std::atomic<bool> m_silent { true };
    std::atomic<uint64_t> m_transitions { 0 };
    std::atomic<uint64_t> m_fills { 0 };
    std::atomic<uint64_t> m_taken { 0 };
    // The number the fill that last took a request up has once it ends; stored before that
    // request's sequence number is (m_taken, release), so that heard() reads it after.
    std::atomic<uint64_t> m_takenAtFill { 0 };

    // Audio thread only (and reset, while it cannot run).
    Voice m_current; // the buffer asked for, fading in or steady
    std::array<Voice, MaxVoices - 1> m_outgoing {}; // fading out, most recent first
    FrameEncoding m_encoding = FrameEncoding::S16; // set while fill cannot run

    // UI thread only.
    std::map<const LoopBuffer*, Entry> m_buffers;
    const LoopBuffer* m_requested = nullptr; // asked for last (nullptr: silence)
    uint64_t m_sequence = 0;
};

} // namespace vellox::audio
