// What the audio callback writes: the attached buffer's whole frames in a loop, or
// silence. Driven directly, on the test's own thread.

#include "LoopPlayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <vector>

using namespace vellox::audio;

namespace {

// A buffer of byteCount bytes whose byte i holds (i + salt) % 251 + 1: never zero, so
// silence is told apart, and no period that divides a small frame count.
std::unique_ptr<LoopBuffer> patterned(size_t byteCount, int salt = 0)
{
    auto b = std::make_unique<LoopBuffer>(byteCount, 98000);
    for (size_t i = 0; i < byteCount; ++i)
        b->bytes[i] = uint8_t((i + size_t(salt)) % 251 + 1);
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
    auto b = patterned(c.bufferBytes);
    p.play(b.get());
    std::vector<uint8_t> got;
    const size_t total = 3 * c.bufferBytes + 4 * c.chunkBytes;
    while (got.size() < total) {
        const auto chunk = pull(p, c.chunkBytes);
        got.insert(got.end(), chunk.begin(), chunk.end());
    }
    EXPECT_EQ(got, expectedLoop(*b, 0, got.size()));
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoopTest,
    testing::Values(LoopCase { 196000, 4096 }, LoopCase { 196, 4096 },
        LoopCase { 97, 64 }, // 24 whole frames; the odd byte never plays
        LoopCase { 4, 16 }, LoopCase { 4096, 4096 }, LoopCase { 4100, 4096 }));

TEST(LoopPlayer, OddByteCountPlaysTwentyFourFrames)
{
    LoopPlayer p;
    auto b = patterned(97);
    EXPECT_EQ(b->frames(), 24u);
    p.play(b.get());
    const auto got = pull(p, 24 * 4 * 2);
    // Frame 24 (bytes 96..99) does not exist: after byte 95 the loop returns to byte 0.
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 96, got.begin() + 192),
        std::vector<uint8_t>(b->bytes.begin(), b->bytes.begin() + 96));
}

TEST(LoopPlayer, StopSilencesAndPlayResumes)
{
    LoopPlayer p;
    auto b = patterned(4000);
    p.play(b.get());
    pull(p, 400); // 100 frames
    p.stop(b.get());
    EXPECT_TRUE(silent(pull(p, 400)));
    EXPECT_EQ(b->position, 100u);
    p.play(b.get());
    EXPECT_EQ(pull(p, 400), expectedLoop(*b, 100, 400));
}

TEST(LoopPlayer, NewBufferPlaysFromItsFirstFrame)
{
    LoopPlayer p;
    auto a = patterned(4000, 0);
    auto b = patterned(4000, 17);
    p.play(a.get());
    pull(p, 1000);
    p.play(b.get());
    EXPECT_FALSE(p.isAttached(a.get()));
    EXPECT_EQ(pull(p, 1000), expectedLoop(*b, 0, 1000));
    // Stopping a buffer that does not play changes nothing.
    p.stop(a.get());
    EXPECT_TRUE(p.isAttached(b.get()));
}

TEST(LoopPlayer, SinglePassEndsInSilence)
{
    LoopPlayer p;
    auto b = patterned(400);
    b->looping = false;
    p.play(b.get());
    const auto got = pull(p, 1000);
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 400), b->bytes);
    EXPECT_TRUE(silent(std::vector<uint8_t>(got.begin() + 400, got.end())));
    EXPECT_TRUE(silent(pull(p, 1000)));
}

TEST(LoopPlayer, PartialFrameAtTheEndOfTheOutputIsSilent)
{
    LoopPlayer p;
    auto b = patterned(400);
    p.play(b.get());
    const auto got = pull(p, 10); // 2 frames and 2 stray bytes
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 8),
        std::vector<uint8_t>(b->bytes.begin(), b->bytes.begin() + 8));
    EXPECT_EQ(got[8], 0);
    EXPECT_EQ(got[9], 0);
}

} // namespace
