// What the audio callback writes: the attached buffer's whole frames in a loop, or
// silence, and the transitions between buffers. Driven directly, on the test's own thread.

#include "LoopPlayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <numbers>
#include <ostream>
#include <thread>
#include <vector>

using namespace vellox::audio;

// Allocations made by this thread, for the check that fill never allocates.
namespace {
thread_local long t_allocations = 0;
}
void* operator new(std::size_t size)
{
    ++t_allocations;
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    ++t_allocations;
    return std::malloc(size != 0 ? size : 1);
}
// The replaced operator new above takes its memory from malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

// A buffer of byteCount bytes whose byte i holds (i + salt) % 251 + 1: never zero, so
// silence is told apart, and no period that divides a small frame count.
LoopBuffer& patterned(LoopPlayer& p, size_t byteCount, int salt = 0)
{
    LoopBuffer& b = p.create(byteCount, 98000);
    for (size_t i = 0; i < byteCount; ++i)
        b.bytes[i] = uint8_t((i + size_t(salt)) % 251 + 1);
    return b;
}

std::vector<uint8_t> pull(LoopPlayer& p, size_t bytes)
{
    std::vector<uint8_t> out(bytes, 0xAA);
    p.fill(out.data(), out.size());
    return out;
}

// The bytes a loop over the whole frames of b yields, starting at frame `from`.
std::vector<uint8_t> expectedLoop(const LoopBuffer& b, size_t from, size_t bytes)
{
    std::vector<uint8_t> out;
    const size_t frameBytes = b.frames() * 4;
    size_t pos = from * 4;
    while (out.size() < bytes) {
        out.push_back(b.bytes[pos]);
        pos = (pos + 1) % frameBytes;
    }
    return out;
}

bool silent(const std::vector<uint8_t>& v)
{
    for (uint8_t x : v)
        if (x != 0)
            return false;
    return true;
}

TEST(LoopPlayer, SilenceWhenNothingPlays)
{
    LoopPlayer p;
    EXPECT_TRUE(silent(pull(p, 4096)));
}

struct LoopCase {
    size_t bufferBytes;
    size_t chunkBytes; // one callback
};

void PrintTo(const LoopCase& c, std::ostream* os)
{
    *os << c.bufferBytes << " bytes in chunks of " << c.chunkBytes;
}

class LoopTest : public testing::TestWithParam<LoopCase> { };

TEST_P(LoopTest, LoopsWholeFramesFromTheStart)
{
    const LoopCase c = GetParam();
    LoopPlayer p;
    auto& b = patterned(p, c.bufferBytes);
    p.play(b);
    std::vector<uint8_t> got;
    const size_t total = 3 * c.bufferBytes + 4 * c.chunkBytes;
    while (got.size() < total) {
        const auto chunk = pull(p, c.chunkBytes);
        got.insert(got.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(got, expectedLoop(b, 0, got.size()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoopTest,
    testing::Values(LoopCase { 196000, 4096 }, LoopCase { 196, 4096 },
        LoopCase { 97, 64 }, // 24 whole frames; the odd byte never plays
        LoopCase { 4, 16 }, LoopCase { 4096, 4096 }, LoopCase { 4100, 4096 }));

TEST(LoopPlayer, OddByteCountPlaysTwentyFourFrames)
{
    LoopPlayer p;
    auto& b = patterned(p, 97);
    EXPECT_EQ(b.frames(), 24u);
    p.play(b);
    const auto got = pull(p, 24 * 4 * 2);
    // Frame 24 (bytes 96..99) does not exist: after byte 95 the loop returns to byte 0.
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 96, got.begin() + 192),
        std::vector<uint8_t>(b.bytes.begin(), b.bytes.begin() + 96));
}

TEST(LoopPlayer, StopSilencesAndPlayResumes)
{
    LoopPlayer p;
    auto& b = patterned(p, 4000);
    p.play(b);
    pull(p, 400); // 100 frames
    p.stop(b);
    EXPECT_TRUE(silent(pull(p, 400)));
    p.reclaim();
    ASSERT_FALSE(p.withAudio(b)); // handed back: its position is the UI thread's to read
    EXPECT_EQ(b.position, 100u);
    p.play(b);
    EXPECT_EQ(pull(p, 400), expectedLoop(b, 100, 400));
}

TEST(LoopPlayer, NewBufferPlaysFromItsFirstFrame)
{
    LoopPlayer p;
    auto& a = patterned(p, 4000, 0);
    auto& b = patterned(p, 4000, 17);
    p.play(a);
    pull(p, 1000);
    p.play(b);
    EXPECT_FALSE(p.isAttached(a));
    EXPECT_EQ(pull(p, 1000), expectedLoop(b, 0, 1000));
    // Stopping a buffer that does not play changes nothing.
    p.stop(a);
    EXPECT_TRUE(p.isAttached(b));
}

TEST(LoopPlayer, SinglePassEndsInSilence)
{
    LoopPlayer p;
    auto& b = patterned(p, 400);
    p.play(b, false);
    const auto got = pull(p, 1000);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 400), b.bytes);
    EXPECT_TRUE(silent(std::vector<uint8_t>(got.begin() + 400, got.end())));
    EXPECT_TRUE(silent(pull(p, 1000)));
    // Handed back at its end, and asked for again, it plays from its start.
    p.reclaim();
    EXPECT_FALSE(p.withAudio(b));
    p.play(b, false);
    EXPECT_EQ(pull(p, 400), b.bytes);
}

TEST(LoopPlayer, PartialFrameAtTheEndOfTheOutputIsSilent)
{
    LoopPlayer p;
    auto& b = patterned(p, 400);
    p.play(b);
    const auto got = pull(p, 10); // 2 frames and 2 stray bytes
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 8),
        std::vector<uint8_t>(b.bytes.begin(), b.bytes.begin() + 8));
    EXPECT_EQ(got[8], 0);
    EXPECT_EQ(got[9], 0);
}

} // namespace

// ---- transitions ---------------------------------------------------------------------

namespace {

// A buffer whose every frame is (left, right).
LoopBuffer& level(LoopPlayer& p, size_t frames, int16_t left, int16_t right)
{
    LoopBuffer& b = p.create(frames * 4, 98000);
    for (size_t f = 0; f < frames; ++f) {
        const int16_t v[2] = { left, right };
        std::memcpy(b.bytes.data() + f * 4, v, 4);
    }
    return b;
}

std::vector<int16_t> pullFrames(LoopPlayer& p, size_t frames)
{
    const auto bytes = pull(p, frames * 4);
    std::vector<int16_t> v(frames * 2);
    std::memcpy(v.data(), bytes.data(), bytes.size());
    return v;
}

constexpr int32_t Fade = 100;

} // namespace

// One buffer after another, from silence and back to it: each transition goes from the
// old level to the new over exactly Fade frames without a step, and outside them the
// output is the buffer's frames exactly.
TEST(LoopPlayerFades, EveryTransitionIsAGlideOfFadeFrames)
{
    struct Step {
        int16_t from, to; // left levels around the transition (silence is 0)
    };
    LoopPlayer p(Fade);
    auto& a = level(p, 1000, 1000, -1000);
    auto& b = level(p, 1000, -3000, 3000);
    const struct {
        LoopBuffer* play; // nullptr: stop
        Step step;
    } table[] = {
        { &a, { 0, 1000 } }, // Start fades in
        { &b, { 1000, -3000 } }, // a new buffer cross-fades
        { nullptr, { -3000, 0 } }, // Stop fades out
    };
    for (const auto& row : table) {
        if (row.play != nullptr)
            p.play(*row.play);
        else
            p.stopAll();
        const auto out = pullFrames(p, 3 * Fade);
        const double span = std::abs(double(row.step.to - row.step.from));
        for (size_t f = 0; f < size_t(3 * Fade); ++f) {
            const int16_t l = out[2 * f], r = out[2 * f + 1];
            ASSERT_EQ(l, -r) << "frame " << f; // both channels follow the same gains
            if (f >= size_t(Fade)) {
                ASSERT_EQ(l, row.step.to) << "frame " << f << " after the fade";
                continue;
            }
            const int16_t before = f == 0 ? row.step.from : out[2 * (f - 1)];
            // A raised cosine moves at most pi/2 * span / Fade per frame.
            ASSERT_LE(std::abs(l - before), span * 1.58 / Fade + 1) << "frame " << f;
            ASSERT_GE(l, std::min(row.step.from, row.step.to)) << "frame " << f;
            ASSERT_LE(l, std::max(row.step.from, row.step.to)) << "frame " << f;
        }
    }
    EXPECT_TRUE(p.silent());
}

// Requests that come within a fade, as a sweep's steps do on a busy machine: buffers of one
// level, each asked for a few frames after the last, keep the output at that level, the
// gains of the voices going and coming summing to one (a voice fading in that gave way
// fell from where it was, under the one before it still fading out: -7 dB). Where there
// are more requests than voices, the quietest gives way and the others take up its gain.
TEST(LoopPlayerFades, RequestsWithinAFadeKeepTheLevel)
{
    struct Step {
        size_t buffer; // which of the buffers is asked for
        size_t frames; // frames pulled after the request
    };
    const struct {
        const char* what;
        std::vector<Step> steps;
        int16_t lowest; // the output's least left level over the whole run
    } table[] = {
        { "a second request half-way", { { 0, 2 * Fade }, { 1, Fade / 2 }, { 2, 2 * Fade } }, 999 },
        { "requests a quarter apart",
            { { 0, 2 * Fade }, { 1, Fade / 4 }, { 2, Fade / 4 }, { 3, 2 * Fade } }, 999 },
        { "three requests in one fill", { { 0, 2 * Fade }, { 1, 0 }, { 2, 0 }, { 3, 2 * Fade } },
            999 },
        { "more requests than voices",
            { { 0, 2 * Fade }, { 1, 10 }, { 2, 10 }, { 3, 10 }, { 4, 10 }, { 5, 10 }, { 6, 10 },
                { 7, 2 * Fade } },
            999 },
        // The one fading out asked for again rises faster than a new one: the others must
        // fall as fast (they rose to 1280).
        { "the one going asked for again", { { 0, 2 * Fade }, { 1, Fade / 2 }, { 0, 2 * Fade } },
            999 },
        // A voice fading back in starts at a whole frame of its curve, at most pi / 2 / Fade
        // below the gain it had.
        { "back and forth",
            { { 0, 2 * Fade }, { 1, Fade / 4 }, { 0, Fade / 4 }, { 1, Fade / 4 }, { 2, Fade / 3 },
                { 1, 2 * Fade } },
            984 },
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        LoopPlayer p(Fade);
        std::vector<LoopBuffer*> buffers;
        for (size_t k = 0; k < 8; ++k)
            buffers.push_back(&level(p, 1000, 1000, -1000));
        int16_t lowest = 1000;
        for (size_t k = 0; k < row.steps.size(); ++k) {
            p.play(*buffers[row.steps[k].buffer]);
            const auto out = pullFrames(p, row.steps[k].frames);
            for (size_t f = 0; f < row.steps[k].frames; ++f) {
                if (k == 0 && f < size_t(Fade))
                    continue; // the start's own fade-in
                ASSERT_EQ(out[2 * f], -out[2 * f + 1]);
                lowest = std::min(lowest, out[2 * f]);
                ASSERT_LE(out[2 * f], 1000) << "request " << k << ", frame " << f;
            }
        }
        EXPECT_GE(lowest, row.lowest);
        EXPECT_EQ(pullFrames(p, 2).front(), 1000);
    }
}

// Stopped and asked for again within its fade-out, a buffer fades back in from where it is.
TEST(LoopPlayerFades, AStoppedBufferAskedForAgainFadesBackIn)
{
    LoopPlayer p(Fade);
    auto& a = level(p, 500, 2000, 2000);
    p.play(a);
    pullFrames(p, 2 * Fade);
    p.stop(a);
    const auto down = pullFrames(p, Fade / 2);
    p.play(a);
    const auto up = pullFrames(p, 2 * Fade);
    const int16_t lowest = down.back() < up.front() ? down.back() : up.front();
    EXPECT_GT(lowest, 900); // it turned back half way down
    EXPECT_EQ(up.back(), 2000);
    for (size_t f = 1; f < up.size() / 2; ++f)
        ASSERT_GE(up[2 * f], up[2 * (f - 1)]) << "frame " << f;
}

// A released buffer stays alive while it fades out; reclaim frees it once it is silent.
TEST(LoopPlayerFades, RetiredBufferLivesUntilItsFadeEnds)
{
    LoopPlayer p(Fade);
    auto& a = level(p, 300, 500, 500);
    auto& b = level(p, 300, -500, -500);
    p.play(a);
    pullFrames(p, 2 * Fade); // fully in: its fade-out takes the whole Fade frames
    p.play(b);
    p.free(a);
    EXPECT_EQ(p.retiredCount(), 1u); // not yet taken over by the audio thread's fill
    pullFrames(p, Fade / 2); // a is fading out
    p.reclaim();
    EXPECT_EQ(p.retiredCount(), 1u);
    pullFrames(p, Fade);
    p.reclaim();
    EXPECT_EQ(p.retiredCount(), 0u);
    EXPECT_EQ(pullFrames(p, 4), std::vector<int16_t>(8, -500));
}

// Given up while it is the one asked for, a buffer fades out like a stopped one and goes
// once it is silent and back.
TEST(LoopPlayerFades, ABufferGivenUpWhilePlayingFadesOut)
{
    LoopPlayer p(Fade);
    auto& a = level(p, 300, 700, 700);
    p.play(a);
    pullFrames(p, 2 * Fade);
    p.free(a);
    EXPECT_FALSE(p.isAttached(a));
    const std::vector<int16_t> down = pullFrames(p, Fade / 2);
    EXPECT_GT(down.front(), 0);
    EXPECT_LT(down.back(), 700);
    EXPECT_EQ(p.retiredCount(), 1u);
    pullFrames(p, Fade);
    p.reclaim();
    EXPECT_EQ(p.retiredCount(), 0u);
    EXPECT_EQ(p.bufferCount(), 0u);
    EXPECT_EQ(pullFrames(p, 4), std::vector<int16_t>(8, 0));
}

// ---- where a new buffer starts --------------------------------------------------------

namespace {

// F's phase at frame k, in cycles 0..1.
double phaseAt(int32_t f, size_t k, int32_t rate)
{
    const double cycles = double(int64_t(f) * int64_t(k) % rate) / double(rate);
    return cycles;
}

double phaseDistance(double a, double b)
{
    const double d = std::fabs(a - b);
    return std::min(d, 1.0 - d);
}

} // namespace

TEST(ContinuingFrame, TonesContinueExactlyOrAsNearAsTheRateAllows)
{
    struct Row {
        SignalPhase from;
        size_t position;
        SignalPhase to;
        int32_t rate;
        size_t frames;
        bool applies;
    };
    const Row rows[] = {
        // A sweep step in the start mode: F1 alone moves.
        { { 1000, 0, true }, 12345, { 1010, 0, true }, 98000, 98000, true },
        { { 19990, 0, true }, 97999, { 20, 0, true }, 98000, 98000, true },
        { { 441, 0, true }, 777, { 442, 0, true }, 44100, 44100, true },
        { { 1001, 0, true }, 191999, { 1024, 0, true }, 192000, 192000, true },
        // F1 moves beside F2, which gives a little of its phase where holding it exactly
        // would leave F1 up to half a cycle off (1100 Hz and 100 Hz share the rate's factors).
        { { 1000, 100, true }, 5000, { 1010, 100, true }, 98000, 98000, true },
        { { 3001, 777, true }, 40000, { 2999, 777, true }, 44100, 44100, true },
        { { 1090, 100, true }, 4321, { 1100, 100, true }, 98000, 98000, true },
        { { 1040, 100, true }, 777, { 1050, 100, true }, 98000, 98000, true },
        { { 19990, 20000, true }, 96001, { 20, 20000, true }, 192000, 192000, true },
        // F2 moves, F1 continues.
        { { 1000, 100, true }, 5000, { 1000, 137, true }, 98000, 98000, true },
        // Nothing moves (a level or a mode changed): the same frame.
        { { 1000, 0, true }, 4321, { 1000, 100, true }, 98000, 98000, true },
        // Not applicable.
        { { 1000, 100, true }, 5000, { 1010, 110, true }, 98000, 98000, false }, // both moved
        { { 1000, 0, false }, 5000, { 1010, 0, true }, 98000, 98000, false }, // a bit code
        { { 1000, 0, true }, 5000, { 1010, 0, false }, 98000, 98000, false },
        { { 1000, 0, true }, 50, { 1001, 0, true }, 98000, 98, false }, // 1 ms: no whole cycles
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.from.f1 << "/" << row.from.f2 << " at "
                                        << row.position << " -> " << row.to.f1 << "/" << row.to.f2);
        const auto k = continuingFrame(row.from, row.position, row.to, row.rate, row.frames);
        ASSERT_EQ(k.has_value(), row.applies);
        if (!k)
            continue;
        ASSERT_LT(*k, row.frames);
        const std::pair<int32_t, int32_t> tones[]
            = { { row.from.f1, row.to.f1 }, { row.from.f2, row.to.f2 } };
        // Each tone's phase error at frame c; the worse of them decides the cross-fade's dip.
        const auto worst = [&](size_t c) {
            double w = 0.0;
            for (const auto& [a, b] : tones)
                if (a != 0 && b != 0)
                    w = std::max(w,
                        phaseDistance(phaseAt(b, c, row.rate), phaseAt(a, row.position, row.rate)));
            return w;
        };
        double best = 1.0;
        for (size_t c = 0; c < row.frames; ++c)
            best = std::min(best, worst(c));
        // As good as any frame of the loop, to a few frames' worth of phase, and at most 18
        // degrees off: a dip of 0.11 dB at the middle of the cross-fade.
        EXPECT_LE(worst(*k), best + 0.01);
        EXPECT_LE(worst(*k), 0.05);
        if (row.from.f1 == row.to.f1 && row.from.f2 == row.to.f2) {
            EXPECT_EQ(worst(*k), 0.0) << "nothing moved: the same signal goes on";
        }
    }
}

// In the player: the new buffer of a sweep step starts at the frame that continues the
// old one's tone, and plays from there exactly once the cross-fade is over.
TEST(ContinuingFrame, TheNewBufferOfASweepStepStartsWhereItsToneContinues)
{
    constexpr int32_t Rate = 98000;
    auto tone = [Rate](LoopPlayer& p, int32_t hz) -> LoopBuffer& {
        LoopBuffer& b = p.create(size_t(Rate) * 4, Rate);
        for (size_t k = 0; k < size_t(Rate); ++k) {
            const auto v = int16_t(
                std::lrint(14142.0 * std::sin(2 * std::numbers::pi * hz * double(k) / Rate)));
            const int16_t frame[2] = { v, v };
            std::memcpy(b.bytes.data() + k * 4, frame, 4);
        }
        b.phase = { hz, 0, true };
        return b;
    };
    LoopPlayer p(Fade);
    auto& a = tone(p, 1000);
    auto& b = tone(p, 1010);
    p.play(a);
    pullFrames(p, 5000);
    p.play(b);
    const auto out = pullFrames(p, 2000);
    const size_t k = *continuingFrame(a.phase, 5000, b.phase, Rate, size_t(Rate));
    EXPECT_NE(k, 0u);
    // No dip: both voices are in phase, so the sum keeps the tone's level throughout.
    int16_t peak = 0;
    for (size_t f = 0; f < size_t(Fade); ++f)
        peak = std::max<int16_t>(peak, int16_t(std::abs(out[2 * f])));
    EXPECT_GT(peak, 14000);
    for (size_t f = Fade; f < 2000; ++f) {
        int16_t want[2];
        std::memcpy(want, b.bytes.data() + (k + f) * 4, 4);
        ASSERT_EQ(out[2 * f], want[0]) << "frame " << f;
    }
}

// The audio thread's contract: whatever transitions run, a fill allocates nothing.
TEST(LoopPlayerFades, FillsNeverAllocate)
{
    LoopPlayer p(Fade);
    auto& a = level(p, 300, 1000, -1000);
    auto& b = level(p, 200, 2000, -2000);
    auto& c = level(p, 100, 3000, -3000);
    std::vector<uint8_t> out(37 * 4); // periods that end inside fades
    long during = 0;
    auto fills = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const long before = t_allocations;
            p.fill(out.data(), out.size());
            during += t_allocations - before;
        }
    };
    p.play(a);
    fills(2);
    p.play(b); // cross-fade
    fills(1);
    p.play(c); // a third voice while the first two still fade
    fills(1);
    p.stop(c);
    fills(1);
    p.play(c); // back in half way
    fills(1);
    p.free(a);
    p.stopAll();
    fills(10);
    p.reclaim();
    EXPECT_EQ(during, 0);
    EXPECT_EQ(p.retiredCount(), 0u);
}

// ---- streams ------------------------------------------------------------------------------

namespace {

std::unique_ptr<vellox::ToneStream> stereoStream(int64_t f1, int64_t f2, double level1 = 1.0)
{
    vellox::StreamSettings s;
    s.SampleRate = 48000;
    s.Frequency1 = f1;
    s.Frequency2 = f2;
    s.Level1 = level1;
    s.Level2 = 0.5;
    s.ChannelMode = vellox::ModeStereo;
    return std::make_unique<vellox::ToneStream>(s, vellox::SignalOptions {}, 1);
}

} // namespace

// A change of F1 in a stream hands over at the frame heard next, with no cross-fade: F2's
// channel goes on sample for sample as if nothing had changed, and F1's has no step (no two
// neighbours further apart than the fastest sine moves in a frame) and no dip. Then a
// buffer after it cross-fades, as buffers do, and the fills allocate nothing throughout.
TEST(LoopPlayerStreams, AChangeGoesOnFromTheFrameHeardNext)
{
    LoopPlayer p(Fade);
    auto& first = p.createStream(stereoStream(1000500000, 440250000), FrameEncoding::S16);
    vellox::ToneStream unchanged = *stereoStream(1000500000, 440250000);
    std::vector<int16_t> reference(2 * 50000);
    std::vector<uint8_t> bytes(4 * 25000);
    unchanged.fill(bytes.data(), 25000);
    std::memcpy(reference.data(), bytes.data(), bytes.size());
    unchanged.fill(bytes.data(), 25000);
    std::memcpy(reference.data() + 50000, bytes.data(), bytes.size());

    std::vector<int16_t> heard;
    std::vector<uint8_t> period(777 * 4);
    long allocations = 0;
    const auto hear = [&](int periods) {
        for (int i = 0; i < periods; ++i) {
            const long before = t_allocations;
            p.fill(period.data(), period.size());
            allocations += t_allocations - before;
            const size_t at = heard.size();
            heard.resize(at + 777 * 2);
            std::memcpy(heard.data() + at, period.data(), period.size());
        }
    };
    ASSERT_TRUE(p.play(first));
    hear(5); // 3885 frames: the change comes inside the stream's fourth window
    const size_t change = heard.size() / 2;
    auto& second = p.createStream(stereoStream(3000000000, 440250000, 0.7), FrameEncoding::S16);
    ASSERT_TRUE(p.play(second));
    p.free(first);
    hear(20);

    for (size_t k = Fade; k < heard.size() / 2; ++k) // after the start's fade-in
        ASSERT_EQ(heard[2 * k + 1], reference[2 * k + 1]) << "F2 at frame " << k;
    // A 3 kHz sine moves at most 2*pi*3000/48000 of its peak in a frame.
    const double step = 20000.0 * 2.0 * std::numbers::pi * 3000.0 / 48000.0 + 2.0;
    for (size_t k = change - 50; k < change + 2 * Fade; ++k)
        ASSERT_LE(std::abs(heard[2 * k + 2] - heard[2 * k]), step) << "F1 at frame " << k;
    int16_t peak = 0; // the last millisecond of the glide and after: 0.7 of the unit signal
    for (size_t k = change + Fade; k < change + Fade + 48; ++k)
        peak = std::max<int16_t>(peak, int16_t(std::abs(heard[2 * k])));
    EXPECT_NEAR(peak, 14000, 14000 * 0.05);

    auto& buffer = level(p, 300, 1000, -1000);
    ASSERT_TRUE(p.play(buffer));
    p.free(second);
    hear(3);
    EXPECT_EQ(heard[heard.size() - 2], 1000);
    p.reclaim();
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(p.retiredCount(), 0u);
}

// ---- the hand-over, step by step --------------------------------------------------------

namespace {

// One step of a script that interleaves the UI thread's calls and the audio thread's fills
// on one thread, in an order the scheduler could give them.
struct Step {
    enum Op {
        Create, // buffer `name` of `arg` frames, every left value `level` (right = -left)
        CreateRamp, // buffer `name` of `arg` frames, left = frame index + 1
        Play,
        PlayOnce,
        Stop,
        StopAll,
        Free,
        Fill, // `arg` frames
        ExpectLast, // the last frame filled has left value `level`
        ExpectAtLeast, // every frame of the last fill has left value `level` or more
        ExpectRamp, // the last fill continued the ramp exactly from frame `arg`
        ExpectWithAudio, // withAudio(name) == (arg != 0), after a reclaim
        ExpectLive, // `arg` buffers exist, `level` of them given up, after a reclaim
    };
    Op op;
    char name = 0;
    int arg = 0;
    int level = 0;
};

struct Script {
    const char* what;
    int32_t fade;
    std::vector<Step> steps;
};

void PrintTo(const Script& s, std::ostream* os)
{
    *os << s.what;
}

class Handover : public testing::TestWithParam<Script> { };

TEST_P(Handover, InterleavingsStepByStep)
{
    const Script& script = GetParam();
    LoopPlayer p(script.fade);
    std::map<char, LoopBuffer*> buffers;
    std::vector<int16_t> out;
    int maxLevel = 0;
    auto writeLevel = [](LoopBuffer& b, int level) {
        for (size_t f = 0; f < b.frames(); ++f) {
            const int16_t v[2] = { int16_t(level), int16_t(-level) };
            std::memcpy(b.bytes.data() + f * 4, v, 4);
        }
    };
    for (size_t i = 0; i < script.steps.size(); ++i) {
        const Step& s = script.steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i);
        LoopBuffer* b = buffers.count(s.name) != 0 ? buffers[s.name] : nullptr;
        switch (s.op) {
        case Step::Create:
            b = buffers[s.name] = &p.create(size_t(s.arg) * 4, 98000);
            writeLevel(*b, s.level);
            maxLevel = std::max(maxLevel, s.level);
            break;
        case Step::CreateRamp:
            b = buffers[s.name] = &p.create(size_t(s.arg) * 4, 98000);
            for (int f = 0; f < s.arg; ++f) {
                const int16_t v[2] = { int16_t(f + 1), int16_t(-(f + 1)) };
                std::memcpy(b->bytes.data() + size_t(f) * 4, v, 4);
            }
            maxLevel = std::max(maxLevel, s.arg);
            break;
        case Step::Play:
            ASSERT_TRUE(p.play(*b));
            break;
        case Step::PlayOnce:
            ASSERT_TRUE(p.play(*b, false));
            break;
        case Step::Stop:
            p.stop(*b);
            break;
        case Step::StopAll:
            p.stopAll();
            break;
        case Step::Free:
            p.free(*b);
            buffers.erase(s.name); // the test's reference is gone; the player may keep it
            break;
        case Step::Fill:
            out = pullFrames(p, size_t(s.arg));
            for (size_t f = 0; f < out.size() / 2; ++f) {
                // Every frame is a mix of living buffers' frames: never a stranger's value.
                ASSERT_EQ(out[2 * f], -out[2 * f + 1]) << "frame " << f;
                ASSERT_GE(out[2 * f], 0) << "frame " << f;
                ASSERT_LE(out[2 * f], maxLevel) << "frame " << f;
            }
            break;
        case Step::ExpectLast:
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(out[out.size() - 2], s.level);
            break;
        case Step::ExpectAtLeast:
            for (size_t f = 0; f < out.size() / 2; ++f)
                ASSERT_GE(out[2 * f], s.level) << "frame " << f;
            break;
        case Step::ExpectRamp:
            for (size_t f = 0; f < out.size() / 2; ++f)
                ASSERT_EQ(out[2 * f], s.arg + int(f) + 1) << "frame " << f;
            break;
        case Step::ExpectWithAudio:
            p.reclaim();
            EXPECT_EQ(p.withAudio(*b), s.arg != 0);
            break;
        case Step::ExpectLive:
            p.reclaim();
            EXPECT_EQ(p.bufferCount(), size_t(s.arg));
            EXPECT_EQ(p.retiredCount(), size_t(s.level));
            break;
        }
    }
}

using S = Step;
INSTANTIATE_TEST_SUITE_P(Scripts, Handover,
    testing::Values(
        // A restart: the old buffer plays on while the new one is made, the new one is asked
        // for and only then is the old one given up. The fills of the cross-fade still read
        // the old one, so it stays alive until it has faded out and come back; and the
        // output never dips below the quieter of the two: a cross-fade, not a fade to
        // silence and back.
        Script { "a restart's hand-over", 50,
            { { S::Create, 'a', 300, 1000 }, { S::Play, 'a' }, { S::Fill, 0, 100 },
                { S::Create, 'b', 300, 2000 }, { S::Fill, 0, 20 }, { S::ExpectLast, 0, 0, 1000 },
                { S::Play, 'b' }, { S::Free, 'a' }, { S::ExpectLive, 0, 2, 1 }, { S::Fill, 0, 20 },
                { S::ExpectAtLeast, 0, 0, 1000 }, { S::ExpectLive, 0, 2, 1 }, { S::Fill, 0, 100 },
                { S::ExpectAtLeast, 0, 0, 1000 }, { S::ExpectLast, 0, 0, 2000 },
                { S::ExpectLive, 0, 1, 0 } } },
        // A failed restart, or a release: the buffer that plays is given up with nothing
        // after it; it fades out, still read half way, and goes.
        Script { "given up while playing", 50,
            { { S::Create, 'a', 300, 1000 }, { S::Play, 'a' }, { S::Fill, 0, 100 },
                { S::Free, 'a' }, { S::ExpectLive, 0, 1, 1 }, { S::Fill, 0, 20 },
                { S::ExpectLive, 0, 1, 1 }, { S::Fill, 0, 100 }, { S::ExpectLast, 0, 0, 0 },
                { S::ExpectLive, 0, 0, 0 } } },
        // Freed once back, its memory may hold the next buffer: that one is new, fading in
        // from its own first frame, never taken for the old one.
        Script { "a new buffer where a freed one lay", 50,
            { { S::Create, 'a', 100, 1000 }, { S::Play, 'a' }, { S::Fill, 0, 200 },
                { S::Stop, 'a' }, { S::Fill, 0, 100 }, { S::ExpectWithAudio, 'a', 0 },
                { S::Free, 'a' }, { S::ExpectLive, 0, 0, 0 }, { S::Create, 'b', 100, 2000 },
                { S::Play, 'b' }, { S::Fill, 0, 1 }, { S::ExpectLast, 0, 0, 0 },
                { S::Fill, 0, 100 }, { S::ExpectLast, 0, 0, 2000 } } },
        // Play on the buffer that plays changes nothing: it goes on frame by frame; asked
        // to play once, it plays to its end and comes back.
        Script { "Play on a playing buffer", 0,
            { { S::CreateRamp, 'a', 200 }, { S::Play, 'a' }, { S::Fill, 0, 30 },
                { S::ExpectRamp, 0, 0 }, { S::Play, 'a' }, { S::Fill, 0, 30 },
                { S::ExpectRamp, 0, 30 }, { S::ExpectWithAudio, 'a', 1 }, { S::PlayOnce, 'a' },
                { S::Fill, 0, 140 }, { S::ExpectRamp, 0, 60 }, { S::ExpectWithAudio, 'a', 0 },
                { S::Fill, 0, 10 }, { S::ExpectLast, 0, 0, 0 } } },
        // Stopped, then asked for again while it fades out: it turns back, and it is one
        // buffer with the audio thread, handed back once.
        Script { "stop, and play again while fading out", 50,
            { { S::Create, 'a', 300, 1000 }, { S::Play, 'a' }, { S::Fill, 0, 100 },
                { S::Stop, 'a' }, { S::Fill, 0, 20 }, { S::Play, 'a' }, { S::Fill, 0, 100 },
                { S::ExpectLast, 0, 0, 1000 }, { S::ExpectWithAudio, 'a', 1 }, { S::Stop, 'a' },
                { S::Fill, 0, 100 }, { S::ExpectWithAudio, 'a', 0 } } },
        // Three restarts before the audio thread runs once: the last one sounds, the two
        // between are handed back unheard.
        Script { "requests that pile up before a fill", 50,
            { { S::Create, 'a', 300, 1000 }, { S::Create, 'b', 300, 2000 },
                { S::Create, 'c', 300, 3000 }, { S::Play, 'a' }, { S::Fill, 0, 100 },
                { S::Play, 'b' }, { S::Free, 'a' }, { S::Play, 'c' }, { S::Free, 'b' },
                { S::Fill, 0, 100 }, { S::ExpectLast, 0, 0, 3000 }, { S::ExpectLive, 0, 1, 0 },
                { S::ExpectWithAudio, 'c', 1 } } }));

} // namespace
