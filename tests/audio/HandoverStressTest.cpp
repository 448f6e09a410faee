// Buffer hand-over under load: thousands of create/write/play/release cycles on the UI
// side while an audio thread keeps pulling frames. Every frame the audio side sees must
// come from a completely written, still living buffer: in order, a new buffer from its
// first frame, when transitions are abrupt; within the mix of the levels played, while
// cross-fades overlap. Run under ThreadSanitizer as well (scripts/test), which sees any
// buffer freed or written while the audio thread reads it.

#include "LoopPlayer.h"
#include "SdlSoundBackend.h"
#include "SignalPhase.h"
#include "SoundObjects.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace vellox::audio;

namespace {

constexpr int Cycles = 30000; // tags stay below 32768
constexpr size_t ChunkBytes = 256; // 64 frames per simulated callback

// Frame i of the buffer tagged t: left = t, right = i + 1 (both never zero).
void writePattern(LoopBuffer& b, int16_t tag)
{
    for (size_t i = 0; i < b.frames(); ++i) {
        const int16_t frame[2] = { tag, int16_t(i + 1) };
        std::memcpy(b.bytes.data() + i * 4, frame, 4);
    }
}

struct Checker {
    int16_t lastTag = 0;
    int32_t lastIndex = -1;
    size_t lastFrames = 0;
    long errors = 0;
    long nonSilentChunks = 0;
    std::string firstError;
    // Tag -> frame count of that buffer, published by the UI side before play.
    const std::vector<std::atomic<uint32_t>>* frameCounts = nullptr;

    void fail(const std::string& what)
    {
        if (errors++ == 0)
            firstError = what;
    }

    void check(const uint8_t* chunk, size_t bytes)
    {
        const size_t frames = bytes / 4;
        int16_t chunkTag = 0;
        bool sawSilence = false;
        for (size_t f = 0; f < frames; ++f) {
            int16_t v[2];
            std::memcpy(v, chunk + f * 4, 4);
            if (v[0] == 0 && v[1] == 0) {
                sawSilence = true;
                continue;
            }
            if (sawSilence)
                return fail("silence inside a looping buffer's chunk");
            if (chunkTag == 0)
                chunkTag = v[0];
            if (v[0] != chunkTag)
                return fail("two buffers in one callback");
            if (v[0] < 1 || size_t(v[0]) >= frameCounts->size())
                return fail("a frame of no living buffer: " + std::to_string(v[0]));
            const int32_t index = v[1] - 1;
            const uint32_t count = (*frameCounts)[size_t(v[0])].load(std::memory_order_acquire);
            if (index < 0 || uint32_t(index) >= count)
                return fail("frame index out of its buffer");
            if (v[0] != lastTag) {
                if (index != 0)
                    return fail("a new buffer did not start at its first frame, but at "
                        + std::to_string(index));
            } else if (index != int32_t((size_t(lastIndex) + 1) % count)) {
                return fail("frames out of order: " + std::to_string(lastIndex) + " then "
                    + std::to_string(index));
            }
            lastTag = v[0];
            lastIndex = index;
        }
        if (chunkTag != 0)
            ++nonSilentChunks;
    }
};

TEST(HandoverStress, CallbackSeesOnlyCompleteBuffers)
{
    LoopPlayer player; // abrupt transitions: one buffer per callback, in order
    // Tags 1..Cycles; tags are never reused, so each is one buffer's whole life.
    std::vector<std::atomic<uint32_t>> frameCounts(Cycles + 1);
    std::atomic<bool> done { false };
    std::atomic<long> fills { 0 };
    Checker checker;
    checker.frameCounts = &frameCounts;

    std::thread audio([&] {
        std::vector<uint8_t> out(ChunkBytes);
        while (!done.load(std::memory_order_relaxed)) {
            player.fill(out.data(), out.size());
            checker.check(out.data(), out.size());
            fills.fetch_add(1, std::memory_order_relaxed);
        }
    });

    LoopBuffer* playing = nullptr;
    for (int cycle = 1; cycle <= Cycles; ++cycle) {
        // Sizes from 1 to 600 frames plus 0..3 stray bytes.
        const size_t bytes = size_t(4 * (1 + (cycle * 37) % 600) + cycle % 4);
        LoopBuffer& next = player.create(bytes, 98000);
        writePattern(next, int16_t(cycle));
        frameCounts[size_t(cycle)].store(uint32_t(next.frames()), std::memory_order_release);
        if (cycle % 3 == 0 && playing != nullptr) {
            // A stop before the next hand-over, as a Stop and a later Play give.
            player.stop(*playing);
        }
        while (!player.play(next)) // a full queue: the audio side is behind
            std::this_thread::yield();
        if (playing != nullptr)
            player.free(*playing); // freed once the audio side has handed it back
        playing = &next;
        if (cycle % 50 == 0) {
            // Let the audio side run at least one whole callback on this buffer, so the
            // two threads surely overlap however the scheduler shares the cores.
            const long seen = fills.load();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (fills.load() < seen + 2 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
        }
    }
    player.free(*playing);
    done = true;
    audio.join();
    player.reset(); // the audio side has ended: everything it had is back
    EXPECT_EQ(player.retiredCount(), 0u);
    EXPECT_EQ(player.bufferCount(), 0u);

    EXPECT_EQ(checker.errors, 0) << checker.firstError;
    EXPECT_GE(checker.nonSilentChunks, Cycles / 50);
}

// Restarts every few hundred microseconds while the cross-fades of the earlier ones still
// run, with the audio side pulling one short period after another: buffers are freed while
// fading out, stopped and played again half way down. Every buffer
// holds the level (1000, -1000), so every mix of them lies between silence and that level,
// and the frames of a freed or half-written buffer would not. Two in four are streams of
// silence (a sine at level 0) in a window of 64 frames, which the audio side computes again
// and again; of two in a row the second continues from the first, gliding. The restarts go
// on until the audio side has met enough of them mid-fade, however the machine shares its
// cores.
TEST(HandoverStress, RestartsWhileFadesRun)
{
    constexpr int32_t Fade = 48; // frames: most transitions span two periods
    constexpr size_t Period = 32; // frames per simulated callback
    constexpr int MinCycles = 4000;
    constexpr long WantedMixed = 1000;
    LoopPlayer player(Fade);
    std::atomic<bool> done { false };
    std::atomic<long> badFrames { 0 };
    std::atomic<long> mixedFrames { 0 };
    std::thread audio([&] {
        std::vector<uint8_t> out(Period * 4);
        while (!done.load(std::memory_order_relaxed)) {
            player.fill(out.data(), out.size());
            for (size_t f = 0; f < Period; ++f) {
                int16_t v[2];
                std::memcpy(v, out.data() + f * 4, 4);
                if (v[0] < 0 || v[0] > 1000 || std::abs(v[0] + v[1]) > 1)
                    badFrames.fetch_add(1, std::memory_order_relaxed);
                if (v[0] > 0 && v[0] < 1000)
                    mixedFrames.fetch_add(1, std::memory_order_relaxed);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    });
    auto levelBuffer = [&player](size_t frames) -> LoopBuffer& {
        LoopBuffer& b = player.create(frames * 4, 98000);
        // Written twice, the first time out of range: a fill that read the buffer before
        // the UI thread was done with it would hear the first.
        std::memset(b.bytes.data(), 0x7F, b.bytes.size());
        for (size_t f = 0; f < frames; ++f) {
            const int16_t v[2] = { 1000, -1000 };
            std::memcpy(b.bytes.data() + f * 4, v, 4);
        }
        b.phase = { int32_t(100 + frames % 7), 0, true };
        return b;
    };
    auto silentStream = [] {
        vellox::StreamSettings s;
        s.Frequency1 = 1234567890;
        s.Level1 = 0.0;
        return std::make_unique<vellox::ToneStream>(s, vellox::SignalOptions {}, 1);
    };
    auto playNow = [&player](LoopBuffer& b) {
        while (!player.play(b)) // a full queue: the audio side is behind
            std::this_thread::yield();
    };

    LoopBuffer* playing = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int cycle = 1;
    for (; cycle <= MinCycles
         || (mixedFrames.load() < WantedMixed && std::chrono::steady_clock::now() < deadline);
         ++cycle) {
        LoopBuffer& next = cycle % 4 < 2
            ? player.createStream(silentStream(), FrameEncoding::S16, 64)
            : levelBuffer(size_t(1 + (cycle * 13) % 300));
        playNow(next);
        if (playing != nullptr && cycle % 5 == 0) {
            // Stopped and asked for again while it fades.
            player.stop(next);
            playNow(next);
        }
        if (playing != nullptr)
            player.free(*playing);
        playing = &next;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    player.free(*playing);
    // Once everything has faded out, every freed buffer can go while the audio side runs.
    const auto quiet = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((!player.silent() || player.retiredCount() > 0)
        && std::chrono::steady_clock::now() < quiet) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        player.reclaim();
    }
    EXPECT_TRUE(player.silent());
    EXPECT_EQ(player.retiredCount(), 0u);
    done = true;
    audio.join();

    EXPECT_EQ(badFrames.load(), 0);
    EXPECT_GE(player.transitions(), uint64_t(MinCycles)) << "in " << cycle - 1 << " restarts";
    EXPECT_GE(mixedFrames.load(), WantedMixed) << "in " << cycle - 1 << " restarts";
}

// The same through SoundObjects and the SDL backend with the dummy driver, whose audio
// thread runs the real callback with its cross-fades: restarts and rate changes while it
// plays.
TEST(HandoverStress, RestartsAgainstSdlDummyDriver)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlSoundBackend backend;
    SoundObjects objects(backend);
    std::vector<int16_t> samples(2 * 98000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(i % 2000 + 1);
    for (int cycle = 0; cycle < 2000; ++cycle) {
        const float repetitiveTime = 0.001f * float(1 + cycle % 100);
        const int32_t bytes = bufferByteCount(repetitiveTime, 98000);
        // The generator's restart: the objects made anew over those that play.
        objects.InitSound(98000, repetitiveTime);
        if (cycle % 3 != 0) // a tone the next buffer may continue
            objects.SetSignalPhase({ 1000 + cycle % 50, cycle % 2 == 0 ? 100 : 0, true });
        objects.WriteBuffer(0, bytes, samples.data(), 0);
        objects.Play(1);
        if (cycle % 10 == 0)
            objects.WriteBuffer(0, bytes, samples.data(), 0); // while playing: handed over again
        if (cycle % 500 == 499) {
            objects.RecreateSoundBuffer(44100, repetitiveTime);
            objects.Play(1);
        }
        // A restart every few hundred microseconds: several per device period, so the
        // callback finds fades of earlier restarts still running.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    objects.ReleaseSound();
    EXPECT_EQ(backend.driverName(), "dummy");
    EXPECT_GT(backend.transitions(), 20u);
    // Opened once at 98000 Hz, re-opened for each of the 4 changes to 44100 Hz and for
    // the 3 changes back; the restarts in between never re-open it.
    EXPECT_EQ(backend.deviceOpenCount(), 1 + 4 + 3);
}

} // namespace
