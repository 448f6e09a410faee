// Buffer sizes and the wave format the sound objects describe.

#include "FakeSoundBackend.h"
#include "SoundObjects.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace vellox::audio;

namespace {

struct SizeCase {
    float repetitiveTime; // s
    int32_t sampleRate; // Hz
    int32_t bytes;
};

void PrintTo(const SizeCase& c, std::ostream* os)
{
    *os << c.repetitiveTime << " s at " << c.sampleRate << " Hz";
}

class BufferSizeTest : public testing::TestWithParam<SizeCase> { };

TEST_P(BufferSizeTest, ByteCountAndDescription)
{
    const SizeCase c = GetParam();
    EXPECT_EQ(bufferByteCount(c.repetitiveTime, c.sampleRate), c.bytes);

    FakeSoundBackend fake;
    SoundObjects objects(fake);
    objects.InitSound(c.sampleRate, c.repetitiveTime);
    const BufferDesc& d = objects.bufferDesc();
    EXPECT_EQ(d.BufferBytes, c.bytes);
    EXPECT_EQ(d.Flags, 0);
    EXPECT_EQ(d.Format.FormatTag, 1);
    EXPECT_EQ(d.Format.Channels, 2);
    EXPECT_EQ(d.Format.SamplesPerSec, c.sampleRate);
    EXPECT_EQ(d.Format.BitsPerSample, 16);
    EXPECT_EQ(d.Format.BlockAlign, 4);
    EXPECT_EQ(d.Format.AvgBytesPerSec, 4 * c.sampleRate);
    EXPECT_EQ(d.Format.ExtraSize, 0);
    // The player is handed exactly this buffer: its bytes, at its rate, in its frames.
    objects.Play(1);
    const SoundOp* handed = fake.lastHandover();
    ASSERT_NE(handed, nullptr);
    EXPECT_EQ(handed->data.size(), size_t(c.bytes));
    EXPECT_EQ(handed->sampleRate, c.sampleRate);
    EXPECT_EQ(handed->encoding, FrameEncoding::S16);
}

INSTANTIATE_TEST_SUITE_P(Sizes, BufferSizeTest,
    testing::Values(SizeCase { 1.0f, 98000, 392000 }, // start values: 98000 frames, 1 s
        SizeCase { 1.0f, 44100, 176400 }, SizeCase { 1.0f, 192000, 768000 },
        SizeCase { 0.001f, 98000, 392 }, SizeCase { 0.001f, 44100, 176 },
        SizeCase { 0.001f, 192000, 768 },
        SizeCase { 0.0011f, 44100, 194 }, // not a multiple of the block alignment
        SizeCase { 0.5f, 98000, 196000 }));

TEST(BufferSize, StartValuesDescription)
{
    FakeSoundBackend fake;
    SoundObjects objects(fake);
    objects.InitSound(98000, 1.0f);
    EXPECT_EQ(objects.bufferDesc().Format.AvgBytesPerSec, 392000);
    EXPECT_EQ(objects.bufferDesc().BufferBytes, 392000);
}

TEST(BufferSize, RoundsHalvesToEven)
{
    // 20 microseconds at 44100 Hz: 3.528 bytes round to 4.
    EXPECT_EQ(bufferByteCount(20e-6f, 44100), 4);
    // 0.125 x 4 x 5 = 2.5 and 0.375 x 4 x 5 = 7.5 are exact in binary.
    EXPECT_EQ(bufferByteCount(0.125f, 5), 2);
    EXPECT_EQ(bufferByteCount(0.375f, 5), 8);
    // The float32 value is used as stored: 0.0011f x 4 x 44100 is 194.04.
    EXPECT_EQ(bufferByteCount(0.0011f, 44100), 194);
}

TEST(BufferSize, OutOfRangeIsAnError)
{
    EXPECT_THROW(bufferByteCount(1e9f, 192000), std::range_error);
    FakeSoundBackend fake;
    SoundObjects objects(fake);
    EXPECT_THROW(objects.InitSound(192000, 1e9f), SoundError);
    EXPECT_FALSE(objects.hasDxObject());
    EXPECT_FALSE(objects.hasSoundDevice());
    EXPECT_FALSE(objects.hasSoundBuffer());
}

TEST(BufferSize, TooSmallForOneFrameIsRefused)
{
    // 10 microseconds at 44100 Hz: 2 bytes, less than one stereo frame.
    FakeSoundBackend fake;
    SoundObjects objects(fake);
    try {
        objects.InitSound(44100, 10e-6f);
        FAIL() << "a 2-byte buffer was accepted";
    } catch (const SoundError& e) {
        EXPECT_NE(std::string(e.what()).find("2 bytes"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(objects.hasDxObject());
    EXPECT_FALSE(fake.deviceOpen());
}

} // namespace
