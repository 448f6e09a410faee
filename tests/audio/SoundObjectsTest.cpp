// Lifecycle of the three sound objects against the recording player.

#include "SoundObjects.h"
#include "FakeSoundBackend.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

using namespace vellox::audio;
using Strings = std::vector<std::string>;

namespace {

std::string describe(const BufferDesc& desc)
{
    std::ostringstream s;
    s << "flags=" << desc.Flags << " bytes=" << desc.BufferBytes << " tag=" << desc.Format.FormatTag
      << " ch=" << desc.Format.Channels << " rate=" << desc.Format.SamplesPerSec
      << " avg=" << desc.Format.AvgBytesPerSec << " align=" << desc.Format.BlockAlign
      << " bits=" << desc.Format.BitsPerSample << " extra=" << desc.Format.ExtraSize;
    return s.str();
}

const std::string Desc98000 = "flags=0 bytes=392000 tag=1 ch=2 rate=98000 avg=392000 align=4 "
                              "bits=16 extra=0";
const std::string Desc44100 = "flags=0 bytes=176400 tag=1 ch=2 rate=44100 avg=176400 align=4 "
                              "bits=16 extra=0";
const std::string Open98000 = "OpenDevice(\"\" rate=98000 s16)";
const std::string Open44100 = "OpenDevice(\"\" rate=44100 s16)";
const std::string Play98000 = "Play(bytes=392000 rate=98000 s16 looping)";
const std::string Play44100 = "Play(bytes=176400 rate=44100 s16 looping)";

void expectAllEmpty(const SoundObjects& o)
{
    EXPECT_FALSE(o.hasDxObject());
    EXPECT_FALSE(o.hasSoundDevice());
    EXPECT_FALSE(o.hasSoundBuffer());
}

void expectAllPresent(const SoundObjects& o)
{
    EXPECT_TRUE(o.hasDxObject());
    EXPECT_TRUE(o.hasSoundDevice());
    EXPECT_TRUE(o.hasSoundBuffer());
}

TEST(SoundObjects, InitSoundSequence)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    expectAllEmpty(o);
    o.InitSound(98000, 1.0f);
    expectAllPresent(o);
    EXPECT_EQ(fake.describedOps(), (Strings { Open98000 }));
    EXPECT_EQ(describe(o.bufferDesc()), Desc98000);
    // Created neither written nor started.
    EXPECT_FALSE(fake.playing());
    EXPECT_TRUE(fake.deviceOpen());
}

TEST(SoundObjects, PlaySequenceWritesAndLoops)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.ReleaseSound();
    o.InitSound(98000, 1.0f);
    std::vector<uint8_t> data(392000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7 + 3);
    o.WriteBuffer(0, 392000, data.data(), 0);
    o.SetSignalPhase({ 440, 0, true });
    o.Play(1);
    EXPECT_EQ(fake.describedOps(), (Strings { Open98000, Play98000 }));
    ASSERT_NE(fake.lastHandover(), nullptr);
    EXPECT_EQ(fake.lastHandover()->data, data);
    EXPECT_EQ(fake.lastHandover()->phase.f1, 440);
    EXPECT_TRUE(fake.lastHandover()->phase.linkable);
    EXPECT_TRUE(fake.playingLooped());
}

TEST(SoundObjects, PlayOnALoopThatPlaysChangesNothing)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    o.Play(1);
    EXPECT_EQ(fake.describedOps(), (Strings { Open98000, Play98000 }));
    EXPECT_THROW(o.Play(2), SoundError);
    EXPECT_TRUE(fake.playingLooped());
}

TEST(SoundObjects, AWriteIntoTheBufferThatPlaysIsHeard)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(44100, 0.001f); // 176 bytes
    o.Play(1);
    const std::vector<uint8_t> data(8, 9);
    o.WriteBuffer(8, 8, data.data(), 0);
    ASSERT_EQ(fake.ops().size(), 3u);
    ASSERT_EQ(fake.lastHandover(), &fake.ops()[2]);
    std::vector<uint8_t> expected(176, 0);
    std::fill(expected.begin() + 8, expected.begin() + 16, uint8_t(9));
    EXPECT_EQ(fake.lastHandover()->data, expected);
    // A stopped buffer takes the write silently; the next Play hands it over.
    o.Stop();
    o.WriteBuffer(0, 8, data.data(), 0);
    EXPECT_EQ(fake.ops().back().describe(), "Silence()");
}

TEST(SoundObjects, ReleaseSoundSequence)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    fake.clearOps();
    o.ReleaseSound();
    expectAllEmpty(o);
    // What sounds fades out as the device closes.
    EXPECT_EQ(fake.describedOps(), (Strings { "CloseDevice()" }));
    EXPECT_FALSE(fake.playing());
    EXPECT_FALSE(fake.deviceOpen());
}

TEST(SoundObjects, ReleaseTwiceAndBeforeAnyCreate)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.ReleaseSound(); // before any create
    EXPECT_TRUE(fake.ops().empty());
    o.InitSound(44100, 1.0f);
    o.ReleaseSound();
    fake.clearOps();
    o.ReleaseSound(); // twice
    EXPECT_TRUE(fake.ops().empty());
    expectAllEmpty(o);
}

TEST(SoundObjects, StopWithoutBufferIsNoop)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.Stop();
    EXPECT_TRUE(fake.ops().empty());
    EXPECT_THROW(o.Play(1), SoundError);
    EXPECT_THROW(o.WriteBuffer(0, 0, nullptr, 0), SoundError);
}

TEST(SoundObjects, StopKeepsEverything)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    o.Stop();
    expectAllPresent(o);
    EXPECT_FALSE(fake.playing());
    EXPECT_TRUE(fake.deviceOpen());
    EXPECT_EQ(fake.ops().back().describe(), "Silence()");
    // Played again, it is heard again.
    o.Play(1);
    EXPECT_EQ(fake.ops().back().describe(), Play98000);
    EXPECT_TRUE(fake.playingLooped());
}

TEST(SoundObjects, RecreateForAnotherRate)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    fake.clearOps();
    o.RecreateSoundBuffer(44100, 1.0f);
    // The new buffer replaces the old one, what the old one played is silenced, and the
    // device is made ready for the new rate.
    EXPECT_EQ(fake.describedOps(), (Strings { "Silence()", Open44100 }));
    expectAllPresent(o);
    EXPECT_EQ(describe(o.bufferDesc()), Desc44100);
    EXPECT_FALSE(fake.playing()); // silent until the next Play
    o.Play(1);
    EXPECT_EQ(fake.ops().back().describe(), Play44100);
}

TEST(SoundObjects, RecreateNeedsDevice)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    EXPECT_THROW(o.RecreateSoundBuffer(44100, 1.0f), SoundError);
    EXPECT_TRUE(fake.ops().empty());
    expectAllEmpty(o);
}

TEST(SoundObjects, RecreateFailureKeepsOldBuffer)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    fake.clearOps();
    EXPECT_THROW(o.RecreateSoundBuffer(192000, 1e9f), SoundError); // beyond int32 bytes
    EXPECT_THROW(o.RecreateSoundBuffer(44100, 10e-6f), SoundError); // no whole frame
    expectAllPresent(o);
    EXPECT_EQ(describe(o.bufferDesc()), Desc98000);
    EXPECT_TRUE(fake.ops().empty());
    EXPECT_TRUE(fake.playing());
}

TEST(SoundObjects, WriteOutOfRangeIsRefused)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(44100, 0.0011f); // 194 bytes
    std::vector<uint8_t> data(200, 1);
    EXPECT_NO_THROW(o.WriteBuffer(0, 194, data.data(), 0));
    EXPECT_THROW(o.WriteBuffer(0, 195, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(1, 194, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(-1, 4, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(0, -4, data.data(), 0), SoundError);
    EXPECT_THROW(o.WriteBuffer(0, 4, data.data(), 1), SoundError);
    EXPECT_THROW(o.WriteBuffer(0, 4, nullptr, 0), SoundError);
}

// A failure at each step of InitSound leaves all references empty, closes what was opened
// (silencing what sounded) and carries the reason; the next InitSound starts from scratch.
struct FailCase {
    const char* name;
    bool deviceFails; // the player refuses the device; else the buffer is refused
    float repetitiveTime;
    Strings expected; // the calls of the failed InitSound
    std::string reason; // the start of the failure's message
};

void PrintTo(const FailCase& c, std::ostream* os)
{
    *os << c.name;
}

class InitFailureTest : public testing::TestWithParam<FailCase> { };

TEST_P(InitFailureTest, LeavesNothingBehind)
{
    const FailCase c = GetParam();
    FakeSoundBackend fake;
    SoundObjects o(fake);
    // What played before goes silent with the failure.
    o.InitSound(98000, 1.0f);
    o.Play(1);
    fake.clearOps();
    if (c.deviceFails)
        fake.failOn(SoundOp::Kind::OpenDevice, "injected at the device");
    try {
        o.InitSound(44100, c.repetitiveTime);
        FAIL() << "InitSound succeeded";
    } catch (const SoundError& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, c.reason.size()), c.reason);
    }
    expectAllEmpty(o);
    EXPECT_EQ(fake.describedOps(), c.expected);
    EXPECT_FALSE(fake.playing());
    EXPECT_FALSE(fake.deviceOpen());

    fake.clearOps();
    o.InitSound(98000, 1.0f);
    expectAllPresent(o);
    EXPECT_EQ(fake.describedOps(), (Strings { Open98000 }));
}

INSTANTIATE_TEST_SUITE_P(EachStep, InitFailureTest,
    testing::Values(FailCase { "device", true, 1.0f, { Open44100 + " failed", "CloseDevice()" },
                        "injected at the device" },
        FailCase { "buffer", false, 10e-6f, { "CloseDevice()" },
            "buffer of 2 bytes holds no whole stereo frame" },
        FailCase { "bufferSize", false, 1e9f, { "CloseDevice()" }, "buffer size: " }),
    [](const testing::TestParamInfo<FailCase>& info) { return info.param.name; });

TEST(SoundObjects, InjectedPlayFailuresCarryTheMessage)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 0.001f);
    std::vector<uint8_t> data(196, 5);
    fake.failOn(SoundOp::Kind::Play, "play refused", 1); // the second hand-over fails
    EXPECT_NO_THROW(o.WriteBuffer(0, 196, data.data(), 0));
    EXPECT_NO_THROW(o.Play(1));
    o.Stop();
    EXPECT_THROW(
        {
            try {
                o.Play(1);
            } catch (const SoundError& e) {
                EXPECT_STREQ(e.what(), "play refused");
                throw;
            }
        },
        SoundError);
    EXPECT_FALSE(fake.playing());
    EXPECT_NO_THROW(o.Play(1));
    EXPECT_TRUE(fake.playing());
}

TEST(SoundObjects, PersistentFailureRepeats)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    fake.failOn(SoundOp::Kind::OpenDevice, "no device", 0, true);
    EXPECT_THROW(o.InitSound(98000, 1.0f), SoundError);
    EXPECT_THROW(o.InitSound(98000, 1.0f), SoundError);
    expectAllEmpty(o);
    fake.clearFailures();
    o.InitSound(98000, 1.0f);
    expectAllPresent(o);
}

// A restart makes the objects anew over those that play: the sound goes on until the new
// buffer is handed over, which the player cross-fades from it. Only another rate (or
// device, or frame format) makes the device close first, and so silences it.
TEST(SoundObjects, InitWhilePresentReplacesWithoutSilencing)
{
    FakeSoundBackend fake;
    SoundObjects o(fake);
    o.InitSound(98000, 1.0f);
    o.Play(1);
    fake.clearOps();
    o.InitSound(98000, 0.5f);
    expectAllPresent(o);
    EXPECT_EQ(o.bufferDesc().BufferBytes, 196000);
    EXPECT_EQ(fake.describedOps(), (Strings { Open98000 }));
    EXPECT_TRUE(fake.playing());
    o.Play(1);
    EXPECT_EQ(
        fake.describedOps(), (Strings { Open98000, "Play(bytes=196000 rate=98000 s16 looping)" }));

    o.InitSound(44100, 1.0f);
    EXPECT_FALSE(fake.playing());
}

TEST(SoundObjects, DestructorReleases)
{
    FakeSoundBackend fake;
    {
        SoundObjects o(fake);
        o.InitSound(98000, 1.0f);
        o.Play(1);
    }
    EXPECT_FALSE(fake.playing());
    EXPECT_FALSE(fake.deviceOpen());
}

} // namespace
